// What the stand-in and its proxy/stub DLL agree on. Test fixture only; never shipped.
#pragma once
#include <windows.h>

namespace standin {

// The class of standin_proxy.dll's IPSFactoryBuffer, named by the ProxyStubClsid32 of IFolderView
// and IEnumIDList while a stand-in serves its folder view.
inline constexpr CLSID kFolderViewProxyClsid = {
    0xE6389D71, 0xC8FC, 0x41A4, {0x9B, 0x92, 0x75, 0x51, 0xC5, 0xF3, 0x89, 0x35}};

inline constexpr wchar_t kProxyDllName[] = L"standin_proxy.dll";

}  // namespace standin
