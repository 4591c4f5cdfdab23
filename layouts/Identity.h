// Who a desktop icon is. Its display text is not enough: with file-name extensions hidden (the
// Windows default) "Report.txt" and "Report.bat" both show "Report", and a file of the user's
// Desktop folder and one of the Public Desktop may share a name.
#pragma once
#include <windows.h>

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace iv {

// Names folded to upper case, as the registry compares value names (and the file system file
// names).
std::wstring FoldCase(std::wstring name);

// An icon's identity, from the desktop folder's parsing name of its item and the two Desktop
// folders' paths: "Desktop\<file name>" for an entry of the user's Desktop folder, "Public\<file
// name>" for one of the common (Public) Desktop, the "::{GUID}" of a virtual item (Recycle Bin,
// This PC). Relative to the desktop, so that it means the same on another PC and never holds a
// user's own path: empty for a parsing name of any other kind, and the icon is then known by its
// display text alone.
std::wstring IconIdentity(std::wstring_view parsingName, std::wstring_view userDesktop,
                          std::wstring_view commonDesktop);

// What tells icons apart in a set of icons seen: the identity when it is known, else the display
// text; folded.
std::wstring IconKey(const std::wstring& text, const std::wstring& identity);
using IconKeySet = std::set<std::wstring>;
// The keys the icon of a Desktop folder's entry may be known by, from the entry's path: its
// identity, and its text (the file name, or, with file name extensions hidden, the name without
// its last one).
std::vector<std::wstring> KeysOfEntry(const std::wstring& path, std::wstring_view userDesktop,
                                      std::wstring_view commonDesktop);
// Sets of icons seen are gathered by either way to the icons, one that knows identities and one
// that does not, and looked at by the other: an icon goes in by its text as well as its identity,
// and is looked for by its identity only in a set that holds identities.
void AddIconKeys(IconKeySet& keys, const std::wstring& text, const std::wstring& identity);
bool HasIconKeys(const IconKeySet& keys, const std::wstring& text, const std::wstring& identity);
// Whether `seen` holds an icon that `known` does not: by its text, and by its identity where `known`
// holds identities.
bool HoldsNewIcon(const IconKeySet& seen, const IconKeySet& known);

}  // namespace iv
