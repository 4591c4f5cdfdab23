// The file a layout is taken along in: what goes out comes back as it was, and a text that is no
// layout of ours is refused, without harm, with a reason that names the fault.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "layouts/KeptLayouts.h"
#include "layouts/LayoutFile.h"

namespace iv {
namespace {

const std::string kHead = R"("format": "iconvale-layout", "version": 1, "name": "Work")";
const std::string kIcon = R"({"name": "a", "x": 1, "y": 2})";

// A file of these icons under a head.
std::string File(const std::string& icons, const std::string& head = kHead) {
    return "{" + head + R"(, "icons": [)" + icons + "]}";
}

TEST(LayoutFileTest, WhatIsWrittenReadsBackAsItWas) {
    LayoutFile out{L"予定表 \"2027\" \U0001F600",
                   L"2026-12-09T14:03:27Z",
                   true,
                   {{0, 0, 1920, 1080}, {-1280, -200, 1280, 1024}},
                   144,
                   {{L"Readme \"new\"", L"Desktop\\Readme.txt", 40, 40},
                    {L"予定表\t\x01\n\x1f", L"Public\\a \"b\".lnk", -32768, 32767},
                    {L"\U0001F600 \\ /", L"::{645FF040-5081-101B-9F08-00AA002F954E}", 140, -5},
                    {L"half \xD83D pair", L"", 0, 0}}};
    const std::string text = WriteLayoutFile(out);
    EXPECT_EQ(text.find("\xEF\xBB\xBF"), std::string::npos);
    EXPECT_NE(text.find("\\u0009\\u0001\\u000a\\u001f\""), std::string::npos) << text;
    EXPECT_NE(text.find("\xE4\xBA\x88\xE5\xAE\x9A\xE8\xA1\xA8 \\\"2027\\\" \xF0\x9F\x98\x80"), std::string::npos)
        << text;
    LayoutFile in;
    std::wstring reason;
    ASSERT_TRUE(ReadLayoutFile(text, in, reason)) << testing::PrintToString(reason) << "\n" << text;
    out.icons[3].name = L"half \xFFFD pair";
    EXPECT_EQ(in.name, out.name);
    EXPECT_EQ(in.saved, out.saved);
    EXPECT_TRUE(in.hasScreen);
    EXPECT_EQ(in.dpi, 144u);
    ASSERT_EQ(in.monitors.size(), 2u);
    EXPECT_EQ(in.monitors[1].x, -1280);
    EXPECT_EQ(in.monitors[1].height, 1024);
    ASSERT_EQ(in.icons.size(), out.icons.size());
    for (size_t i = 0; i < in.icons.size(); ++i) {
        EXPECT_EQ(in.icons[i].name, out.icons[i].name) << i;
        EXPECT_EQ(in.icons[i].id, out.icons[i].id) << i;
        EXPECT_EQ(std::pair(in.icons[i].x, in.icons[i].y), std::pair(out.icons[i].x, out.icons[i].y)) << i;
    }
}

TEST(LayoutFileTest, TheTextIsLaidOutKeyByKey) {
    const LayoutFile layout{L"Work", L"2026-12-09T14:03:27Z",
                            true,    {{0, 0, 1920, 1080}},
                            96,      {{L"Readme", L"Desktop\\Readme.txt", 40, 40}, {L"Notes", L"", 140, -40}}};
    EXPECT_EQ(WriteLayoutFile(layout),
              "{\n  \"format\": \"iconvale-layout\",\n  \"version\": 1,\n  \"name\": \"Work\",\n"
              "  \"saved\": \"2026-12-09T14:03:27Z\",\n"
              "  \"screen\": {\"monitors\": [{\"x\": 0, \"y\": 0, \"width\": 1920, \"height\": 1080}], \"dpi\": 96},\n"
              "  \"icons\": [\n    {\"name\": \"Readme\", \"x\": 40, \"y\": 40, \"id\": \"Desktop\\\\Readme.txt\"},\n"
              "    {\"name\": \"Notes\", \"x\": 140, \"y\": -40}\n  ]\n}\n");
}

TEST(LayoutFileTest, WhatIsNoLayoutOfOursIsRefusedWithTheFaultNamed) {
    const auto icon = [](const std::string& members) { return File("{" + members + "}"); };
    const auto head = [](const std::string& rest) { return File(kIcon, rest); };
    const auto screen = [](const std::string& s) { return File(kIcon, kHead + R"(, "screen": )" + s); };
    const auto monitor = [&](const std::string& m) { return screen(R"({"monitors": [)" + m + "]}"); };
    std::string many = kIcon;
    for (int i = 0; i < 32767; ++i) many += "," + kIcon;
    std::string monitors = R"({"x": 0, "y": 0, "width": 1, "height": 1})";
    for (int i = 0; i < 64; ++i) monitors += R"(, {"x": 0, "y": 0, "width": 1, "height": 1})";
    const std::pair<std::string, const wchar_t*> cases[] = {
        // Not JSON, or not whole.
        {"", L"ends early"},
        {R"({"format": "iconvale-layout", "version": 1)", L"ends early"},
        {R"({"format": "iconvale-lay)", L"not closed"},
        {R"({"format": "iconvale-layout" "version": 1})", L"byte 29: expected ',' or '}', found '\"'"},
        {icon(R"("name": "a\q", "x": 1, "y": 2)"), L"unknown escape"},
        {icon(R"("name": "\u12G4", "x": 1, "y": 2)"), L"four hex digits"},
        {icon(R"("name": "\ud800", "x": 1, "y": 2)"), L"unpaired surrogate"},
        {icon(R"("name": "\udc00\ud800", "x": 1, "y": 2)"), L"unpaired surrogate"},
        {icon("\"name\": \"\xC0\xAF\", \"x\": 1, \"y\": 2"), L"UTF-8"},          // overlong
        {icon("\"name\": \"\xE0\x80\xAF\", \"x\": 1, \"y\": 2"), L"UTF-8"},      // overlong, in three bytes
        {icon("\"name\": \"\xED\xA0\x80\", \"x\": 1, \"y\": 2"), L"UTF-8"},      // a surrogate
        {icon("\"name\": \"\xF5\x80\x80\x80\", \"x\": 1, \"y\": 2"), L"UTF-8"},  // past U+10FFFF
        {icon("\"name\": \"\xE4\xBA\", \"x\": 1, \"y\": 2"), L"UTF-8"},          // cut short
        {"{\"name\": \"\xE4\xBA", L"UTF-8"},                                     // cut short by the end of the text
        {icon("\"name\": \"a\tb\", \"x\": 1, \"y\": 2"), L"control character"},
        {File(kIcon) + " {}", L"after the end"},
        {File(kIcon + ","), L"expected a value, found ']'"},
        {icon(R"("name": "a", "x": 1e400, "y": 2)"), L"1e400, not an integer"},
        {icon(R"("name": "a", "x": 123456789012345678901234567890, "y": 2)"), L"outside -32768..32767"},
        {icon(R"("name": "a", "x": 040, "y": 2)"), L"leading zero"},
        {icon(R"("name": "a", "x": NaN, "y": 2)"), L"found 'N'"},
        {icon(R"("name": "a", "x": -, "y": 2)"), L"expected a digit"},
        {icon(R"("name": "a", "x": 1., "y": 2)"), L"after '.'"},
        {R"({"a": )" + std::string(10000, '['), L"deeper than 32"},
        {std::string(10000, '['), L"deeper than 32"},
        {icon(R"("name": ")" + std::string(32768, 'a') + R"(", "x": 1, "y": 2)"), L"longer than 32767"},
        {File(kIcon) + std::string(16 << 20, ' '), L"16 MiB"},
        // Not ours, or not this version's.
        {"[]", L"no JSON object"},
        {head(R"("version": 1, "name": "Work")"), L"no \"format\""},
        {head(R"("format": "foo", "version": 1, "name": "Work")"), L"\"format\" is \"foo\""},
        {head(R"("format": "iconvale-layout", "version": 2, "name": "Work")"), L"version 2 is newer"},
        {head(R"("format": "iconvale-layout", "version": 0, "name": "Work")"), L"start at 1"},
        {head(R"("format": "iconvale-layout", "version": 1.0, "name": "Work")"), L"not an integer"},
        {head(R"("format": "iconvale-layout", "version": "1", "name": "Work")"), L"a string, not a number"},
        {head(R"("format": "iconvale-layout", "name": "Work")"), L"\"version\" is missing"},
        {head(R"("format": "iconvale-layout", "version": 1, "name": 7)"), L"\"name\" is a number"},
        {head(R"("format": "iconvale-layout", "version": 1, "name": "a\\b")"), L"backslash"},
        {head(R"("format": "iconvale-layout", "version": 1, "name": "   ")"), L"only spaces"},
        {head(kHead + R"(, "name": "Home")"), L"\"name\" appears twice"},
        {head(kHead + R"(, "saved": 2026)"), L"\"saved\" is a number"},
        {"{" + kHead + "}", L"\"icons\" is missing"},
        {"{" + kHead + R"(, "icons": {}})", L"\"icons\" is an object"},
        // Icons.
        {icon(R"("name": "a", "x": 40000, "y": 2)"), L"icon 1: \"x\" is 40000, outside -32768..32767"},
        {File(kIcon + R"(, {"name": "a", "x": 1, "y": -32769})"), L"icon 2: \"y\" is -32769"},
        {icon(R"("name": "a", "x": 40.5, "y": 2)"), L"40.5, not an integer"},
        {icon(R"("x": 1, "y": 2)"), L"\"name\" is missing"},
        {icon(R"("name": "a", "x": 1)"), L"\"y\" is missing"},
        {icon(R"("name": "a", "x": "1", "y": 2)"), L"\"x\" is a string, not a number"},
        {icon(R"("name": "a", "x": 1, "y": 2, "id": null)"), L"\"id\" is null"},
        {icon(R"("name": "a", "x": 1, "x": 1, "y": 2)"), L"\"x\" appears twice"},
        {File("[]"), L"icon 1 is an array"},
        {File(many), L"more than 32767 icons"},
        // The screen.
        {screen("[]"), L"\"screen\" is an array"},
        {screen(R"({"dpi": 96})"), L"\"monitors\" is missing"},
        {screen(R"({"monitors": []})"), L"\"monitors\" is empty"},
        {monitor(R"({"x": 0, "y": 0, "width": 0, "height": 1})"), L"monitor 1: \"width\" is 0"},
        {monitor(R"({"x": 0, "y": 0, "width": 1})"), L"\"height\" is missing"},
        {monitor(R"({"x": 2147483000, "y": 0, "width": 1000, "height": 1})"), L"reaches past"},
        {monitor(monitors), L"more than 64 monitors"},
        {screen(R"({"monitors": [{"x": 0, "y": 0, "width": 1, "height": 1}], "dpi": 0})"), L"\"dpi\" is 0"},
    };
    for (const auto& [text, fault] : cases) {
        LayoutFile layout;
        layout.name = L"kept";
        std::wstring reason;
        const std::string shown = text.size() > 200 ? text.substr(0, 200) + "..." : text;
        EXPECT_FALSE(ReadLayoutFile(text, layout, reason)) << shown;
        EXPECT_NE(reason.find(fault), std::wstring::npos) << testing::PrintToString(reason) << " for " << shown;
        EXPECT_EQ(reason.find(L'\n'), std::wstring::npos) << shown;
        EXPECT_EQ(layout.name, L"kept") << shown;
    }
}

TEST(LayoutFileTest, ABomWhiteSpaceEscapesAndKeysOfLaterVersionsAreRead) {
    const std::tuple<std::string, const wchar_t*, bool, uint32_t> cases[] = {
        {"\xEF\xBB\xBF" + File(kIcon), L"a", false, 96},
        {" \t\r\n{ \"format\" :\"iconvale-layout\" ,\r\n\t\"version\":1,\"name\":\"W\",\"icons\":[ { \"name\" : \"b\" "
         ", \"x\" : -0 , \"y\" : 0 } ] }\n ",
         L"b", false, 96},
        {File(R"({"name": "\"\\\/\b\f\n\r\t\u00e9\u4E88\ud83d\ude00", "x": 1, "y": 2})"),
         L"\"\\/\b\f\n\r\t\u00e9\u4E88\U0001F600", false, 96},
        {File(R"({"name": "c", "size": [1, 2.5e-3, true], "x": 1, "y": 2})",
              R"("format": "iconvale-layout", "later": {"a": [{}, [], null, false, "x"]}, "version": 1, "name": "W",)"
              R"( "screen": {"monitors": [{"x": 0, "y": 0, "width": 800, "height": 600, "primary": true}],)"
              R"( "scale": 1.25, "dpi": 120})"),
         L"c", true, 120},
        {File(kIcon, kHead + R"(, "screen": {"monitors": [{"x": -1, "y": 0, "width": 1, "height": 1}]})"), L"a", true,
         96},
    };
    for (const auto& [text, icon, hasScreen, dpi] : cases) {
        LayoutFile layout;
        std::wstring reason;
        ASSERT_TRUE(ReadLayoutFile(text, layout, reason)) << testing::PrintToString(reason) << " for " << text;
        ASSERT_EQ(layout.icons.size(), 1u);
        EXPECT_EQ(layout.icons[0].name, icon);
        EXPECT_EQ(layout.hasScreen, hasScreen);
        EXPECT_EQ(layout.dpi, dpi);
    }
}

TEST(LayoutNameAllowedTest, NotEmptyNorBlankShortAndNoBackslashOrControlCharacter) {
    const std::pair<std::wstring, bool> cases[] = {
        {L"Work", true},  {L" 予定 ", true}, {std::wstring(200, L'a'), true},
        {L"", false},     {L"   ", false},   {L"a\\b", false},
        {L"a\tb", false}, {L"a\x1f", false}, {std::wstring(201, L'a'), false},
    };
    for (const auto& [name, allowed] : cases)
        EXPECT_EQ(LayoutNameAllowed(name), allowed) << testing::PrintToString(name);
    // A person's names leave out those of the layout before the last save and of the history.
    const std::tuple<std::wstring, bool, uint32_t> kept[] = {
        {L"Work", true, 0},         {L"PREVIOUS", false, 0}, {L"previous 2", true, 0},
        {L"#12", false, 12},        {L"#0", false, 0},       {L"#", true, 0},
        {L"#1a", true, 0},          {L"# 1", true, 0},       {L"#4294967295", false, 4294967295u},
        {L"#4294967296", false, 0}, {L"a\\b", false, 0},     {L"a\"b", false, 0},
    };
    for (const auto& [name, personal, number] : kept) {
        EXPECT_EQ(PersonalLayoutName(name), personal) << testing::PrintToString(name);
        EXPECT_EQ(HistoryNumber(name), number) << testing::PrintToString(name);
    }
}

TEST(HistoryToDropTest, AllButTheNewestAndThePinnedOne) {
    struct Case {
        std::vector<uint32_t> numbers;
        uint32_t pinned;
        std::vector<uint32_t> dropped;
    };
    const Case cases[] = {
        {{1, 2, 3}, 0, {1}}, {{3, 1, 2}, 1, {}},     {{1, 2, 3, 4}, 3, {2, 1}},
        {{1, 2}, 0, {}},     {{5, 9, 7, 8}, 5, {7}}, {{}, 0, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(HistoryToDrop(c.numbers, c.pinned, 2), c.dropped);
}

}  // namespace
}  // namespace iv
