#include "FolderRoute.h"

#include <objbase.h>
#include <shobjidl.h>
#include <exdisp.h>

#include <algorithm>
#include <cstring>

#include "StandIn.h"
#include "tests/stand-in/proxy/ProxyClsid.h"

namespace standin {
namespace detail {
namespace {

constexpr wchar_t kLockName[] = L"Local\\IconvaleStandInFolderView";
constexpr CLSID kRouteClsidHead = {0x44A30134, 0x8255, 0x47E7, {}};
constexpr wchar_t kClasses[] = L"Software\\Classes\\";

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

// An entry the route replaces: the name its old value is recorded under, its key (under Classes),
// whose default value it is, and the class it names while the route is there.
struct Entry {
    const wchar_t* record;
    std::wstring key;
    const CLSID* target;
};

// TreatAs last: it is written last and put back first, so that the route is whole while it is there.
std::vector<Entry> Entries(const CLSID& route = kRouteClsidHead) {
    const auto proxyStub = [](REFIID iid) { return L"Interface\\" + GuidText(iid) + L"\\ProxyStubClsid32"; };
    return {{L"IFolderView", proxyStub(IID_IFolderView), &kFolderViewProxyClsid},
            {L"IEnumIDList", proxyStub(IID_IEnumIDList), &kFolderViewProxyClsid},
            {L"TreatAs", L"CLSID\\" + GuidText(CLSID_ShellWindows) + L"\\TreatAs", &route}};
}

const std::wstring& ProxyKey() {
    static const std::wstring key = L"CLSID\\" + GuidText(kFolderViewProxyClsid);
    return key;
}

const std::wstring& RecordKey() {
    static const std::wstring key = ProxyKey() + L"\\Replaced";
    return key;
}

iv::ScopedRegKey Open(REGSAM view, const std::wstring& path, REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kClasses + path).c_str(), 0, access | view, &key) != ERROR_SUCCESS)
        return {};
    return iv::ScopedRegKey(key);
}

iv::ScopedRegKey Create(REGSAM view, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kClasses + path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return {};
    return iv::ScopedRegKey(key);
}

// A value of `key` as text (REG_SZ) or only its type; false when there is none.
bool Read(HKEY key, const wchar_t* name, std::wstring& text, DWORD& type) {
    DWORD bytes = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return false;
    text.assign(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &bytes) != ERROR_SUCCESS)
        return false;
    text.resize(wcsnlen(text.c_str(), text.size()));
    return true;
}

bool WriteText(HKEY key, const wchar_t* name, const std::wstring& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool IsRouteClass(const std::wstring& text) {
    CLSID clsid = {};
    return SUCCEEDED(IIDFromString(text.c_str(), &clsid)) && IsRouteClsid(clsid);
}

// One entry as the record has it: REG_SZ the value it had, REG_NONE no value (its key goes);
// nothing recorded, nothing replaced.
void PutBack(REGSAM view, const Entry& entry, HKEY record) {
    std::wstring old;
    DWORD type = REG_NONE;
    if (!Read(record, entry.record, old, type)) return;
    if (type == REG_SZ) {
        if (const iv::ScopedRegKey key = Create(view, entry.key)) WriteText(key.Get(), nullptr, old);
    } else {
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (kClasses + entry.key).c_str(), view, 0);
    }
}

// Puts one view back; true when anything of the route was there.
bool PutBackView(REGSAM view) {
    bool found = false;
    if (const iv::ScopedRegKey record = Open(view, RecordKey(), KEY_QUERY_VALUE)) {
        const std::vector<Entry> entries = Entries();
        for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) PutBack(view, *entry, record.Get());
        found = true;
    } else {
        // A TreatAs naming the route with nothing recorded is left over all the same.
        const Entry treatAs = Entries().back();
        std::wstring value;
        DWORD type = REG_NONE;
        const iv::ScopedRegKey key = Open(view, treatAs.key, KEY_QUERY_VALUE);
        if (key && Read(key.Get(), nullptr, value, type) && IsRouteClass(value)) {
            RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (kClasses + treatAs.key).c_str(), view, 0);
            found = true;
        }
    }
    if (const iv::ScopedRegKey classes = Open(view, L"CLSID", KEY_ALL_ACCESS)) {
        const std::wstring proxy = GuidText(kFolderViewProxyClsid);
        if (RegDeleteTreeW(classes.Get(), proxy.c_str()) == ERROR_SUCCESS) found = true;
    }
    return found;
}

bool Runs32Bit() {
    wchar_t value[8] = {};
    return GetEnvironmentVariableW(L"ICONVALE_RUNS_32BIT", value, 8) == 0 || lstrcmpW(value, L"0") != 0;
}

// The registry views of this machine: the 64-bit one where there is one, the 32-bit one where
// 32-bit programs run.
std::vector<REGSAM> Views() {
    BOOL wow64 = FALSE;
    std::vector<REGSAM> views;
    if (sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64)) views.push_back(KEY_WOW64_64KEY);
    if (Runs32Bit()) views.push_back(KEY_WOW64_32KEY);
    return views;
}

// The machine a DLL is built for (IMAGE_FILE_MACHINE_*), or 0 when the file is none.
WORD DllMachine(const std::wstring& path) {
    const HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return 0;
    const iv::ScopedHandle file(opened);
    const auto read = [&](LONG at, void* into, DWORD size) {
        DWORD got = 0;
        return SetFilePointer(file.Get(), at, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
               ReadFile(file.Get(), into, size, &got, nullptr) && got == size;
    };
    IMAGE_DOS_HEADER dos = {};
    DWORD signature = 0;
    IMAGE_FILE_HEADER header = {};
    if (!read(0, &dos, sizeof dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew <= 0 ||
        !read(dos.e_lfanew, &signature, sizeof signature) || signature != IMAGE_NT_SIGNATURE ||
        !read(dos.e_lfanew + static_cast<LONG>(sizeof signature), &header, sizeof header))
        return 0;
    return header.Machine;
}

bool RegisterView(REGSAM view, const std::wstring& dll, REFCLSID route) {
    const iv::ScopedRegKey record = Create(view, RecordKey());
    if (!record) return false;
    for (const Entry& entry : Entries()) {
        std::wstring old;
        DWORD type = REG_NONE;
        const iv::ScopedRegKey key = Open(view, entry.key, KEY_QUERY_VALUE);
        const bool had = key && Read(key.Get(), nullptr, old, type) && type == REG_SZ;
        const LSTATUS written = had ? (WriteText(record.Get(), entry.record, old) ? ERROR_SUCCESS : ERROR_WRITE_FAULT)
                                    : RegSetValueExW(record.Get(), entry.record, 0, REG_NONE, nullptr, 0);
        if (written != ERROR_SUCCESS) return false;
    }
    const iv::ScopedRegKey proxy = Create(view, ProxyKey());
    const iv::ScopedRegKey server = Create(view, ProxyKey() + L"\\InprocServer32");
    if (!proxy || !WriteText(proxy.Get(), nullptr, L"Iconvale stand-in: folder view proxy") || !server ||
        !WriteText(server.Get(), nullptr, dll) || !WriteText(server.Get(), L"ThreadingModel", L"Both"))
        return false;
    for (const Entry& entry : Entries(route)) {
        const iv::ScopedRegKey key = Create(view, entry.key);
        if (!key || !WriteText(key.Get(), nullptr, GuidText(*entry.target))) return false;
    }
    return true;
}

}  // namespace

CLSID NewRouteClsid() {
    GUID unique = {};
    CoCreateGuid(&unique);
    CLSID route = kRouteClsidHead;
    memcpy(route.Data4, unique.Data4, sizeof route.Data4);
    return route;
}

bool IsRouteClsid(REFCLSID clsid) {
    return clsid.Data1 == kRouteClsidHead.Data1 && clsid.Data2 == kRouteClsidHead.Data2 &&
           clsid.Data3 == kRouteClsidHead.Data3;
}

bool RouteLock::Take() {
    mutex_.Reset(CreateMutexW(nullptr, FALSE, kLockName));
    if (!mutex_) return false;
    const DWORD waited = WaitForSingleObject(mutex_.Get(), 0);
    held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    return held_;
}

RouteLock::~RouteLock() {
    if (held_) ReleaseMutex(mutex_.Get());
}

bool RouteRegistry::PutBackLeftovers() {
    bool found = false;
    for (const REGSAM view : Views()) found = PutBackView(view) || found;
    return found;
}

bool RouteRegistry::Register(const std::vector<std::wstring>& dlls, REFCLSID route, std::wstring& why) {
    const std::vector<REGSAM> reachable = Views();
    for (const std::wstring& dll : dlls) {
        const WORD machine = DllMachine(dll);
        const REGSAM view = machine == IMAGE_FILE_MACHINE_AMD64  ? KEY_WOW64_64KEY
                            : machine == IMAGE_FILE_MACHINE_I386 ? KEY_WOW64_32KEY
                                                                 : 0;
        if (view == 0) {
            why = L"no proxy DLL at " + dll;
            Unregister();
            return false;
        }
        if (std::find(reachable.begin(), reachable.end(), view) == reachable.end() ||
            std::find(views_.begin(), views_.end(), view) != views_.end())
            continue;
        views_.push_back(view);
        if (!RegisterView(view, dll, route)) {
            why = L"the registry refused the entries for " + dll;
            Unregister();
            return false;
        }
    }
    return true;
}

void RouteRegistry::Unregister() {
    for (const REGSAM view : views_) PutBackView(view);
    views_.clear();
}

}  // namespace detail

bool PutBackLeftoverRoute() {
    detail::RouteLock lock;
    return lock.Take() && detail::RouteRegistry::PutBackLeftovers();
}

}  // namespace standin
