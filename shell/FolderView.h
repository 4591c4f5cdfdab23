// The desktop's folder view, reached by the documented route (the shell windows' desktop, its
// top-level browser, the active shell view), and spoken to from a worker thread of its own: a COM
// call into a shell that hangs blocks its caller, so the user-interface thread only waits for the
// worker as it waits for any request to the shell (handling sent messages, a second at most without
// an answer) and never calls into the shell itself.
#pragma once
#include <windows.h>

#include <shobjidl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace iv {

class ShellSession;

// An item ID list of the desktop folder's, byte for byte up to and including its terminator.
using ItemIdList = std::vector<uint8_t>;

// The bytes of the item ID list at `list`, its terminator included, when it ends within `limit`
// bytes; 0 otherwise.
size_t ItemIdListBytes(const uint8_t* list, size_t limit);

struct FolderItem {
    ItemIdList id;
    std::wstring text;         // its name in the folder, as the desktop shows it; empty when unknown
    std::wstring parsingName;  // its parsing name: a path, or "::{GUID}" for a virtual item
    POINT at = {};
    bool placed = false;  // the view told where it stands
};

struct FolderRead {
    std::vector<FolderItem> items;
    int countBefore = -1;  // the view's item count before the items were listed
    int countAfter = -1;   // and after the last was read
    POINT spacing = {};
    bool autoArrange = false;
};

// Done; Failed: the view answered with a failure, or the route led to no view of that desktop;
// NoAnswer: not in time (what was asked may still be carried out).
enum class FolderAnswer { Done, Failed, NoAnswer };

// Walks the route to the folder view whose window is `defView`, on a thread of the calling one's
// apartment; `answered` is told after each call into the shell. The view in `view`, or Failed.
FolderAnswer WalkRoute(HWND defView, IFolderView** view, const std::function<void()>& answered);

class FolderView {
public:
    FolderView() = default;
    // A worker stuck in a call into a hung shell is left to end by itself.
    ~FolderView();
    FolderView(const FolderView&) = delete;
    FolderView& operator=(const FolderView&) = delete;

    // Whether the route leads to the folder view whose window is `defView`, the desktop's view
    // found by its windows (a view found earlier is used while its window is that one).
    FolderAnswer Open(ShellSession& session, HWND defView);
    // Every item: its ID list, names (read in this process from the ID list) and position.
    FolderAnswer Read(ShellSession& session, HWND defView, FolderRead& read);
    // Moves the items to the places, all in one call, so that the shell records them at once.
    FolderAnswer Move(ShellSession& session, HWND defView, const std::vector<ItemIdList>& items,
                      const std::vector<POINT>& places);
    // The worker has not finished what it was last asked: nothing more is asked of it until it has.
    bool Busy() const;

    struct Shared;

private:
    template <typename Work>
    FolderAnswer Run(ShellSession& session, Work work);

    Shared* shared_ = nullptr;
    // A desktop view the route did not lead to is not asked about again for a while.
    HWND refused_ = nullptr;
    ULONGLONG refusedAt_ = 0;
};

}  // namespace iv
