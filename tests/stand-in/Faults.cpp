// The fault options at work: slow, refused and shifting answers, a hang, and the report of
// access violations in this process.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>
#include <atomic>
#include <cstddef>

#include "DesktopImpl.h"

namespace standin {

using namespace detail;

namespace {

// A copy of a redirected name above 4 GiB, in a slot whose address cut to 32 bits holds "Decoy":
// what a 32-bit reader that cuts the pointer would read instead. Null where the process cannot
// place one (a 32-bit stand-in, the regions taken, the slots used up).
const wchar_t* HighCopy(const std::wstring& text) {
#ifdef _WIN64
    constexpr SIZE_T kBytes = 0x10000;
    constexpr size_t kSlots = kBytes / sizeof(wchar_t) / kRedirectedChars;
    static wchar_t* const high = [] {
        for (uintptr_t low = 0x10000000; low < 0x80000000; low += 0x10000000) {
            auto* decoys = static_cast<wchar_t*>(
                VirtualAlloc(reinterpret_cast<void*>(low), kBytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
            if (!decoys) continue;
            auto* region = static_cast<wchar_t*>(VirtualAlloc(reinterpret_cast<void*>(low + (uintptr_t{1} << 32)),
                                                              kBytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
            if (!region) {
                VirtualFree(decoys, 0, MEM_RELEASE);
                continue;
            }
            for (size_t slot = 0; slot < kSlots; ++slot) wcscpy(decoys + slot * kRedirectedChars, L"Decoy");
            return region;
        }
        return static_cast<wchar_t*>(nullptr);
    }();
    static std::vector<std::wstring> placed;
    const auto at = std::find(placed.begin(), placed.end(), text);
    if (!high || (at == placed.end() && placed.size() == kSlots)) return nullptr;
    wchar_t* copy = high + static_cast<size_t>(at - placed.begin()) * kRedirectedChars;
    if (at == placed.end()) {
        placed.push_back(text);
        wcsncpy(copy, text.c_str(), kRedirectedChars - 1);
    }
    return copy;
#else
    (void)text;
    return nullptr;
#endif
}

// The item a LVM_GETITEM record asks about, or -1. The record is in this process but comes from
// whoever sent the message, so it is read without trusting the address; iItem follows the
// 32-bit mask in both bitnesses' layouts.
int ItemOfRecord(LPARAM record) {
    int item = -1;
    SIZE_T read = 0;
    if (record == 0 ||
        !ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<const char*>(record) + offsetof(LVITEMW, iItem), &item,
                           sizeof item, &read) ||
        read != sizeof item) {
        return -1;
    }
    return item;
}

// Counts access violations and logs them; the process's own handling goes on as before.
std::atomic<Desktop::Impl*> faultSink{nullptr};
std::atomic<int> faultCount{0};

LONG CALLBACK ReportFault(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode != EXCEPTION_ACCESS_VIOLATION) return EXCEPTION_CONTINUE_SEARCH;
    const ULONG_PTR how = record->NumberParameters >= 2 ? record->ExceptionInformation[0] : 0;
    const ULONG_PTR where = record->NumberParameters >= 2 ? record->ExceptionInformation[1] : 0;
    const wchar_t* verb = how == 1 ? L" writing " : how == 8 ? L" executing " : L" reading ";
    if (Desktop::Impl* impl = faultSink.load()) {
        impl->Append(L"FAULT access violation at " + HexPointer(reinterpret_cast<ULONG_PTR>(record->ExceptionAddress)) +
                     verb + HexPointer(where));
    }
    // Counted once logged: a caller that waits for the count finds the line there.
    ++faultCount;
    return EXCEPTION_CONTINUE_SEARCH;
}

// The bytes a late request answers into (a position, or the head of an item record), as they
// were when it came.
constexpr size_t kBlockWatch = 16;
using BlockBytes = std::array<uint8_t, kBlockWatch>;

bool ReadBlock(LPARAM at, size_t bytes, BlockBytes& into) {
    SIZE_T read = 0;
    return at != 0 &&
           ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<LPCVOID>(at), into.data(), bytes, &read) &&
           read == bytes;
}

// Whether the caller wrote another request into its block while this one waited: a late answer
// would then land in memory that is another request's. (Freed memory shows as the access
// violation of the write itself.)
bool BlockReused(LPARAM at, size_t bytes, const BlockBytes& before) {
    MEMORY_BASIC_INFORMATION info = {};
    BlockBytes now = {};
    return VirtualQuery(reinterpret_cast<LPCVOID>(at), &info, sizeof info) && info.State == MEM_COMMIT &&
           ReadBlock(at, bytes, now) && !std::equal(now.begin(), now.begin() + bytes, before.begin());
}

}  // namespace

namespace detail {

PVOID AddFaultReport(Desktop::Impl* impl) {
    faultCount = 0;
    faultSink = impl;
    // First in line, so that no handler of the process hides a fault from it.
    return AddVectoredExceptionHandler(1, ReportFault);
}

void RemoveFaultReport(PVOID handler) {
    RemoveVectoredExceptionHandler(handler);
    faultSink = nullptr;
}

int FaultsReported() { return faultCount.load(); }

}  // namespace detail

LRESULT Desktop::Impl::AnswerRequest(Request kind, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    const int nth = ++requests[static_cast<int>(kind)];
    int index = -1;
    if (kind == Request::GetText) index = ItemOfRecord(lParam);
    if (kind == Request::GetPos || kind == Request::SetPos) index = static_cast<int>(wParam);
    const std::wstring what =
        std::wstring(RequestName(kind)) + L" " + (index >= 0 ? std::to_wstring(index) : std::wstring(L"-"));

    const std::vector<int>* failing = kind == Request::GetText  ? &options.failText
                                      : kind == Request::GetPos ? &options.failPos
                                                                : nullptr;
    LRESULT result = FALSE;
    if (failing != nullptr && index >= 0 && std::find(failing->begin(), failing->end(), index) != failing->end()) {
        Record(L"LV FAIL " + what);
    } else {
        result = CarryOut(kind, index, nth, what, hwnd, msg, wParam, lParam);
    }
    // A refused request counts too: it was answered.
    if (kind == Request::GetText || kind == Request::GetPos) ApplyChanges(hwnd, kind, nth);
    if (kind == Request::Count && options.logCount && InSendMessage()) Record(L"LV COUNT " + std::to_wstring(result));
    return result;
}

LRESULT Desktop::Impl::CarryOut(Request kind, int index, int nth, const std::wstring& what, HWND hwnd, UINT msg,
                                WPARAM wParam, LPARAM lParam) {
    const Options::Slow* slow = nullptr;
    for (const Options::Slow& rule : options.slow) {
        if (rule.kind == kind && (rule.index < 0 || rule.index == index) && (rule.nth == 0 || rule.nth == nth)) {
            slow = &rule;
            break;
        }
    }
    // A request that names a caller's block: what it answers into is watched while it waits. A
    // position's place is marked (the caller reads it only once the answer came), an item record
    // is compared as it came: a caller that wrote another request into it meanwhile changed it.
    BlockBytes before = {};
    const size_t watch = kind == Request::GetPos ? sizeof(POINT) : kind == Request::GetText ? kBlockWatch : 0;
    const bool watched = slow != nullptr && watch > 0 && ReadBlock(lParam, watch, before);
    if (watched && kind == Request::GetPos) {
        const POINT mark = {static_cast<LONG>(0x49564C53), nth};
        memcpy(before.data(), &mark, sizeof mark);
        WriteProcessMemory(GetCurrentProcess(), reinterpret_cast<LPVOID>(lParam), &mark, sizeof mark, nullptr);
    }
    if (slow != nullptr) {
        Record(L"LV SLOW " + what + L" " + std::to_wstring(slow->ms) + (slow->pump ? L" pump" : L""));
        Busy(*slow, what);
    }
    if (watched && BlockReused(lParam, watch, before)) {
        ++faultCount;
        Record(L"FAULT late " + what + L" answer into reused memory at " + HexPointer(static_cast<ULONG_PTR>(lParam)));
        Record(L"LV LATE " + what + L" not written");
        return FALSE;
    }
    const bool redirect = msg == LVM_GETITEMW && (options.redirectAllText ||
                                                  std::find(options.redirectText.begin(), options.redirectText.end(),
                                                            index) != options.redirectText.end());
    const LRESULT result =
        redirect ? AnswerRedirected(hwnd, wParam, lParam, index) : ListViewMessage(this, hwnd, msg, wParam, lParam);
    if (slow != nullptr) Record(L"LV LATE " + what + L" done");
    return result;
}

void Desktop::Impl::Busy(const Options::Slow& slow, const std::wstring& what) {
    // Busy, not hung: without pump the thread takes no messages meanwhile, then answers.
    if (!slow.pump) {
        Sleep(static_cast<DWORD>(slow.ms));
        return;
    }
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(slow.ms);
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_SENDMESSAGE) !=
                WAIT_OBJECT_0 ||
            (HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) == 0)
            continue;
        Append(L"LV PUMP " + what);
        // Only sent messages: what was posted waits for the thread's own loop, as in a modal wait.
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

LRESULT Desktop::Impl::AnswerRedirected(HWND hwnd, WPARAM wParam, LPARAM lParam, int index) {
    LVITEMW record = {};
    SIZE_T read = 0;
    // A record this process cannot read, or one that asks for no name, goes to the list view as
    // it came, which meets it as it meets any other.
    if (lParam == 0 ||
        !ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<LPCVOID>(lParam), &record, sizeof record, &read) ||
        read != sizeof record || (record.mask & LVIF_TEXT) == 0 || record.iSubItem != 0)
        return ListViewMessage(this, hwnd, LVM_GETITEMW, wParam, lParam);
    wchar_t name[kRedirectedChars] = {};
    LVITEMW answer = record;
    answer.pszText = name;
    answer.cchTextMax = kRedirectedChars;
    if (!DefSubclassProc(hwnd, LVM_GETITEMW, wParam, reinterpret_cast<LPARAM>(&answer))) return FALSE;
    // LVIF_NORECOMPUTE may leave no text to hand out.
    if (answer.pszText == nullptr || answer.pszText == LPSTR_TEXTCALLBACKW)
        return ListViewMessage(this, hwnd, LVM_GETITEMW, wParam, lParam);
    const std::wstring& text = *redirectedTexts.insert(answer.pszText).first;
    const wchar_t* high = options.redirectHigh ? HighCopy(text) : nullptr;
    answer.pszText = const_cast<wchar_t*>(high ? high : text.c_str());
    answer.cchTextMax = record.cchTextMax;
    // Written as the list view writes its answers, straight into the caller's record.
    *reinterpret_cast<LVITEMW*>(lParam) = answer;
    Record(L"LV REDIRECT " + std::to_wstring(index) + L" " + text + (high ? L" high" : L""));
    return TRUE;
}

void Desktop::Impl::ApplyChanges(HWND hwnd, Request kind, int nth) {
    for (const Options::Change& change : options.changes) {
        if (change.kind != kind || change.after != nth) continue;
        std::wstring line;
        {
            Quiet quietly(*this);
            if (change.insert) {
                const std::wstring name =
                    change.item.name.empty() ? L"Inserted " + std::to_wstring(nth) : change.item.name;
                LVITEMW item = {};
                item.mask = LVIF_TEXT | LVIF_IMAGE;
                item.pszText = const_cast<wchar_t*>(name.c_str());
                const int at = ListView_InsertItem(hwnd, &item);
                if (change.placed && at >= 0) ListView_SetItemPosition32(hwnd, at, change.item.x, change.item.y);
                line = L"LV INSERT " + name + L" at 0";
            } else if (change.index < ListView_GetItemCount(hwnd)) {
                wchar_t name[MAX_PATH] = {};
                ListView_GetItemText(hwnd, change.index, 0, name, MAX_PATH);
                ListView_DeleteItem(hwnd, change.index);
                line = L"LV REMOVE " + std::to_wstring(change.index) + L" " + name;
            } else {
                line = L"LV REMOVE " + std::to_wstring(change.index) + L" missing";
            }
        }
        Record(std::move(line));
    }
}

void Desktop::Impl::Hang() {
    // Waiting on a kernel object, not a message wait: sent messages stay unanswered too.
    WaitForSingleObject(hangEnd, INFINITE);
}

}  // namespace standin
