#include "dialogs/KeyedTree.h"

#include <iterator>

namespace iv {

void KeyedTree::Clear() {
    if (tree_) TreeView_DeleteAllItems(tree_);
    byKey_.clear();
    keyOf_.clear();
}

HTREEITEM KeyedTree::Add(const std::wstring& parentKey, const std::wstring& key, const std::wstring& text, int image) {
    if (!tree_ || byKey_.count(key)) return nullptr;
    HTREEITEM parent = TVI_ROOT;
    if (!parentKey.empty()) {
        parent = Find(parentKey);
        if (!parent) return nullptr;
    }
    TVINSERTSTRUCTW insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<wchar_t*>(text.c_str());
    // A node shows the same picture whether or not it is selected.
    insert.item.iImage = insert.item.iSelectedImage = image - 1;
    const HTREEITEM node = TreeView_InsertItem(tree_, &insert);
    if (!node) return nullptr;
    byKey_[key] = node;
    keyOf_[node] = key;
    return node;
}

void KeyedTree::Forget(HTREEITEM node) {
    for (HTREEITEM child : Children(node)) Forget(child);
    const auto it = keyOf_.find(node);
    if (it == keyOf_.end()) return;
    byKey_.erase(it->second);
    keyOf_.erase(it);
}

bool KeyedTree::Remove(const std::wstring& key) {
    const HTREEITEM node = Find(key);
    if (!node) return false;
    Forget(node);
    TreeView_DeleteItem(tree_, node);
    return true;
}

HTREEITEM KeyedTree::Move(const std::wstring& key, const std::wstring& newParentKey) {
    const HTREEITEM node = Find(key);
    if (!node || HasChildren(node) || !Find(newParentKey)) return nullptr;
    const std::wstring text = Text(node);
    const int image = Image(node);
    Remove(key);
    return Add(newParentKey, key, text, image);
}

HTREEITEM KeyedTree::Find(const std::wstring& key) const {
    const auto it = byKey_.find(key);
    return it == byKey_.end() ? nullptr : it->second;
}

std::wstring KeyedTree::Key(HTREEITEM node) const {
    const auto it = keyOf_.find(node);
    return it == keyOf_.end() ? std::wstring() : it->second;
}

std::wstring KeyedTree::Text(HTREEITEM node) const {
    wchar_t buffer[260] = {};
    TVITEMW item = {};
    item.mask = TVIF_TEXT;
    item.hItem = node;
    item.pszText = buffer;
    item.cchTextMax = static_cast<int>(std::size(buffer));
    if (!node || !TreeView_GetItem(tree_, &item)) return {};
    return buffer;
}

void KeyedTree::Rename(HTREEITEM node, const std::wstring& key, const std::wstring& text) {
    const auto it = keyOf_.find(node);
    if (it == keyOf_.end() || (key != it->second && byKey_.count(key))) return;
    byKey_.erase(it->second);
    byKey_[key] = node;
    it->second = key;
    TVITEMW item = {};
    item.mask = TVIF_TEXT;
    item.hItem = node;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    TreeView_SetItem(tree_, &item);
}

int KeyedTree::Image(HTREEITEM node) const {
    TVITEMW item = {};
    item.mask = TVIF_IMAGE;
    item.hItem = node;
    if (!node || !TreeView_GetItem(tree_, &item)) return 0;
    return item.iImage + 1;
}

void KeyedTree::SetImage(HTREEITEM node, int image) {
    if (!node) return;
    TVITEMW item = {};
    item.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    item.hItem = node;
    item.iImage = item.iSelectedImage = image - 1;
    TreeView_SetItem(tree_, &item);
}

int KeyedTree::ImageOf(const std::wstring& key) const { return Image(Find(key)); }

HTREEITEM KeyedTree::Parent(HTREEITEM node) const { return node ? TreeView_GetParent(tree_, node) : nullptr; }

HTREEITEM KeyedTree::Root(HTREEITEM node) const {
    while (HTREEITEM parent = Parent(node)) node = parent;
    return node;
}

std::vector<HTREEITEM> KeyedTree::Children(HTREEITEM node) const {
    std::vector<HTREEITEM> children;
    if (!node) return children;
    for (HTREEITEM child = TreeView_GetChild(tree_, node); child; child = TreeView_GetNextSibling(tree_, child)) {
        children.push_back(child);
    }
    return children;
}

bool KeyedTree::HasChildren(HTREEITEM node) const { return node && TreeView_GetChild(tree_, node) != nullptr; }

void KeyedTree::Expand(HTREEITEM node) {
    if (node) TreeView_Expand(tree_, node, TVE_EXPAND);
}

bool KeyedTree::Expanded(HTREEITEM node) const {
    return node && (TreeView_GetItemState(tree_, node, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
}

HTREEITEM KeyedTree::HitTest(POINT point) const {
    TVHITTESTINFO hit = {};
    hit.pt = point;
    const HTREEITEM node = TreeView_HitTest(tree_, &hit);
    // The whole row counts, as the rows are selected whole.
    return (hit.flags & (TVHT_ONITEM | TVHT_ONITEMINDENT | TVHT_ONITEMRIGHT)) ? node : nullptr;
}

RECT KeyedTree::TextRect(HTREEITEM node) const {
    RECT rect = {};
    if (node) TreeView_GetItemRect(tree_, node, &rect, TRUE);
    return rect;
}

}  // namespace iv
