// The stand-in program's command line (see standin_main.cpp), one table entry per option.
#include <windows.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "DesktopImpl.h"

namespace standin {

using namespace detail;

namespace {

constexpr long kMaxGeneratedItems = 100000;

bool ParseInt(const std::wstring& text, long low, long high, long& value) {
    // Digits with an optional minus only; wcstol alone would also take blanks and a plus.
    if (text.empty() || (text[0] != L'-' && (text[0] < L'0' || text[0] > L'9'))) return false;
    const wchar_t* begin = text.c_str();
    wchar_t* end = nullptr;
    errno = 0;
    const long parsed = std::wcstol(begin, &end, 10);
    if (errno != 0 || end == begin || *end != L'\0' || parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

// A count or a time: 0 to INT_MAX.
bool ParseCount(const std::wstring& text, int& value) {
    long number = 0;
    if (!ParseInt(text, 0, INT_MAX, number)) return false;
    value = static_cast<int>(number);
    return true;
}

// "NAME@X,Y"; NAME may itself contain '@' (the last one splits).
bool ParsePlacedItem(const std::wstring& text, Item& item) {
    const size_t at = text.rfind(L'@');
    if (at == std::wstring::npos) return false;
    const std::wstring place = text.substr(at + 1);
    const size_t comma = place.find(L',');
    if (comma == std::wstring::npos) return false;
    long x = 0;
    long y = 0;
    if (!ParseInt(place.substr(0, comma), INT_MIN, INT_MAX, x) ||
        !ParseInt(place.substr(comma + 1), INT_MIN, INT_MAX, y))
        return false;
    item = {text.substr(0, at), static_cast<int>(x), static_cast<int>(y)};
    return true;
}

// "I[,J...]", each a non-negative item index.
bool ParseIndexList(const std::wstring& text, std::vector<int>& indices) {
    size_t from = 0;
    while (true) {
        const size_t comma = text.find(L',', from);
        long index = 0;
        if (!ParseInt(text.substr(from, comma == std::wstring::npos ? std::wstring::npos : comma - from), 0, INT_MAX,
                      index))
            return false;
        indices.push_back(static_cast<int>(index));
        if (comma == std::wstring::npos) return true;
        from = comma + 1;
    }
}

// "KIND:MS[@INDEX][#N][,pump]".
bool ParseSlow(const std::wstring& text, Options::Slow& slow) {
    const size_t colon = text.find(L':');
    if (colon == std::wstring::npos) return false;
    const std::wstring kind = text.substr(0, colon);
    bool known = false;
    for (const Request candidate :
         {Request::GetText, Request::GetPos, Request::Count, Request::SetPos, Request::TextBk, Request::Header}) {
        if (kind == RequestName(candidate)) {
            slow.kind = candidate;
            known = true;
        }
    }
    if (!known) return false;
    std::wstring rest = text.substr(colon + 1);
    const size_t comma = rest.find(L',');
    if (comma != std::wstring::npos) {
        if (rest.compare(comma, std::wstring::npos, L",pump") != 0) return false;
        slow.pump = true;
        rest.resize(comma);
    }
    long number = 0;
    const size_t hash = rest.find(L'#');
    if (hash != std::wstring::npos) {
        if (!ParseInt(rest.substr(hash + 1), 1, INT_MAX, number)) return false;
        slow.nth = static_cast<int>(number);
        rest.resize(hash);
    }
    const size_t at = rest.find(L'@');
    if (at != std::wstring::npos) {
        if (!ParseInt(rest.substr(at + 1), 0, INT_MAX, number)) return false;
        slow.index = static_cast<int>(number);
        rest.resize(at);
    }
    return ParseCount(rest, slow.ms);
}

// "K[:NAME[@X,Y]]" for an insert, "K[:INDEX]" for a removal.
bool ParseChange(const std::wstring& text, bool insert, Options::Change& change) {
    change.insert = insert;
    const size_t colon = text.find(L':');
    std::wstring after = text.substr(0, colon);
    if (!after.empty() && after.back() == L'p') {
        change.kind = Request::GetPos;
        after.pop_back();
    }
    long number = 0;
    if (!ParseInt(after, 1, INT_MAX, number)) return false;
    change.after = static_cast<int>(number);
    if (colon == std::wstring::npos) return true;
    const std::wstring rest = text.substr(colon + 1);
    if (!insert) return ParseCount(rest, change.index);
    change.placed = ParsePlacedItem(rest, change.item);
    if (!change.placed) change.item.name = rest;
    return !change.item.name.empty();
}

// A path as Windows programs take it; one starting with '/' is a Unix path, reached through Z:.
std::wstring WindowsPath(const std::wstring& path) {
    if (path.empty() || path[0] != L'/') return path;
    std::wstring windows = L"Z:" + path;
    for (wchar_t& c : windows) {
        if (c == L'/') c = L'\\';
    }
    return windows;
}

// "MS[#N]".
bool ParseFolderViewSlow(const std::wstring& text, Options& options) {
    const size_t hash = text.find(L'#');
    long nth = 0;
    if (hash != std::wstring::npos && !ParseInt(text.substr(hash + 1), 1, INT_MAX, nth)) return false;
    options.fvSlowNth = static_cast<int>(nth);
    long ms = 0;
    if (!ParseInt(text.substr(0, hash), 1, INT_MAX, ms)) return false;
    options.fvSlowMs = static_cast<int>(ms);
    return true;
}

// A call of the folder view, counted from 1.
bool ParseNth(const std::wstring& text, int& nth) {
    long number = 0;
    if (!ParseInt(text, 1, INT_MAX, number)) return false;
    nth = static_cast<int>(number);
    return true;
}

template <typename T>
struct Choice {
    const wchar_t* name;
    T value;
};

template <typename T, size_t N>
bool Choose(const std::wstring& text, const Choice<T> (&choices)[N], T& value) {
    for (const Choice<T>& choice : choices) {
        if (text == choice.name) {
            value = choice.value;
            return true;
        }
    }
    return false;
}

constexpr Choice<Options::Tree> kTrees[] = {
    {L"classic", Options::Tree::Classic}, {L"raised", Options::Tree::Raised}, {L"24h2", Options::Tree::Win24H2}};
constexpr Choice<Options::Commands> kCommands[] = {
    {L"classic", Options::Commands::Classic}, {L"later", Options::Commands::Later}, {L"none", Options::Commands::None}};

struct Parsing {
    Options& options;
    long generated;  // items made by --items so far, for their grid cells and the limit
};

struct OptionRule {
    // "--name" stands alone; "--name=" takes the rest of the argument as its value.
    const wchar_t* name;
    bool (*apply)(const std::wstring& value, Parsing& parsing);
};

using V = const std::wstring&;
using P = Parsing&;

const OptionRule kRules[] = {
    {L"--shell",
     [](V, P p) {
         p.options.mode = Options::Mode::Shell;
         return true;
     }},
    {L"--scripted",
     [](V, P p) {
         p.options.mode = Options::Mode::Scripted;
         return true;
     }},
    {L"--ie-server", [](V, P p) { return p.options.ieServer = true; }},
    {L"--no-listview", [](V, P p) { return p.options.noListView = true; }},
    {L"--log-paint", [](V, P p) { return p.options.logPaint = true; }},
    {L"--log-redraw", [](V, P p) { return p.options.logRedraw = true; }},
    {L"--log-count", [](V, P p) { return p.options.logCount = true; }},
    {L"--decoy", [](V, P p) { return p.options.decoy = true; }},
    {L"--log=",
     [](V value, P p) {
         p.options.logPath = WindowsPath(value);
         return !value.empty();
     }},
    {L"--hang-after=", [](V value, P p) { return ParseCount(value, p.options.hangAfterMs); }},
    {L"--restart-after=", [](V value, P p) { return ParseCount(value, p.options.restartAfterMs); }},
    {L"--items=",
     [](V value, P p) {
         long number = 0;
         if (!ParseInt(value, 0, kMaxGeneratedItems - p.generated, number)) return false;
         for (long k = 0; k < number; ++k, ++p.generated) {
             const POINT at = GridCell(static_cast<int>(p.generated), p.options.gridRows);
             p.options.items.push_back({L"Item " + std::to_wstring(k + 1), at.x, at.y});
         }
         return true;
     }},
    {L"--item=",
     [](V value, P p) {
         Item item;
         if (!ParsePlacedItem(value, item)) return false;
         p.options.items.push_back(item);
         return true;
     }},
    {L"--slow=",
     [](V value, P p) {
         Options::Slow slow;
         if (!ParseSlow(value, slow)) return false;
         p.options.slow.push_back(slow);
         return true;
     }},
    {L"--fail-text=", [](V value, P p) { return ParseIndexList(value, p.options.failText); }},
    {L"--fail-pos=", [](V value, P p) { return ParseIndexList(value, p.options.failPos); }},
    {L"--insert-after=",
     [](V value, P p) {
         Options::Change change;
         if (!ParseChange(value, true, change)) return false;
         p.options.changes.push_back(change);
         return true;
     }},
    {L"--remove-after=",
     [](V value, P p) {
         Options::Change change;
         if (!ParseChange(value, false, change)) return false;
         p.options.changes.push_back(change);
         return true;
     }},
    {L"--fill-ms=", [](V value, P p) { return ParseCount(value, p.options.fillMs); }},
    {L"--icon-size=", [](V value, P p) { return ParseCount(value, p.options.iconSize); }},
    {L"--grid-rows=",
     [](V value, P p) {
         long rows = 0;
         if (!ParseInt(value, 1, 1000, rows)) return false;
         p.options.gridRows = static_cast<int>(rows);
         return true;
     }},
    {L"--squeeze-ms=", [](V value, P p) { return ParseCount(value, p.options.squeezeMs); }},
    {L"--redirect-text=",
     [](V value, P p) {
         if (value == L"all") return p.options.redirectAllText = true;
         return ParseIndexList(value, p.options.redirectText);
     }},
    {L"--redirect-high", [](V, P p) { return p.options.redirectHigh = true; }},
    {L"--tray=", [](V value, P p) { return ParseCount(value, p.options.trayRefusals); }},
    {L"--tree=", [](V value, P p) { return Choose(value, kTrees, p.options.tree); }},
    {L"--folder-view", [](V, P p) { return p.options.folderView = true; }},
    {L"--peer-proxy=",
     [](V value, P p) {
         p.options.peerProxy = WindowsPath(value);
         return !value.empty();
     }},
    {L"--since-1809", [](V, P p) { return p.options.since1809 = true; }},
    {L"--fv-hang=", [](V value, P p) { return ParseNth(value, p.options.fvHang); }},
    {L"--fv-fail", [](V, P p) { return p.options.fvFail = true; }},
    {L"--fv-restart-in=", [](V value, P p) { return ParseNth(value, p.options.fvRestartIn); }},
    {L"--fv-slow=", [](V value, P p) { return ParseFolderViewSlow(value, p.options); }},
    {L"--fv-log-getpos", [](V, P p) { return p.options.logGetPos = true; }},
    {L"--fv-fail-pos=", [](V value, P p) { return !(p.options.fvFailPos = value).empty(); }},
    {L"--commands=", [](V value, P p) { return Choose(value, kCommands, p.options.commands); }},
};

// The rule an argument names, with its value; nullptr when none does.
const OptionRule* RuleFor(const std::wstring& arg, std::wstring& value) {
    for (const OptionRule& rule : kRules) {
        const std::wstring name = rule.name;
        if (name.back() == L'=' ? arg.compare(0, name.size(), name) == 0 : arg == name) {
            value = arg.substr(name.size());
            return &rule;
        }
    }
    return nullptr;
}

}  // namespace

bool ParseCommandLine(int argc, wchar_t** argv, Options& options) {
    if (argc > 0 && argv == nullptr) return false;
    Parsing parsing{options, 0};
    for (int i = 1; i < argc; ++i) {
        if (argv[i] == nullptr) return false;
        std::wstring value;
        const OptionRule* rule = RuleFor(argv[i], value);
        if (rule == nullptr || !rule->apply(value, parsing)) return false;
    }
    // The folder view is the platform shell view's; its faults and its peer are the folder view's.
    const bool folderViewFaults = options.fvHang > 0 || options.fvFail || options.fvRestartIn > 0 ||
                                  options.fvSlowMs > 0 || options.logGetPos || !options.peerProxy.empty() ||
                                  !options.fvFailPos.empty();
    if ((options.folderView || options.since1809) && options.mode != Options::Mode::Shell) return false;
    return options.folderView || !folderViewFaults;
}

}  // namespace standin
