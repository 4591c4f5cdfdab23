// The desktop's folder view as another process reaches it on today's Windows: CoCreateInstance of
// CLSID_ShellWindows (led to the stand-in by a TreatAs, see FolderRoute.h), FindWindowSW with
// SWC_DESKTOP, the desktop browser (IServiceProvider, SID_STopLevelBrowser), its active shell view
// and that view's IFolderView. Test fixture only; never shipped.
//
// The view wraps the platform's own shell view (Wine's answers the positions and IOleWindow with
// E_NOTIMPL) and answers IFolderView over its list view, whose items hold their ID lists. Every
// object is served on the desktop's thread (a single-threaded apartment). A restart cuts every
// object of the old desktop off from its callers (CoDisconnectObject), as a shell that ended does.
#pragma once
#include <windows.h>
#include <shtypes.h>

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "StandIn.h"

namespace standin::detail {

// The bytes of an item ID list, up to and including its terminator.
std::string IdListBytes(PCUIDLIST_RELATIVE list);

// The list view's items by the bytes of their item ID lists, built again after items came, went or
// were sorted or changed (Invalidate).
class ItemIndex {
public:
    void Invalidate() { built_ = false; }
    // The index of the item whose list has these bytes, or -1. The list view must not log the
    // requests (Desktop::Impl::Quiet).
    int Find(HWND list, const std::string& bytes);
    // The item's text, asked of the list view once per build: a shell view answers it by callback,
    // from the item's display name, at a cost many times that of any other request.
    const std::wstring& Text(HWND list, int index);
    // Every item's list, in the view's order: what a shell keeps of its items, not asked of its
    // list view item by item.
    const std::vector<std::string>& Lists(HWND list);

private:
    void Build(HWND list);
    std::vector<std::string> lists_;
    std::unordered_map<std::string, int> indexes_;
    std::vector<std::optional<std::wstring>> texts_;
    bool built_ = false;
};

// A message of the desktop's own to its list view, on the list view's thread: straight to the
// list view's procedure, past the subclasses. Under Wine each message through a subclass costs a
// round trip to the server (the subclass's lookup, ~0.1 ms), which a shell's own calls never pay.
LRESULT ListViewCall(HWND list, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

// The list of a shell view's item, which its lParam holds; null when there is no such item.
PCUITEMID_CHILD ItemIdList(HWND list, int index);

class FolderViewServer {
public:
    // Registers the route (the class object, then the registry entries) for the desktop, whose
    // shell view must be up. Null, with the reason logged, when it cannot.
    static std::unique_ptr<FolderViewServer> Create(Desktop::Impl& desktop);
    virtual ~FolderViewServer() = default;

    // The desktop is going down for a new one: every object of it is cut off from its callers.
    virtual void DesktopGoes() = 0;
    // The new desktop is up: the old objects are disconnected now, or once the call in flight
    // (which may have restarted the desktop) has been answered.
    virtual void DesktopCame() = 0;
    // What DesktopCame left for after the call in flight.
    virtual void DisconnectRetired() = 0;
    // Stops serving: the class object is revoked, every object cut off and the registry put back.
    virtual void Close() = 0;
};

}  // namespace standin::detail
