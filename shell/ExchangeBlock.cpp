#include "shell/ExchangeBlock.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <utility>

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

// The text an answered item record carries in its own text area; false when the list view
// pointed the record at a buffer of its own instead of filling the caller's (it may answer so).
bool TextInSlot(const ItemRecordLayout& layout, const uint8_t* slot, uint64_t slotAddress, std::wstring& text) {
    if (TextPointerOf(layout, slot) != slotAddress + layout.size) return false;
    text = TextFromArea(slot + layout.size, kTextAreaBytes);
    return true;
}

// A block below 2 GiB in a 64-bit shell's process, for a 32-bit Iconvale. The system's own choice
// may lie above 4 GiB, and the 32-bit answer then names a cut address (measured under Wine 8:
// reported as success, the real block lost in the shell's process); so the block is asked for
// at a free place found below 2 GiB, and taken only when it is there as asked.
void* AllocateLow(HANDLE process, size_t bytes) {
    constexpr uint64_t kGranularity = 0x10000;
    constexpr uint64_t kLimit = 0x80000000u;
    MEMORY_BASIC_INFORMATION region = {};
    for (uint64_t at = kGranularity; at < kLimit;) {
        void* const query = reinterpret_cast<void*>(static_cast<uintptr_t>(at));
        if (VirtualQueryEx(process, query, &region, sizeof region) != sizeof region) break;
        const uint64_t base = reinterpret_cast<uintptr_t>(region.BaseAddress);
        // A region reaching past 4 GiB has a size that 32 bits cannot tell: below the limit it is
        // taken to reach the limit.
        uint64_t end = base + region.RegionSize;
        if (end <= at || end > kLimit) end = kLimit;
        const uint64_t start = (std::max(base, at) + kGranularity - 1) & ~(kGranularity - 1);
        if (region.State == MEM_FREE && start + bytes <= end) {
            void* wanted = reinterpret_cast<void*>(static_cast<uintptr_t>(start));
            void* block = VirtualAllocEx(process, wanted, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
            if (block == wanted) return block;
        }
        at = end;
    }
    return nullptr;
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

uint64_t TextPointerOf(const ItemRecordLayout& layout, const uint8_t* record) {
    uint64_t pointer = 0;
    for (uint32_t i = 0; i < layout.pointerSize; ++i) {
        pointer |= static_cast<uint64_t>(record[layout.textField + i]) << (8 * i);
    }
    return pointer;
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

bool BlockAddressFits(uint64_t address, uint64_t bytes, bool shell64, bool self64) {
    const uint64_t limit = self64 ? (shell64 ? UINT64_MAX : UINT32_MAX) : (shell64 ? 0x80000000u : UINT32_MAX);
    return address != 0 && bytes <= limit && address <= limit - bytes;
}

ExchangeBlock::ExchangeBlock(ShellSession& session, HWND listView, uint32_t slots)
    : session_(session), listView_(listView), slots_(slots > 0 ? slots : 1) {
    session.FreeCompletedBlocks();
    if (!listView) return;
    constexpr bool self64 = sizeof(void*) == 8;
    if (!session.Family().winNT) {
        // On the 9x family a view of a shared mapping lies at the same address in every process.
        // While the named one is set aside, a block takes pages of its own under no name.
        shareMemory_ = !session.ShareMemoryOwed();
        mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kShareMemoryBytes,
                                      shareMemory_ ? kShareMemoryName : nullptr);
        if (!mapping_) return;
        view_ = MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0);
        if (!view_) return;
        layout_ = self64 ? &kItemRecord64 : &kItemRecord32;
        slots_ = std::clamp<uint32_t>(kShareMemoryBytes / SlotBytes(*layout_), 1, slots_);
        address_ = reinterpret_cast<uintptr_t>(view_);
        return;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(listView, &pid);
    // A 32-bit Iconvale looks for a free place in a 64-bit shell's memory (VirtualQueryEx).
    const DWORD query = self64 ? PROCESS_QUERY_LIMITED_INFORMATION : PROCESS_QUERY_INFORMATION;
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | query | SYNCHRONIZE, FALSE, pid);
    if (!process_) return;
    const bool shell64 = ShellIs64Bit(self64, IsWow64(GetCurrentProcess()), IsWow64(process_));
    layout_ = shell64 ? &kItemRecord64 : &kItemRecord32;
    const size_t bytes = static_cast<size_t>(slots_) * SlotBytes(*layout_);
    void* block = self64 || !shell64
                      ? VirtualAllocEx(process_, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)
                      : AllocateLow(process_, bytes);
    if (!block) return;
    const uint64_t address = reinterpret_cast<uintptr_t>(block);
    if (!BlockAddressFits(address, bytes, shell64, self64)) {
        VirtualFreeEx(process_, block, 0, MEM_RELEASE);
        return;
    }
    address_ = address;
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

void ExchangeBlock::SetAside(std::unique_ptr<RequestCompletion> completion) {
    asideBytes_.resize(static_cast<size_t>(slots_) * SlotBytes(*layout_));
    if (!Read(0, asideBytes_.data(), asideBytes_.size())) asideBytes_.clear();
    SetAsideBlock block;
    block.completion = std::move(completion);
    block.process = std::exchange(process_, nullptr);
    block.address = std::exchange(address_, 0);
    block.mapping = std::exchange(mapping_, nullptr);
    block.view = std::exchange(view_, nullptr);
    block.shareMemory = shareMemory_;
    session_.SetAside(std::move(block));
}

Answer ExchangeBlock::Send(UINT msg, WPARAM wParam, LRESULT* result, uint32_t offset) {
    if (!Ok()) return Answer::NoAnswer;
    std::unique_ptr<RequestCompletion> completion =
        session_.SendTracked(listView_, msg, wParam, static_cast<LPARAM>(address_ + offset));
    // Never sent: nothing is owed, and the block goes with this object.
    if (!completion) return Answer::NoAnswer;
    if (!completion->done) {
        SetAside(std::move(completion));
        return Answer::NoAnswer;
    }
    if (result) *result = completion->result;
    return Answer::Done;
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

size_t ExchangeBlock::ReadShell(uint64_t address, uint8_t* data, size_t bytes) {
    // Only a block in the shell's process can read elsewhere in it. An address this build cannot
    // hold (a 64-bit shell's, above 4 GiB) is not read at all: cut to 32 bits, it names other memory.
    if (!Ok() || !process_ || address == 0 || address != static_cast<uintptr_t>(address)) return 0;
    const void* at = reinterpret_cast<const void*>(static_cast<uintptr_t>(address));
    SIZE_T read = 0;
    if (ReadProcessMemory(process_, at, data, bytes, &read)) return read;
    // The text may end just before an unreadable page: read up to the page's end.
    SYSTEM_INFO system = {};
    GetSystemInfo(&system);
    const uint64_t toPageEnd = system.dwPageSize - address % system.dwPageSize;
    if (toPageEnd >= bytes) return 0;
    return ReadProcessMemory(process_, at, data, static_cast<SIZE_T>(toPageEnd), &read) ? read : 0;
}

bool ExchangeBlock::Read(uint32_t offset, void* data, size_t bytes) {
    if (!Ok()) {
        if (offset + bytes > asideBytes_.size()) return false;
        memcpy(data, asideBytes_.data() + offset, bytes);
        return true;
    }
    const void* at = reinterpret_cast<const void*>(static_cast<uintptr_t>(address_ + offset));
    if (view_) {
        memcpy(data, at, bytes);
        return true;
    }
    SIZE_T read = 0;
    return ReadProcessMemory(process_, at, data, bytes, &read) && read == bytes;
}

int32_t ItemCountOf(LRESULT answer) {
    if (answer < 0) return -1;
    return answer > kMaxDesktopItems ? kMaxDesktopItems : static_cast<int32_t>(answer);
}

int32_t GetItemCount(ShellSession& session, HWND listView) {
    LRESULT count = 0;
    if (!session.Send(listView, LVM_GETITEMCOUNT, 0, 0, &count)) return -1;
    return ItemCountOf(count);
}

Answer GetItemText(ExchangeBlock& block, int32_t index, std::wstring& text) {
    const ItemRecordLayout& layout = block.Layout();
    std::vector<uint8_t> record = BuildItemTextRequest(layout, index, block.Address());
    // The record and an empty text: a list view that writes no text leaves no earlier name there.
    if (!block.Write(0, record.data(), layout.size + sizeof(wchar_t))) return Answer::NoAnswer;
    LRESULT ok = 0;
    const Answer answer = block.Send(LVM_GETITEMW, 0, &ok);
    if (answer != Answer::Done) return answer;
    if (!ok || !block.Read(0, record.data(), record.size())) return Answer::Refused;
    if (TextInSlot(layout, record.data(), block.Address(), text)) return Answer::Done;
    uint8_t area[kTextAreaBytes];
    const size_t read = block.ReadShell(TextPointerOf(layout, record.data()), area, sizeof area);
    if (read < sizeof(wchar_t)) return Answer::Refused;
    text = TextFromArea(area, read);
    return Answer::Done;
}

Answer GetItemPosition(ExchangeBlock& block, int32_t index, POINT& point) {
    // The list view writes the position when it answers TRUE: nothing to prepare.
    int32_t xy[2] = {0, 0};
    LRESULT ok = 0;
    const Answer answer = block.Send(LVM_GETITEMPOSITION, static_cast<WPARAM>(index), &ok);
    if (answer != Answer::Done) return answer;
    if (!ok || !block.Read(0, xy, sizeof xy)) return Answer::Refused;
    point = {xy[0], xy[1]};
    return Answer::Done;
}

Answer GetItemIconRect(ExchangeBlock& block, int32_t index, RECT& bounds) {
    // A RECT is four 32-bit fields in either bitness; its left names the part asked for.
    int32_t rect[4] = {LVIR_ICON, 0, 0, 0};
    if (!block.Write(0, rect, sizeof rect)) return Answer::NoAnswer;
    LRESULT ok = 0;
    const Answer answer = block.Send(LVM_GETITEMRECT, static_cast<WPARAM>(index), &ok);
    if (answer != Answer::Done) return answer;
    if (!ok || !block.Read(0, rect, sizeof rect)) return Answer::Refused;
    bounds = {rect[0], rect[1], rect[2], rect[3]};
    return Answer::Done;
}

bool QueueItemPosition(HWND listView, int32_t index, int16_t x, int16_t y) {
    return SendNotifyMessageW(listView, LVM_SETITEMPOSITION, static_cast<WPARAM>(index), PackItemPosition(x, y));
}

ItemAnswer ReadItem(ExchangeBlock& block, int32_t index) {
    ItemAnswer item;
    item.name = GetItemText(block, index, item.text);
    if (item.name != Answer::NoAnswer) item.position = GetItemPosition(block, index, item.point);
    return item;
}

std::vector<ItemAnswer> ReadItemBatch(ExchangeBlock& block, int32_t first, int32_t count) {
    const ItemRecordLayout& layout = block.Layout();
    const uint32_t slot = SlotBytes(layout);
    // Where the slots are as the shell sees them, also once the block is set aside.
    const uint64_t base = block.Address();
    const uint32_t wanted = std::min(static_cast<uint32_t>(std::max(count, 0)), block.Slots());
    // Every record, and every text area cleared: a list view that writes no text leaves no earlier
    // name there.
    std::vector<uint8_t> bytes(static_cast<size_t>(wanted) * slot, 0);
    for (uint32_t k = 0; k < wanted; ++k) {
        const std::vector<uint8_t> record =
            BuildItemTextRequest(layout, first + static_cast<int32_t>(k), base + k * slot);
        memcpy(bytes.data() + k * slot, record.data(), layout.size);
    }
    if (wanted == 0 || !block.Write(0, bytes.data(), bytes.size())) return {};

    std::vector<ItemAnswer> answers;
    std::vector<std::pair<LRESULT, LRESULT>> said;
    for (uint32_t k = 0; k < wanted; ++k) {
        const WPARAM index = static_cast<WPARAM>(first + static_cast<int32_t>(k));
        answers.emplace_back();
        said.emplace_back(0, 0);
        if (block.Send(LVM_GETITEMW, 0, &said[k].first, k * slot) != Answer::Done) break;
        answers[k].name = Answer::Done;
        if (block.Send(LVM_GETITEMPOSITION, index, &said[k].second, k * slot + slot - kPositionBytes) != Answer::Done)
            break;
        answers[k].position = Answer::Done;
    }
    if (!block.Read(0, bytes.data(), answers.size() * slot)) return {};

    for (uint32_t k = 0; k < answers.size(); ++k) {
        ItemAnswer& item = answers[k];
        const uint8_t* at = bytes.data() + k * slot;
        if (item.position == Answer::Done) {
            int32_t xy[2] = {};
            memcpy(xy, at + slot - kPositionBytes, sizeof xy);
            item.point = {xy[0], xy[1]};
            if (!said[k].second) item.position = Answer::Refused;
        }
        if (item.name != Answer::Done) continue;
        if (!said[k].first) {
            item.name = Answer::Refused;
        } else if (!TextInSlot(layout, at, base + k * slot, item.text)) {
            // A buffer of the list view's own has served later requests since: this one again.
            item.name = block.Ok() ? GetItemText(block, first + static_cast<int32_t>(k), item.text) : Answer::Refused;
        }
    }
    return answers;
}

bool SetItemPosition(ShellSession& session, HWND listView, int32_t index, int16_t x, int16_t y) {
    return session.Send(listView, LVM_SETITEMPOSITION, static_cast<WPARAM>(index), PackItemPosition(x, y));
}

}  // namespace iv
