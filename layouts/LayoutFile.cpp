#include "layouts/LayoutFile.h"

#include <algorithm>
#include <array>
#include <limits>

namespace iv {
namespace {

static_assert(sizeof(wchar_t) == 2, "wide strings are UTF-16, as on Windows");

constexpr int kMaxDepth = 32;
constexpr size_t kMaxUnits = 32767;  // of any string, a key as much as a value
constexpr size_t kMaxIcons = 32767;
constexpr size_t kMaxMonitors = 64;
constexpr size_t kMaxNameUnits = 200;
// Beyond any screen's scale, and small enough that an icon's coordinate times it fits in 32 bits.
constexpr int64_t kMaxDpi = 65535;
constexpr int64_t kVersion = 1;
constexpr char kFormat[] = "iconvale-layout";
constexpr size_t kNone = std::string_view::npos;
constexpr uint32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// One code point of UTF-8 at `pos`, moving past it; false for what RFC 3629 refuses: a stray
// continuation byte, an overlong form, a surrogate, a value past U+10FFFF, a sequence cut short.
bool NextUtf8(std::string_view s, size_t& pos, uint32_t& c) {
    const auto byte = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(s[i])); };
    const uint32_t lead = byte(pos);
    size_t more = 0;
    uint32_t low = 0x80, high = 0xBF;  // the range of the second byte: the lead alone cannot rule out all
    if (lead < 0x80) {
        c = lead;
        ++pos;
        return true;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2;
        c = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        more = 3;
        c = lead & 0x07;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // past U+10FFFF
    } else {
        return false;
    }
    if (s.size() - pos <= more) return false;
    for (size_t i = 1; i <= more; ++i) {
        const uint32_t b = byte(pos + i);
        if (b < (i == 1 ? low : 0x80) || b > (i == 1 ? high : 0xBF)) return false;
        c = (c << 6) | (b & 0x3F);
    }
    pos += more + 1;
    return true;
}

void AppendUtf16(std::wstring& out, uint32_t c) {
    if (c < 0x10000) {
        out += static_cast<wchar_t>(c);
    } else {
        out += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
        out += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
}

// One code point of UTF-16 at `i`, moving past it; half of no pair is U+FFFD.
uint32_t NextUtf16(std::wstring_view s, size_t& i) {
    const uint32_t c = s[i++];
    if (c < 0xD800 || c > 0xDFFF) return c;
    if (c > 0xDBFF || i == s.size() || s[i] < 0xDC00 || s[i] > 0xDFFF) return kReplacement;
    return 0x10000 + ((c - 0xD800) << 10) + (s[i++] - 0xDC00u);
}

std::wstring Wide(std::string_view s) {
    std::wstring out;
    for (size_t pos = 0; pos < s.size();) {
        uint32_t c = kReplacement;
        if (!NextUtf8(s, pos, c)) ++pos;
        AppendUtf16(out, c);
    }
    return out;
}

// A JSON string: quotes, backslashes and control characters escaped, the rest as UTF-8.
void AppendQuoted(std::string& out, std::wstring_view text) {
    out += '"';
    for (size_t i = 0; i < text.size();) {
        const uint32_t c = NextUtf16(text, i);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            out += "\\u00";
            out += "0123456789abcdef"[c >> 4];
            out += "0123456789abcdef"[c & 0xF];
        } else {
            AppendUtf8(out, c);
        }
    }
    out += '"';
}

// A file's text shown in a reason: quoted, escaped (the reason stays one line), cut short.
std::string Shown(std::wstring_view text) {
    size_t cut = std::min<size_t>(text.size(), 40);
    if (cut < text.size() && text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF) --cut;
    std::string out;
    AppendQuoted(out, text.substr(0, cut));
    return cut < text.size() ? out + "..." : out;
}

std::string Shown(std::string_view number) {
    return number.size() > 24 ? std::string(number.substr(0, 24)) + "..." : std::string(number);
}

const char* NameProblem(std::wstring_view name) {
    if (name.empty()) return "it is empty";
    if (name.size() > kMaxNameUnits) return "it is longer than 200 characters";
    if (name.find(L'\\') != kNone) return "it holds a backslash";
    if (HoldsControlCharacter(name)) return "it holds a control character";
    if (name.find_first_not_of(L' ') == kNone) return "it is only spaces";
    return nullptr;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// What a value is, by its first byte: '"', '{', '[', '0' (a number), 't', 'f' or 'n'.
char KindOf(char first) { return first == '-' || IsDigit(first) ? '0' : first; }

std::string Found(char kind) {
    switch (kind) {
        case '"': return "a string";
        case '{': return "an object";
        case '[': return "an array";
        case '0': return "a number";
        case 't': return "true";
        case 'f': return "false";
        default: return "null";
    }
}

struct Number {
    std::string_view text;
    bool integer = true;  // no fraction, no exponent
    int64_t value = 0;    // beyond 10^15 only its sign counts: that is outside every range here
};

// Strict JSON over the file's bytes, a value at a time; the first fault is kept as the reason.
class Json {
public:
    Json(std::string_view text, size_t pos) : text_(text), pos_(pos) {}

    const std::string& Error() const { return error_; }
    size_t Pos() const { return pos_; }
    void Seek(size_t pos) { pos_ = pos; }

    // The next byte after white space; '\0' at the end.
    char Peek() {
        while (pos_ < text_.size() && (Here() == ' ' || Here() == '\t' || Here() == '\n' || Here() == '\r')) ++pos_;
        return Here();
    }
    bool AtEnd() {
        Peek();
        return pos_ >= text_.size();
    }

    bool Fail(size_t at, const std::string& what) {
        return Refuse("bad JSON at byte " + std::to_string(at) + ": " + what);
    }
    bool Fail(const std::string& what) { return Fail(pos_, what); }
    bool Refuse(std::string reason) {
        error_ = std::move(reason);
        return false;
    }

    // Passes over a value after checking it whole; `depth` is the nesting it would open.
    bool Value(int depth) {
        switch (Peek()) {
            case '{': return Object(depth, [&](const std::wstring&) { return Value(depth + 1); });
            case '[': return Array(depth, [&] { return Value(depth + 1); });
            case '"': return String(nullptr);
            case 't': return Word("true");
            case 'f': return Word("false");
            case 'n': return Word("null");
            default: {
                Number number;
                return ReadNumber(number);
            }
        }
    }

    // At an object's '{': each member's key to `member`, with the value next.
    template <class Member>
    bool Object(int depth, Member&& member) {
        if (depth > kMaxDepth) return Fail("nested deeper than 32 levels");
        ++pos_;
        if (Take('}')) return true;
        std::wstring key;
        for (;;) {
            if (Peek() != '"') return Expected("a key in quotes");
            if (!String(&key)) return false;
            if (!Take(':')) return Expected("':'");
            Peek();
            if (!member(key)) return false;
            if (Take('}')) return true;
            if (!Take(',')) return Expected("',' or '}'");
        }
    }

    // At an array's '[': `element` for each element, with it next.
    template <class Element>
    bool Array(int depth, Element&& element) {
        if (depth > kMaxDepth) return Fail("nested deeper than 32 levels");
        ++pos_;
        if (Take(']')) return true;
        for (;;) {
            Peek();
            if (!element()) return false;
            if (Take(']')) return true;
            if (!Take(',')) return Expected("',' or ']'");
        }
    }

    // At a string's '"'.
    bool String(std::wstring* out) {
        const size_t start = pos_++;
        size_t units = 0;
        if (out) out->clear();
        for (;;) {
            if (pos_ >= text_.size() || (Here() == '\\' && pos_ + 1 >= text_.size())) {
                return Fail(start, "a string is not closed");
            }
            uint32_t c = 0;
            if (Here() == '"') {
                ++pos_;
                return true;
            } else if (Here() == '\\') {
                if (!Escape(c)) return false;
            } else if (static_cast<unsigned char>(Here()) < 0x20) {
                return Fail("a control character in a string");
            } else if (!NextUtf8(text_, pos_, c)) {
                return Fail("invalid UTF-8 in a string");
            }
            units += c > 0xFFFF ? 2u : 1u;
            if (units > kMaxUnits) return Fail(start, "a string longer than 32767 characters");
            if (out) AppendUtf16(*out, c);
        }
    }

    bool ReadNumber(Number& number) {
        constexpr int64_t kHuge = 1'000'000'000'000'000;
        const size_t start = pos_;
        const bool negative = Here() == '-';
        if (negative) ++pos_;
        if (!IsDigit(Here())) return Expected(negative ? "a digit" : "a value");
        if (Here() == '0' && pos_ + 1 < text_.size() && IsDigit(text_[pos_ + 1])) {
            return Fail("a number with a leading zero");
        }
        int64_t magnitude = 0;
        for (; IsDigit(Here()); ++pos_) {
            if (magnitude <= kHuge) magnitude = magnitude * 10 + (Here() - '0');
        }
        number.integer = true;
        if (Here() == '.') {
            ++pos_;
            number.integer = false;
            if (!Digits()) return Expected("a digit after '.'");
        }
        if (Here() == 'e' || Here() == 'E') {
            ++pos_;
            number.integer = false;
            if (Here() == '+' || Here() == '-') ++pos_;
            if (!Digits()) return Expected("a digit in the exponent");
        }
        number.text = text_.substr(start, pos_ - start);
        number.value = negative ? -magnitude : magnitude;
        return true;
    }

private:
    char Here() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }

    bool Take(char c) {
        if (Peek() != c) return false;
        ++pos_;
        return true;
    }

    bool Digits() {
        const size_t start = pos_;
        while (IsDigit(Here())) ++pos_;
        return pos_ > start;
    }

    bool Expected(const std::string& what) {
        if (pos_ >= text_.size()) return Fail("the text ends early: expected " + what);
        const auto c = static_cast<unsigned char>(Here());
        std::string found = "byte 0x00";
        if (c > 0x20 && c < 0x7F) {
            found = std::string("'") + Here() + "'";
        } else {
            found[7] = "0123456789ABCDEF"[c >> 4];
            found[8] = "0123456789ABCDEF"[c & 0xF];
        }
        return Fail("expected " + what + ", found " + found);
    }

    bool Word(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) return Expected("a value");
        pos_ += word.size();
        return true;
    }

    bool Hex4(uint32_t& value) {
        value = 0;
        for (int i = 0; i < 4; ++i, ++pos_) {
            const char c = Here();
            const uint32_t digit = IsDigit(c)             ? static_cast<uint32_t>(c - '0')
                                   : c >= 'a' && c <= 'f' ? static_cast<uint32_t>(c - 'a' + 10)
                                   : c >= 'A' && c <= 'F' ? static_cast<uint32_t>(c - 'A' + 10)
                                                          : 16;
            if (digit == 16) return false;
            value = value * 16 + digit;
        }
        return true;
    }

    // At a backslash in a string, with a byte after it.
    bool Escape(uint32_t& c) {
        const size_t at = pos_++;
        const char e = text_[pos_++];
        switch (e) {
            case '"':
            case '\\':
            case '/': c = static_cast<uint32_t>(e); return true;
            case 'b': c = '\b'; return true;
            case 'f': c = '\f'; return true;
            case 'n': c = '\n'; return true;
            case 'r': c = '\r'; return true;
            case 't': c = '\t'; return true;
            case 'u': break;
            default: return Fail(at, "an unknown escape");
        }
        if (!Hex4(c)) return Fail(at, "a \\u escape without four hex digits");
        if (c < 0xD800 || c > 0xDFFF) return true;
        uint32_t low = 0;
        const bool paired = c <= 0xDBFF && Here() == '\\' && pos_ + 1 < text_.size() && text_[pos_ + 1] == 'u';
        if (!paired) return Fail(at, "an unpaired surrogate escape");
        const size_t second = pos_;
        pos_ += 2;
        if (!Hex4(low)) return Fail(second, "a \\u escape without four hex digits");
        if (low < 0xDC00 || low > 0xDFFF) return Fail(at, "an unpaired surrogate escape");
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        return true;
    }

    std::string_view text_;
    size_t pos_;
    std::string error_;
};

// The members of one object that this version reads, found in one pass over it, then read in the
// order the checks want. The Json is past the object between reads.
template <size_t N>
class Fields {
public:
    Fields(Json& json, std::string where, const std::array<const char*, N>& keys)
        : json_(json), where_(std::move(where)), keys_(keys) {}

    // At the object's '{', `depth` its nesting.
    bool Collect(int depth) {
        at_.fill(kNone);
        const bool ok = json_.Object(depth, [&](const std::wstring& key) {
            for (size_t i = 0; i < N; ++i) {
                if (!std::equal(key.begin(), key.end(), keys_[i],
                                keys_[i] + std::char_traits<char>::length(keys_[i]))) {
                    continue;
                }
                if (at_[i] != kNone) return Refuse(Key(i) + " appears twice");
                at_[i] = json_.Pos();
                kind_[i] = KindOf(json_.Peek());
            }
            return json_.Value(depth + 1);
        });
        end_ = json_.Pos();
        return ok;
    }

    bool Has(size_t i) const { return at_[i] != kNone; }
    char Kind(size_t i) const { return kind_[i]; }

    bool Refuse(const std::string& what) { return json_.Refuse(where_.empty() ? what : where_ + ": " + what); }

    // `read` at the value of a member, which must be there and of this kind.
    template <class Read>
    bool Inside(size_t i, char kind, Read&& read) {
        if (!Has(i)) return Refuse(Key(i) + " is missing");
        if (kind_[i] != kind) return Refuse(Key(i) + " is " + Found(kind_[i]) + ", not " + Found(kind));
        json_.Seek(at_[i]);
        const bool ok = read(json_);
        json_.Seek(end_);
        return ok;
    }

    bool Text(size_t i, std::wstring& out) {
        return Inside(i, '"', [&](Json& json) { return json.String(&out); });
    }

    bool NumberOf(size_t i, Number& number) {
        return Inside(i, '0', [&](Json& json) { return json.ReadNumber(number); });
    }

    bool Integer(size_t i, int64_t low, int64_t high, int64_t& out) {
        Number number;
        if (!NumberOf(i, number)) return false;
        if (!number.integer) return Refuse(Key(i) + " is " + Shown(number.text) + ", not an integer");
        if (number.value < low || number.value > high) {
            return Refuse(Key(i) + " is " + Shown(number.text) + ", outside " + std::to_string(low) + ".." +
                          std::to_string(high));
        }
        out = number.value;
        return true;
    }

private:
    std::string Key(size_t i) const { return std::string("\"") + keys_[i] + "\""; }

    Json& json_;
    std::string where_;
    std::array<const char*, N> keys_;
    std::array<size_t, N> at_{};
    std::array<char, N> kind_{};
    size_t end_ = 0;
};

constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();
constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();

// At "screen"'s '{' (nesting 2).
bool ReadScreen(Json& json, LayoutFile& file) {
    Fields<2> screen(json, "\"screen\"", {"monitors", "dpi"});
    if (!screen.Collect(2)) return false;
    const bool monitors = screen.Inside(0, '[', [&](Json& list) {
        return list.Array(3, [&] {
            if (file.monitors.size() == kMaxMonitors) return screen.Refuse("more than 64 monitors");
            const std::string where = "monitor " + std::to_string(file.monitors.size() + 1);
            if (list.Peek() != '{') return list.Refuse(where + " is " + Found(KindOf(list.Peek())) + ", not an object");
            Fields<4> m(list, where, {"x", "y", "width", "height"});
            int64_t x = 0, y = 0, width = 0, height = 0;
            if (!m.Collect(4) || !m.Integer(0, kInt32Min, kInt32Max, x) || !m.Integer(1, kInt32Min, kInt32Max, y) ||
                !m.Integer(2, 1, kInt32Max, width) || !m.Integer(3, 1, kInt32Max, height)) {
                return false;
            }
            // Its right and bottom edges are the importer's to compute: they must fit too.
            if (x + width > kInt32Max || y + height > kInt32Max) return m.Refuse("it reaches past 2147483647");
            file.monitors.push_back({static_cast<int32_t>(x), static_cast<int32_t>(y), static_cast<int32_t>(width),
                                     static_cast<int32_t>(height)});
            return true;
        });
    });
    if (!monitors) return false;
    if (file.monitors.empty()) return screen.Refuse("\"monitors\" is empty");
    int64_t dpi = 96;
    if (screen.Has(1) && !screen.Integer(1, 1, kMaxDpi, dpi)) return false;
    file.dpi = static_cast<uint32_t>(dpi);
    file.hasScreen = true;
    return true;
}

// At "icons"' '[' (nesting 2).
bool ReadIcons(Json& json, LayoutFile& file) {
    constexpr int64_t kLow = std::numeric_limits<int16_t>::min(), kHigh = std::numeric_limits<int16_t>::max();
    return json.Array(2, [&] {
        if (file.icons.size() == kMaxIcons) return json.Refuse("more than 32767 icons");
        const std::string where = "icon " + std::to_string(file.icons.size() + 1);
        if (json.Peek() != '{') return json.Refuse(where + " is " + Found(KindOf(json.Peek())) + ", not an object");
        Fields<4> fields(json, where, {"name", "x", "y", "id"});
        FileIcon icon;
        int64_t x = 0, y = 0;
        if (!fields.Collect(3) || !fields.Text(0, icon.name) || !fields.Integer(1, kLow, kHigh, x) ||
            !fields.Integer(2, kLow, kHigh, y) || (fields.Has(3) && !fields.Text(3, icon.id))) {
            return false;
        }
        icon.x = static_cast<int16_t>(x);
        icon.y = static_cast<int16_t>(y);
        file.icons.push_back(std::move(icon));
        return true;
    });
}

// The whole text first as JSON, so that a broken file is called broken whatever it holds, then
// what it says, the format and version before anything else.
bool ReadLayout(Json& json, size_t start, LayoutFile& file) {
    if (!json.Value(1)) return false;
    if (!json.AtEnd()) return json.Fail("more text after the end of the layout");
    json.Seek(start);
    if (json.Peek() != '{') return json.Refuse("not an iconvale layout: the text is no JSON object");
    enum { kFormatKey, kVersionKey, kName, kSaved, kScreen, kIcons };
    Fields<6> top(json, "", {"format", "version", "name", "saved", "screen", "icons"});
    if (!top.Collect(1)) return false;

    std::wstring format;
    if (!top.Has(kFormatKey) || top.Kind(kFormatKey) != '"') {
        return json.Refuse("not an iconvale layout: it has no \"format\" text");
    }
    top.Text(kFormatKey, format);
    if (format != Wide(kFormat)) return json.Refuse("not an iconvale layout: \"format\" is " + Shown(format));

    Number version;
    if (!top.NumberOf(kVersionKey, version)) return false;
    if (!version.integer) return top.Refuse("\"version\" is " + Shown(version.text) + ", not an integer");
    if (version.value < 1) return top.Refuse("version " + Shown(version.text) + " is no version: they start at 1");
    if (version.value > kVersion) {
        return top.Refuse("version " + Shown(version.text) + " is newer than this program reads (" +
                          std::to_string(kVersion) + ")");
    }

    if (!top.Text(kName, file.name)) return false;
    if (const char* problem = NameProblem(file.name)) {
        return top.Refuse("the name " + Shown(file.name) + " is not allowed: " + problem);
    }
    if (top.Has(kSaved) && !top.Text(kSaved, file.saved)) return false;
    if (top.Has(kScreen) && !top.Inside(kScreen, '{', [&](Json& j) { return ReadScreen(j, file); })) return false;
    return top.Inside(kIcons, '[', [&](Json& j) { return ReadIcons(j, file); });
}

}  // namespace

bool LayoutNameAllowed(std::wstring_view name) { return NameProblem(name) == nullptr; }

bool HoldsControlCharacter(std::wstring_view text) {
    return std::any_of(text.begin(), text.end(), [](wchar_t c) { return c < 0x20; });
}

std::string WriteLayoutFile(const LayoutFile& layout) {
    std::string out = "{\n  \"format\": \"";
    out += kFormat;
    out += "\",\n  \"version\": " + std::to_string(kVersion) + ",\n  \"name\": ";
    AppendQuoted(out, layout.name);
    out += ",\n  \"saved\": ";
    AppendQuoted(out, layout.saved);
    if (layout.hasScreen) {
        out += ",\n  \"screen\": {\"monitors\": [";
        for (size_t i = 0; i < layout.monitors.size(); ++i) {
            const FileMonitor& m = layout.monitors[i];
            out += (i ? ", " : "") + std::string("{\"x\": ") + std::to_string(m.x) + ", \"y\": " + std::to_string(m.y) +
                   ", \"width\": " + std::to_string(m.width) + ", \"height\": " + std::to_string(m.height) + "}";
        }
        out += "], \"dpi\": " + std::to_string(layout.dpi) + "}";
    }
    out += ",\n  \"icons\": [";
    for (size_t i = 0; i < layout.icons.size(); ++i) {
        const FileIcon& icon = layout.icons[i];
        out += i ? ",\n    {\"name\": " : "\n    {\"name\": ";
        AppendQuoted(out, icon.name);
        out += ", \"x\": " + std::to_string(icon.x) + ", \"y\": " + std::to_string(icon.y);
        if (!icon.id.empty()) {
            out += ", \"id\": ";
            AppendQuoted(out, icon.id);
        }
        out += "}";
    }
    out += layout.icons.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

bool ReadLayoutFile(std::string_view utf8, LayoutFile& layout, std::wstring& reason) {
    if (utf8.size() > kLargestLayoutFile) {
        reason = L"the file is larger than 16 MiB";
        return false;
    }
    const size_t start = utf8.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    Json json(utf8, start);
    LayoutFile read;
    if (!ReadLayout(json, start, read)) {
        reason = Wide(json.Error());
        return false;
    }
    layout = std::move(read);
    return true;
}

}  // namespace iv
