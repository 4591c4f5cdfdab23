// The registry entries that lead another process's CoCreateInstance of the platform's ShellWindows
// class to the stand-in and carry the folder view's item ID lists whole. Test fixture only; never
// shipped.
//
// Per registry view (32- and 64-bit): a TreatAs of CLSID_ShellWindows naming the stand-in's class
// (the platform's desktop process registered ShellWindows first and keeps it), the class of the
// proxy DLL, and the ProxyStubClsid32 of IFolderView and IEnumIDList naming it. What they replaced
// is written under the proxy's class key before anything changes, so that the next stand-in puts
// back what one that was killed left.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "base/ScopedWin.h"

namespace standin::detail {

// The class a stand-in registers its IShellWindows under: one of its own per run, all with the
// same first eight bytes. A stand-in that was killed never revoked its class object, and Wine's
// class table goes on handing out the first one registered for a class, dead or alive.
CLSID NewRouteClsid();
bool IsRouteClsid(REFCLSID clsid);

// Held by the stand-in that serves the route; a stand-in that was killed lets go of it.
class RouteLock {
public:
    // False when another process holds it.
    bool Take();
    ~RouteLock();

private:
    iv::ScopedHandle mutex_;
    bool held_ = false;
};

class RouteRegistry {
public:
    RouteRegistry() = default;
    RouteRegistry(const RouteRegistry&) = delete;
    RouteRegistry& operator=(const RouteRegistry&) = delete;
    ~RouteRegistry() { Unregister(); }

    // Puts back what an earlier stand-in left in every registry view this machine runs; true when
    // it found any. For the holder of the RouteLock.
    static bool PutBackLeftovers();
    // Writes the entries into each view that one of `dlls` (a proxy DLL of either bitness) serves,
    // the first DLL of a bitness winning. False with the reason when it cannot; nothing stays then.
    bool Register(const std::vector<std::wstring>& dlls, REFCLSID route, std::wstring& why);
    // Puts back what Register replaced.
    void Unregister();

private:
    std::vector<REGSAM> views_;
};

}  // namespace standin::detail
