// The settings dialog: two trees of on/off options, edited as a working copy of the shared
// settings and copied back by Apply and OK.
#pragma once
#include <windows.h>

#include <cstdint>

#include "base/ScopedWin.h"
#include "base/Window.h"
#include "dialogs/KeyedTree.h"
#include "dialogs/SettingsHost.h"
#include "dialogs/frmAbout.h"

namespace iv {

class frmSet : public DialogWindow {
public:
    // Control ids; OK and Cancel carry the ids that Enter and Esc press.
    static constexpr int kOK = IDOK;
    static constexpr int kCancel = IDCANCEL;
    static constexpr int kApply = 100;
    static constexpr int kAbout = 101;
    static constexpr int kStyleTree = 102;
    static constexpr int kEtcTree = 103;

    // Client area and control rectangles in twips.
    static constexpr int32_t kClientWidthTwips = 7710;
    static constexpr int32_t kClientHeightTwips = 4440;

    explicit frmSet(SettingsHost& host);
    ~frmSet();
    frmSet(const frmSet&) = delete;
    frmSet& operator=(const frmSet&) = delete;

    // Opens the dialog with both trees built from the shared state, or brings an open one
    // forward with its trees as they are.
    void Show();
    // Closes the dialog; edits that were not applied are dropped with the trees.
    void Unload();

    bool IsLoaded() const { return Hwnd() != nullptr; }
    KeyedTree& tvwStyle() { return tvwStyle_; }
    KeyedTree& tvwEtc() { return tvwEtc_; }
    HTREEITEM StylePressedNode() const { return stylePressed_; }
    HTREEITEM EtcPressedNode() const { return etcPressed_; }

    // Validates the trees, copies them into the shared state and applies it; false when refused.
    bool ApplySettings();

    void tvwStyle_NodeClick(HTREEITEM node);
    void tvwEtc_NodeClick(HTREEITEM node);
    void tvwStyle_DblClick();
    // The push-button look of command nodes; button 1 is the left button alone, point in tree
    // client pixels.
    void Tree_MouseDown(KeyedTree& tree, int button, POINT point);
    void Tree_MouseMove(KeyedTree& tree, int button, POINT point);

    void cmdOK_Click();
    void cmdCancel_Click() { Unload(); }
    void cmdApply_Click() { ApplySettings(); }
    void cmdAbout_Click();

private:
    static LRESULT CALLBACK TreeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data);
    INT_PTR HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    LRESULT HandleTreeMessage(KeyedTree& tree, UINT msg, WPARAM wParam, LPARAM lParam);

    void CreateControls();
    void Form_Load();
    void PrepareTree(KeyedTree& tree);
    void AddShortcutNode(int folder, const wchar_t* deleteKey, const wchar_t* deleteText, const wchar_t* createKey,
                         const wchar_t* createText);
    void SyncHoverNodes(const std::wstring& key, int image, int thisIndex, int otherIndex);
    // Deletes a shortcut for a "Delete" node; false when a file is left that could not be deleted.
    bool DeleteShortcutOf(int folder);
    HTREEITEM& PressedSlot(KeyedTree& tree) { return &tree == &tvwStyle_ ? stylePressed_ : etcPressed_; }

    SettingsHost& host_;
    KeyedTree tvwStyle_;
    KeyedTree tvwEtc_;
    HTREEITEM stylePressed_ = nullptr;
    HTREEITEM etcPressed_ = nullptr;
    // The node a left press started on, for the click that its release makes.
    HTREEITEM clickStart_ = nullptr;
    // The About box while it is open over the dialog.
    frmAbout* about_ = nullptr;
    ScopedImageList imgView_;
    ScopedFont font_;
    double tppX_ = 15;
    double tppY_ = 15;
};

}  // namespace iv
