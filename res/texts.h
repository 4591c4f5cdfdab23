// Every text the program shows, in one place. The Japanese texts use half-width katakana where
// the program always has; copy them, never retype them.
#pragma once
#include "res/version.h"

namespace iv::text {

inline constexpr wchar_t kProductName[] = L"" ICONVALE_PRODUCT_NAME;

// Start-up refusals. The Win32s title and the tray tip keep the program's earlier name, which
// users know it by; its settings live under that name too.
inline constexpr wchar_t kEarlierName[] = L"Kivo";
inline constexpr wchar_t kWin32sRefusal[] = L"Windows3.1上では動作しません。";
inline constexpr wchar_t kActiveDesktopRefusal[] = L"Active Desktop を無効にしてください！";

// The view modes: the toolbar's tool tips and the tray menu's items, indexed by view mode.
inline constexpr const wchar_t* kViewModeNames[4] = {L"大きいアイコン", L"小さいアイコン", L"一覧", L"詳細"};
inline constexpr const wchar_t* kMenuViewModes[4] = {L"大きいｱｲｺﾝ(&G)", L"小さいｱｲｺﾝ(&M)", L"一覧(&L)", L"詳細(&D)"};

// The toolbar's other tool tips.
inline constexpr wchar_t kSettingsTip[] = L"その他設定";
inline constexpr wchar_t kRedrawTip[] = L"再描画";
inline constexpr wchar_t kExitTip[] = L"終了";

// The tray menu.
inline constexpr wchar_t kMenuSettings[] = L"設定(&S)";
inline constexpr wchar_t kMenuRedraw[] = L"ﾃﾞｽｸﾄｯﾌﾟの再描画(&R)";
inline constexpr wchar_t kMenuExit[] = L"終了(&X)";
// The tray menu's layouts: a submenu of the named ones (a click restores one) and a save under a
// new name, in a small box of its own.
inline constexpr wchar_t kMenuLayouts[] = L"ﾚｲｱｳﾄ(&Y)";
inline constexpr wchar_t kMenuNoLayouts[] = L"(なし)";
inline constexpr wchar_t kMenuSaveLayoutAs[] = L"名前を付けて保存(&N)...";
inline constexpr wchar_t kLayoutNameCaption[] = L"名前を付けて保存";
inline constexpr wchar_t kLayoutNameLabel[] = L"ﾚｲｱｳﾄの名前(&N):";
inline constexpr wchar_t kLayoutNameRefused[] =
    L"この名前は使えません。\n空白だけの名前、\\ や \" を含む名前、previous、# と数字だけの名前は使えません。";
inline constexpr wchar_t kLayoutReplaceQuestion[] = L"同じ名前のﾚｲｱｳﾄがあります。置き換えますか？";
inline constexpr wchar_t kLayoutNotSaved[] = L"ﾚｲｱｳﾄを保存できませんでした。";

// The settings dialog.
inline constexpr wchar_t kSettingsCaption[] = L"設定";
inline constexpr wchar_t kOk[] = L"OK";
inline constexpr wchar_t kCancel[] = L"ｷｬﾝｾﾙ";
inline constexpr wchar_t kApply[] = L"適用(&A)";
inline constexpr wchar_t kVersionInfo[] = L"ﾊﾞｰｼﾞｮﾝ情報";
inline constexpr wchar_t kStyleTreeLabel[] = L"拡張ｽﾀｲﾙ設定";
inline constexpr wchar_t kEtcTreeLabel[] = L"" ICONVALE_PRODUCT_NAME L" の設定";
inline constexpr wchar_t kValidationTitle[] = L"設定ｴﾗｰ";
inline constexpr wchar_t kValidationMessage[] = L"切替えるｽﾀｲﾙの選択を行って下さい！";

// The style tree's nodes.
inline constexpr wchar_t kNodeDetail[] = L"詳細表示設定";
// The options of the style tree, in StyleFlags order (Tool Tips .. Text Color).
inline constexpr const wchar_t* kStyleNodes[11] = {
    L"ﾂｰﾙﾁｯﾌﾟ表示",        L"1行全て選択",
    L"ｸﾞﾘｯﾄﾞﾗｲﾝ表示",      L"ﾍｯﾀﾞｰ移動可能",
    L"全項目にｱｲｺﾝ表示",   L"1ｸﾘｯｸ選択",
    L"2ｸﾘｯｸ選択",          L"ﾏｳｽｶｰｿﾙ上のｱｲｺﾝを自動選択",
    L"常にｱﾝﾀﾞｰﾗｲﾝを表示", L"選択時にｱﾝﾀﾞｰﾗｲﾝを表示",
    L"ﾃｷｽﾄの背景を透明",
};
inline constexpr wchar_t kNodeCommon[] = L"共通設定";
inline constexpr wchar_t kNodePositions[] = L"ｱｲｺﾝ位置設定";
inline constexpr wchar_t kNodeRestoreAtStart[] = L"起動時にｱｲｺﾝ位置を復元";
inline constexpr wchar_t kNodeSaveAtExit[] = L"終了時にｱｲｺﾝ位置を保存";
inline constexpr wchar_t kNodeScreenFollow[] = L"画面ｻｲｽﾞの変更に追従";
inline constexpr wchar_t kNodeRestoreNow[] = L"今すぐｱｲｺﾝ位置を復元";
inline constexpr wchar_t kNodeSaveNow[] = L"現在のｱｲｺﾝ位置を保存";
inline constexpr wchar_t kNodeUndo[] = L"ｱｲｺﾝ位置を元に戻す";

// The other tree's nodes.
inline constexpr wchar_t kNodeToolbarPlace[] = L"ﾂｰﾙﾊﾞｰの表示位置";
inline constexpr const wchar_t* kNodeCorners[4] = {L"左上", L"左下", L"右上", L"右下"};
inline constexpr wchar_t kNodeTopMost[] = L"常に最前面";
inline constexpr wchar_t kNodeTaskTray[] = L"ﾀｽｸﾄﾚｲへ格納";
inline constexpr wchar_t kNodeCycleModes[] = L"切替えるｽﾀｲﾙの選択";
inline constexpr const wchar_t* kNodeModes[4] = {L"大きいｱｲｺﾝ", L"小さいｱｲｺﾝ", L"一覧", L"詳細"};
inline constexpr wchar_t kNodeShortcuts[] = L"ｼｮｰﾄｶｯﾄ";
inline constexpr wchar_t kNodeDesktopDelete[] = L"ﾃﾞｽｸﾄｯﾌﾟから削除";
inline constexpr wchar_t kNodeDesktopCreate[] = L"ﾃﾞｽｸﾄｯﾌﾟに作成";
inline constexpr wchar_t kNodeStartupDelete[] = L"ｽﾀｰﾄｱｯﾌﾟから削除";
inline constexpr wchar_t kNodeStartupCreate[] = L"ｽﾀｰﾄｱｯﾌﾟに作成";

// Shortcuts.
inline constexpr wchar_t kShortcutFile[] = L"" ICONVALE_PRODUCT_NAME L".lnk";
inline constexpr wchar_t kShortcutDescription[] = L"デスクトップのアイコン表示方法等を変更します。";
inline constexpr wchar_t kCreateFailedTitle[] = L"ｼｮｰﾄｶｯﾄ作成";
inline constexpr wchar_t kStartupCreateFailed[] = L"ｽﾀｰﾄｱｯﾌﾟへの登録に失敗しました！！";
inline constexpr wchar_t kDesktopCreateFailed[] = L"ﾃﾞｽｸﾄｯﾌﾟへの作成に失敗しました！！";
inline constexpr wchar_t kDeleteFailedTitle[] = L"ｼｮｰﾄｶｯﾄ削除";
inline constexpr wchar_t kDesktopDeleteFailed[] = L"ﾃﾞｽｸﾄｯﾌﾟのｼｮｰﾄｶｯﾄを削除できませんでした！！";
inline constexpr wchar_t kStartupDeleteFailed[] = L"ｽﾀｰﾄｱｯﾌﾟのｼｮｰﾄｶｯﾄを削除できませんでした！！";

// The command line.
inline constexpr wchar_t kUsage[] =
    L"使い方: iconvale.exe [コマンド]\n"
    L"  /save\tアイコンの位置を保存する\n"
    L"  /restore\tアイコンの位置を復元する\n"
    L"  /restore:previous\t最後の保存の前の配置に戻す\n"
    L"  /undo\t直前の復元を元に戻す（もう一度でやり直す）\n"
    L"  /view:large|small|list|details\t表示方法を切り替える（1～4 でも可）\n"
    L"  /save:名前\tアイコンの配置を名前を付けて保存する\n"
    L"  /restore:名前\t名前の配置（#番号: 履歴）に戻す\n"
    L"  /delete:名前\t名前の配置を削除する\n"
    L"  /layouts\t名前の配置と履歴を一覧表示する\n"
    L"  /export[:名前] ファイル\t配置をファイルに書き出す（名前なし: この画面の配置）\n"
    L"  /import[:名前] ファイル\tファイルの配置を名前を付けて取り込む\n"
    L"  /restore... /dry-run\t何も動かさず、復元で動くアイコンなどの数を表示する\n"
    L"  /exit\t起動中の " ICONVALE_PRODUCT_NAME L" を終了させる\n"
    L"  /uninstall [/quiet]\tショートカットと設定を削除する（/quiet: 確認なし）\n"
    L"  /?\tこの説明を表示する\n"
    L"終了コード: 0 = 完了、1 = 実行できなかった、2 = コマンドラインの誤り\n"
    L"\n"
    L"Usage: iconvale.exe [command]\n"
    L"  /save\tsave the icon positions\n"
    L"  /restore\tput the icon positions back\n"
    L"  /restore:previous\tput the icons where they were before the last save\n"
    L"  /undo\tput back the icons the last restore moved (again: redo)\n"
    L"  /view:large|small|list|details\tswitch the view (or 1 to 4)\n"
    L"  /save:NAME\tkeep the icons' arrangement under a name\n"
    L"  /restore:NAME\tput the icons where a named layout (#number: the history) has them\n"
    L"  /delete:NAME\tremove a named layout\n"
    L"  /layouts\tlist the named layouts and the history\n"
    L"  /export[:NAME] FILE\twrite a layout to a file (no name: this screen's layout)\n"
    L"  /import[:NAME] FILE\tkeep the layout of a file under a name\n"
    L"  /restore... /dry-run\tmove nothing; tell how many icons a restore would move and more\n"
    L"  /exit\tend the running " ICONVALE_PRODUCT_NAME L"\n"
    L"  /uninstall [/quiet]\tremove the shortcuts and the settings (/quiet: without asking)\n"
    L"  /?\tshow this text\n"
    L"Exit codes: 0 done, 1 not possible, 2 bad command line";
inline constexpr wchar_t kUninstallQuestion[] =
    L"" ICONVALE_PRODUCT_NAME L" のショートカット（デスクトップとスタートアップ）と設定"
    L"（HKEY_CURRENT_USER\\Software\\Marun soft\\Kivo）を削除します。"
    L"起動中の " ICONVALE_PRODUCT_NAME L" は終了します。よろしいですか？";

// The About box.
inline constexpr wchar_t kLinkFace[] = L"ＭＳ Ｐゴシック";

}  // namespace iv::text
