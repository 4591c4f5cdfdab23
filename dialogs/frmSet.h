// The settings dialog: two trees of on/off options drawn from a draft of the settings, which the
// nodes change and Apply and OK hand to the host.
#pragma once
#include <windows.h>

#include <cstdint>

#include "base/ScopedWin.h"
#include "base/Window.h"
#include "dialogs/KeyedTree.h"
#include "dialogs/SettingsHost.h"
#include "dialogs/frmAbout.h"
#include "settings/Settings.h"

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

    // Opens the dialog with a draft of the settings in force and both trees drawn from it, or
    // brings an open one forward with its draft as it is.
    void Show();
    // Closes the dialog; edits that were not applied are dropped with the draft.
    void Unload();

    bool IsLoaded() const { return Hwnd() != nullptr; }
    KeyedTree& tvwStyle() { return tvwStyle_; }
    KeyedTree& tvwEtc() { return tvwEtc_; }
    HTREEITEM EtcPressedNode() const { return etcPressed_; }
    const SharedSettings& Draft() const { return draft_; }

    // Validates the draft and hands it to the host, which applies it; false when refused.
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
    void NodeClick(KeyedTree& tree, HTREEITEM node);
    void Tree_LeftDown(KeyedTree& tree, WPARAM keys, POINT point);
    void Tree_LeftUp(KeyedTree& tree, POINT point);

    void PlaceCentred();
    void CreateControls();
    void Form_Load();
    void BuildStyleTree(bool iconView);
    void BuildEtcTree();
    void PrepareTree(KeyedTree& tree);
    void AddShortcutNode(int folder, const wchar_t* deleteKey, const wchar_t* deleteText, const wchar_t* createKey,
                         const wchar_t* createText);
    // Every option node's picture as the draft has it.
    void ShowDraft(KeyedTree& tree);
    // The hover options hang under the activation option that is on, and exist only then.
    void SyncHoverNodes(const std::wstring& key);
    void RunShortcutCommand(HTREEITEM node, const std::wstring& key);
    // Deletes a shortcut for a "Delete" node; false when a file is left that could not be deleted.
    bool DeleteShortcutOf(int folder);
    HTREEITEM& PressedSlot(KeyedTree& tree) { return &tree == &tvwStyle_ ? stylePressed_ : etcPressed_; }

    SettingsHost& host_;
    // The settings as the trees show them, from the opening until the dialog closes.
    SharedSettings draft_;
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
