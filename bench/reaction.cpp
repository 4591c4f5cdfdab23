// How soon Iconvale reacts, 20 times each: the mouse entering the toolbar's strip (until the
// toolbar has slid out), and leaving it (until it is tucked away again); a file added to the
// Desktop folder (until Iconvale reads the new item count, which it repaints on at once), the
// shell resetting the label background (until it is transparent again), and a restarted desktop
// (until the stored styles and transparent labels are back).
// Usage: reaction.exe STANDIN_EXE ICONVALE_EXE LOG_FILE
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRounds = 20;
constexpr UINT kRestartMessage = WM_APP + 0x2C0;  // the stand-in's
constexpr DWORD kGiveUpMs = 5000;

struct Desktop {
    HWND progman = nullptr;
    HWND listView = nullptr;
};

Desktop FindDesktop() {
    Desktop d;
    d.progman = FindWindowW(L"Progman", nullptr);
    const HWND view = FindWindowExW(d.progman, nullptr, L"SHELLDLL_DefView", nullptr);
    d.listView = FindWindowExW(view, nullptr, WC_LISTVIEWW, nullptr);
    return d;
}

// From before `act` (nothing by default) until the condition holds.
template <typename Condition, typename Act = void (*)()>
double MsUntil(
    Condition condition, Act act = [] {}) {
    const ULONGLONG start = GetTickCount64();
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    act();
    while (!condition()) {
        if (GetTickCount64() - start > kGiveUpMs) return -1;
        Sleep(1);
    }
    QueryPerformanceCounter(&t1);
    return static_cast<double>(t1.QuadPart - t0.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

bool Logged(const std::wstring& path, const std::string& line) {
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file) return false;
    bool found = false;
    char logged[256];
    while (!found && fgets(logged, sizeof logged, file)) {
        std::string text = logged;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        found = text == line;
    }
    fclose(file);
    return found;
}

// Median and worst of the rounds; a round that saw no reaction within 5 s counts as never.
void Report(const char* what, std::vector<double> ms) {
    const auto never = std::count_if(ms.begin(), ms.end(), [](double m) { return m < 0; });
    for (double& m : ms) {
        if (m < 0) m = 1e9;
    }
    std::sort(ms.begin(), ms.end());
    const double median = (ms[ms.size() / 2 - 1] + ms[ms.size() / 2]) / 2;
    char medianText[16];
    char worstText[16];
    snprintf(medianText, sizeof medianText, median >= 1e9 ? "never" : "%.0f", median);
    snprintf(worstText, sizeof worstText, ms.back() >= 1e9 ? "never" : "%.0f", ms.back());
    printf("%-44s %10s %10s", what, medianText, worstText);
    if (never > 0 && median < 1e9) printf("  (%d of %zu never)", static_cast<int>(never), ms.size());
    printf("\n");
}

// Moves the mouse as a user does (an input event), and puts it there.
void MoveMouse(int x, int y) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
    SetCursorPos(x, y);
}

RECT ToolbarRect() {
    RECT r = {};
    GetWindowRect(FindWindowW(L"IconvaleToolbarWindow", nullptr), &r);
    return r;
}

bool Start(const std::wstring& commandLine) {
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 2;
    wchar_t desktop[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop))) return 1;
    const std::wstring folder = desktop;
    const std::wstring log = argv[3];
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Marun soft\\Kivo", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                    nullptr);
    for (const wchar_t* name : {L"Tool Tips", L"Text Color"}) {
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(L"1"), 2 * sizeof(wchar_t));
    }
    RegCloseKey(key);

    DeleteFileW(log.c_str());
    if (!Start(L"\"" + std::wstring(argv[1]) + L"\" --shell --log-count --log=" + log)) return 1;
    if (MsUntil([] { return FindDesktop().listView && ListView_GetItemCount(FindDesktop().listView) > 0; }) < 0) {
        return 1;
    }
    if (!Start(L"\"" + std::wstring(argv[2]) + L"\"")) return 1;
    const auto transparent = [] {
        return static_cast<COLORREF>(SendMessageW(FindDesktop().listView, LVM_GETTEXTBKCOLOR, 0, 0)) == CLR_NONE;
    };
    if (MsUntil(transparent) < 0) return 1;
    Sleep(1500);

    // The toolbar is tucked at the top-left corner, a strip of it on screen.
    std::vector<double> slide, tuck;
    const RECT tucked = ToolbarRect();
    for (int round = 0; round < kRounds; ++round) {
        MoveMouse(GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2);
        Sleep(300);
        slide.push_back(
            MsUntil([] { return ToolbarRect().left == 0; }, [&] { MoveMouse(1, (tucked.top + tucked.bottom) / 2); }));
        Sleep(300);
        tuck.push_back(
            MsUntil([&] { return ToolbarRect().left == tucked.left; },
                    [] { MoveMouse(GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2); }));
    }

    std::vector<double> file, shown, label, restart;
    for (int round = 0; round < kRounds; ++round) {
        // Calm first: the previous round's file is gone from the view.
        Sleep(600);
        const Desktop d = FindDesktop();
        const int count = ListView_GetItemCount(d.listView);
        const std::wstring path = folder + L"\\reaction " + std::to_wstring(round) + L".txt";
        const std::string seen = "LV COUNT " + std::to_string(count + 1);
        DeleteFileW(log.c_str());
        HANDLE created = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(created);
        // The shell's part (until its view holds the item) and the whole (until Iconvale has
        // counted it, which repaints at once).
        const double inView = MsUntil([&] { return Logged(log, "LV ITEMS " + std::to_string(count + 1)); });
        const double counted = MsUntil([&] { return Logged(log, seen); });
        file.push_back(inView < 0 || counted < 0 ? -1 : inView + counted);
        shown.push_back(counted);
        DeleteFileW(path.c_str());
        MsUntil([&] { return Logged(log, "LV ITEMS " + std::to_string(count)); });

        SendMessageW(d.listView, LVM_SETTEXTBKCOLOR, 0, RGB(255, 255, 255));
        label.push_back(MsUntil(transparent));
    }
    for (int round = 0; round < kRounds; ++round) {
        const HWND before = FindDesktop().listView;
        PostMessageW(FindDesktop().progman, kRestartMessage, 0, 0);
        restart.push_back(MsUntil([&] {
            const HWND now = FindDesktop().listView;
            return now && now != before && transparent() &&
                   (SendMessageW(now, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_INFOTIP) != 0;
        }));
        Sleep(300);
    }
    printf("%-44s %10s %10s\n", "reaction, ms (20 each)", "median", "worst");
    Report("mouse onto the strip -> toolbar out", slide);
    Report("mouse away -> toolbar tucked", tuck);
    Report("file added to the Desktop -> repaint", file);
    Report("  of which item in the view -> repaint", shown);
    Report("label background reset -> transparent", label);
    Report("desktop restarted -> settings back", restart);
    return 0;
}
