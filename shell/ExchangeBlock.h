// Reading and moving the desktop's icons, which live in the shell's process: a small exchange
// block both processes can reach carries the list view's answers.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "shell/DesktopIcons.h"
#include "shell/ShellSession.h"

namespace iv {

// Item text crosses as UTF-16, at most this many characters with the terminator.
inline constexpr uint32_t kItemTextChars = 260;
inline constexpr uint32_t kTextAreaBytes = kItemTextChars * sizeof(wchar_t);

// The item record of LVM_GETITEMW as the shell's process lays it out: ten 32-bit fields for a
// 32-bit shell, the native LVITEMW of a 64-bit shell.
struct ItemRecordLayout {
    uint32_t size;         // bytes of the record; the text area follows it
    uint32_t textField;    // offset of pszText
    uint32_t maxField;     // offset of cchTextMax
    uint32_t pointerSize;  // 4 or 8
};
inline constexpr ItemRecordLayout kItemRecord32 = {40, 20, 24, 4};
inline constexpr ItemRecordLayout kItemRecord64 = {88, 24, 32, 8};

// The record (and a cleared text area after it) asking for item `index`'s text, for a block at
// `blockAddress` as the shell sees it.
std::vector<uint8_t> BuildItemTextRequest(const ItemRecordLayout& layout, int32_t index, uint64_t blockAddress);

// The pszText a list view left in an item record read back: the caller's text area, or a buffer
// of the list view's own (the control may answer that way).
uint64_t TextPointerOf(const ItemRecordLayout& layout, const uint8_t* record);

// The text in a text area read back: up to the first NUL, never past the area.
std::wstring TextFromArea(const uint8_t* area, size_t bytes);

// lParam of LVM_SETITEMPOSITION: x in the low 16 bits and y in the high 16 bits, each as its
// 16-bit two's-complement pattern.
LPARAM PackItemPosition(int16_t x, int16_t y);

// Whether the shell runs as a 64-bit process, from whether this process is 64-bit and which of
// the two processes run under WOW64.
bool ShellIs64Bit(bool self64, bool selfWow64, bool shellWow64);

// Whether a block of `bytes` at this address can be named to the shell: all of it must fit the
// shell's pointers (a 32-bit shell) and arrive whole as the message's parameter. A 32-bit
// Iconvale's lParam reaches a 64-bit shell sign-extended (measured under Wine 8, and so on
// Windows), so there the block must lie below 2 GiB.
bool BlockAddressFits(uint64_t address, uint64_t bytes, bool shell64, bool self64);

// A block holds slots, one for each item a batch reads: the item record, its text area, and the
// item's position.
inline constexpr uint32_t kPositionBytes = 8;
inline constexpr uint32_t SlotBytes(const ItemRecordLayout& layout) {
    return layout.size + kTextAreaBytes + kPositionBytes;
}
// Items read in one batch: the fixed cost of a cross-process write and read is shared by this
// many, for twenty-odd kilobytes in the shell's process.
inline constexpr uint32_t kBatchItems = 32;

// How a request that carries the block's address went.
enum class Answer { Done, Refused, NoAnswer };

// The exchange block of one operation: reserved in the shell's process on the NT family, the
// shared "ShareMemory" mapping on the 9x family. Released when it goes out of scope, except after
// a request that was not answered in time: the shell may still carry that request out later and
// write into the block, so the session keeps it set aside instead (ShellSession::SetAside).
class ExchangeBlock {
public:
    // Opens a block of `slots` slots (fewer in the 9x family's shared mapping) for a list view in
    // the way the session's family takes; Ok() tells whether that worked. Frees the blocks set
    // aside whose requests have completed meanwhile.
    ExchangeBlock(ShellSession& session, HWND listView, uint32_t slots = 1);
    ~ExchangeBlock();
    ExchangeBlock(const ExchangeBlock&) = delete;
    ExchangeBlock& operator=(const ExchangeBlock&) = delete;

    bool Ok() const { return address_ != 0; }
    // The block's address as the shell sees it.
    uint64_t Address() const { return address_; }
    const ItemRecordLayout& Layout() const { return *layout_; }
    uint32_t Slots() const { return slots_; }

    bool Write(uint32_t offset, const void* data, size_t bytes);
    // Once the block is set aside, reads what it held at that moment: the answers to the requests
    // before the unanswered one.
    bool Read(uint32_t offset, void* data, size_t bytes);
    // Reads up to `bytes` at an address in the shell's process (not past the end of readable
    // memory); the bytes read, 0 when nothing could be (the block is a shared mapping, or the
    // address lies beyond what this build's pointers hold).
    size_t ReadShell(uint64_t address, uint8_t* data, size_t bytes);

    // Sends the list view a request whose lParam is the address of the block's byte at `offset`.
    // A request not answered in time sets the block aside until that request has completed: the
    // block is no longer Ok() and every later request fails.
    Answer Send(UINT msg, WPARAM wParam, LRESULT* result = nullptr, uint32_t offset = 0);

private:
    void SetAside(std::unique_ptr<RequestCompletion> completion);

    ShellSession& session_;
    HWND listView_ = nullptr;
    HANDLE process_ = nullptr;
    HANDLE mapping_ = nullptr;
    void* view_ = nullptr;
    bool shareMemory_ = false;
    uint64_t address_ = 0;
    uint32_t slots_ = 1;
    const ItemRecordLayout* layout_ = &kItemRecord32;
    std::vector<uint8_t> asideBytes_;
};

// -1 when the list view does not answer; at most kMaxDesktopItems.
int32_t GetItemCount(ShellSession& session, HWND listView);
// A list view's answer to LVM_GETITEMCOUNT as GetItemCount reads it.
int32_t ItemCountOf(LRESULT answer);
Answer GetItemText(ExchangeBlock& block, int32_t index, std::wstring& text);
Answer GetItemPosition(ExchangeBlock& block, int32_t index, POINT& point);
// What a read of one item found. Name and position are NoAnswer until asked and answered.
struct ItemAnswer {
    Answer name = Answer::NoAnswer;
    std::wstring text;
    Answer position = Answer::NoAnswer;
    POINT point = {};
};
// Item `index`'s name, then its position: two requests one after the other.
ItemAnswer ReadItem(ExchangeBlock& block, int32_t index);
// Items first, first + 1, ... (at most `count`, at most the block's slots): each item's two
// requests go into its own slot, and one write before and one read after serve them all. Ends
// with the first item whose request was not answered in time (the block is set aside then).
std::vector<ItemAnswer> ReadItemBatch(ExchangeBlock& block, int32_t first, int32_t count);
// The item's icon rectangle (LVIR_ICON) in the list view's client coordinates.
Answer GetItemIconRect(ExchangeBlock& block, int32_t index, RECT& bounds);
bool SetItemPosition(ShellSession& session, HWND listView, int32_t index, int16_t x, int16_t y);
// Sends the move without waiting for its answer: the list view carries out such moves in the order
// sent, before any request sent after them.
bool QueueItemPosition(HWND listView, int32_t index, int16_t x, int16_t y);

}  // namespace iv
