// A tree-view control whose nodes carry keys, as the settings dialog finds them.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>
#include <vector>

namespace iv {

class KeyedTree {
public:
    // Takes a tree control (or none); what was known of the previous one is forgotten.
    void Attach(HWND tree) {
        tree_ = tree;
        byKey_.clear();
        keyOf_.clear();
    }
    HWND Hwnd() const { return tree_; }

    // Removes every node.
    void Clear();
    // Adds a node as the last child of parentKey (a root for empty text); null when the key is
    // already taken or the parent does not exist. image is numbered from 1.
    HTREEITEM Add(const std::wstring& parentKey, const std::wstring& key, const std::wstring& text, int image);
    // Removes a node and everything under it; false when there is no such node.
    bool Remove(const std::wstring& key);
    // Moves a node without children to the end of another node's children, keeping its key, text
    // and picture (a tree-view node cannot change parent: it is removed and added again).
    HTREEITEM Move(const std::wstring& key, const std::wstring& newParentKey);

    HTREEITEM Find(const std::wstring& key) const;
    std::wstring Key(HTREEITEM node) const;
    std::wstring Text(HTREEITEM node) const;
    // Changes a node's key and caption together.
    void Rename(HTREEITEM node, const std::wstring& key, const std::wstring& text);

    int Image(HTREEITEM node) const;
    void SetImage(HTREEITEM node, int image);
    // The picture of the node with that key, 0 when there is none.
    int ImageOf(const std::wstring& key) const;

    HTREEITEM Parent(HTREEITEM node) const;
    HTREEITEM Root(HTREEITEM node) const;
    std::vector<HTREEITEM> Children(HTREEITEM node) const;
    bool HasChildren(HTREEITEM node) const;
    void Expand(HTREEITEM node);
    bool Expanded(HTREEITEM node) const;

    // The node on whose row a point (client pixels) lies, or null.
    HTREEITEM HitTest(POINT point) const;
    // The rectangle of a node's caption in client pixels (for tests and pointer targets).
    RECT TextRect(HTREEITEM node) const;

private:
    void Forget(HTREEITEM node);

    HWND tree_ = nullptr;
    std::map<std::wstring, HTREEITEM> byKey_;
    std::map<HTREEITEM, std::wstring> keyOf_;
};

}  // namespace iv
