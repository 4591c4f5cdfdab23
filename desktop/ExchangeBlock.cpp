#include "desktop/ExchangeBlock.h"

#include <commctrl.h>

#include <cstring>

#include "desktop/DesktopWindows.h"

namespace iv {
namespace {

// The shell's copy of the mapping name; every process that maps it shares the same bytes.
constexpr wchar_t kShareMemoryName[] = L"ShareMemory";
constexpr DWORD kShareMemoryBytes = 1024;

void PutField(std::vector<uint8_t>& bytes, uint32_t offset, uint64_t value, uint32_t size) {
    for (uint32_t i = 0; i < size; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

bool IsWow64(HANDLE process) {
    BOOL wow64 = FALSE;
    return IsWow64Process(process, &wow64) && wow64;
}

}  // namespace

std::vector<uint8_t> BuildItemTextRequest(const ItemRecordLayout& layout, int32_t index, uint64_t blockAddress) {
    std::vector<uint8_t> bytes(layout.size + kTextAreaBytes, 0);
    PutField(bytes, 0, LVIF_TEXT, 4);                                                   // mask
    PutField(bytes, 4, static_cast<uint32_t>(index), 4);                                // iItem
    PutField(bytes, layout.textField, blockAddress + layout.size, layout.pointerSize);  // pszText
    PutField(bytes, layout.maxField, kItemTextChars, 4);                                // cchTextMax
    return bytes;
}

std::wstring TextFromArea(const uint8_t* area, size_t bytes) {
    std::wstring text(bytes / sizeof(wchar_t), L'\0');
    memcpy(text.data(), area, text.size() * sizeof(wchar_t));
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

LPARAM PackItemPosition(int16_t x, int16_t y) {
    const uint32_t packed =
        static_cast<uint32_t>(static_cast<uint16_t>(x)) | (static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16);
    return static_cast<LPARAM>(packed);
}

bool ShellIs64Bit(bool self64, bool selfWow64, bool shellWow64) {
    if (self64) return !shellWow64;
    // A 32-bit process on 64-bit Windows runs under WOW64; a shell that does not is 64-bit.
    return selfWow64 && !shellWow64;
}

ExchangeBlock::ExchangeBlock(HWND listView, bool winNT) {
    if (!listView) return;
    if (!winNT) {
        // On the 9x family a view of a shared mapping lies at the same address in every process.
        mapping_ =
            CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kShareMemoryBytes, kShareMemoryName);
        if (!mapping_) return;
        view_ = MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0);
        if (!view_) return;
        layout_ = sizeof(void*) == 8 ? &kItemRecord64 : &kItemRecord32;
        address_ = reinterpret_cast<uintptr_t>(view_);
        return;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(listView, &pid);
    process_ = OpenProcess(
        PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process_) return;
    const bool shell64 = ShellIs64Bit(sizeof(void*) == 8, IsWow64(GetCurrentProcess()), IsWow64(process_));
    layout_ = shell64 ? &kItemRecord64 : &kItemRecord32;
    void* block =
        VirtualAllocEx(process_, nullptr, layout_->size + kTextAreaBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    address_ = reinterpret_cast<uintptr_t>(block);
}

ExchangeBlock::~ExchangeBlock() {
    if (process_) {
        if (address_)
            VirtualFreeEx(process_, reinterpret_cast<void*>(static_cast<uintptr_t>(address_)), 0, MEM_RELEASE);
        CloseHandle(process_);
    }
    if (view_) UnmapViewOfFile(view_);
    if (mapping_) CloseHandle(mapping_);
}

bool ExchangeBlock::Write(uint32_t offset, const void* data, size_t bytes) {
    if (!Ok()) return false;
    void* at = reinterpret_cast<void*>(static_cast<uintptr_t>(address_ + offset));
    if (view_) {
        memcpy(at, data, bytes);
        return true;
    }
    SIZE_T written = 0;
    return WriteProcessMemory(process_, at, data, bytes, &written) && written == bytes;
}

bool ExchangeBlock::Read(uint32_t offset, void* data, size_t bytes) {
    if (!Ok()) return false;
    const void* at = reinterpret_cast<const void*>(static_cast<uintptr_t>(address_ + offset));
    if (view_) {
        memcpy(data, at, bytes);
        return true;
    }
    SIZE_T read = 0;
    return ReadProcessMemory(process_, at, data, bytes, &read) && read == bytes;
}

HWND FindDesktopListView() {
    const HWND defView = FindShellDefView(nullptr);
    return defView ? FindWindowExW(defView, nullptr, WC_LISTVIEWW, nullptr) : nullptr;
}

int32_t GetItemCount(HWND listView) {
    LRESULT count = 0;
    return ShellSend(listView, LVM_GETITEMCOUNT, 0, 0, &count) ? static_cast<int32_t>(count) : -1;
}

bool GetItemText(HWND listView, ExchangeBlock& block, int32_t index, std::wstring& text) {
    const std::vector<uint8_t> request = BuildItemTextRequest(block.Layout(), index, block.Address());
    if (!block.Write(0, request.data(), request.size())) return false;
    LRESULT ok = 0;
    if (!ShellSend(listView, LVM_GETITEMW, 0, static_cast<LPARAM>(block.Address()), &ok) || !ok) return false;
    uint8_t area[kTextAreaBytes];
    if (!block.Read(block.Layout().size, area, sizeof area)) return false;
    text = TextFromArea(area, sizeof area);
    return true;
}

bool GetItemPosition(HWND listView, ExchangeBlock& block, int32_t index, POINT& point) {
    int32_t xy[2] = {point.x, point.y};
    if (!block.Write(0, xy, sizeof xy)) return false;
    LRESULT ok = 0;
    if (!ShellSend(listView, LVM_GETITEMPOSITION, static_cast<WPARAM>(index), static_cast<LPARAM>(block.Address()),
                   &ok) ||
        !ok || !block.Read(0, xy, sizeof xy)) {
        return false;
    }
    point = {xy[0], xy[1]};
    return true;
}

void SetItemPosition(HWND listView, int32_t index, int16_t x, int16_t y) {
    ShellSend(listView, LVM_SETITEMPOSITION, static_cast<WPARAM>(index), PackItemPosition(x, y));
}

ReadResult ReadDesktopItems(IconPositionList& list, bool winNT) {
    list.assign(1, IconPosition{});
    const HWND listView = FindDesktopListView();
    if (!listView) return ReadResult::NoListView;
    ExchangeBlock block(listView, winNT);
    const int32_t count = block.Ok() ? GetItemCount(listView) : -1;
    if (count < 0) return ReadResult::Unreadable;

    POINT point = {0, 0};  // an item whose position cannot be read keeps the one before it
    int32_t named = 0;
    for (int32_t i = 0; i < count; ++i) {
        IconPosition item;
        if (GetItemText(listView, block, i, item.Name)) {
            ++named;
        } else {
            item.Name = kUnreadableItemName;
        }
        GetItemPosition(listView, block, i, point);
        item.X = point.x;
        item.Y = point.y;
        if (i == 0) {
            list[0] = std::move(item);
        } else {
            list.push_back(std::move(item));
        }
    }
    if (named == count) return ReadResult::Read;
    // Not one name could be read: the shell stopped answering, and the list tells nothing.
    return named == 0 ? ReadResult::Unreadable : ReadResult::Partial;
}

}  // namespace iv
