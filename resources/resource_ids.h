// SPDX-License-Identifier: GPL-3.0-or-later
// Every fixed number of the program: dialogs, controls, commands, menus, toolbars, icons and
// strings. Stored files never hold these; they keep menus, keys and texts consistent.
#pragma once

namespace korvane::res {

// Dialogs.
inline constexpr int kAboutDialog = 100;
inline constexpr int kRecordEditorDialog = 102;
inline constexpr int kLoginDialog = 103;
inline constexpr int kChangePasswordDialog = 104;
inline constexpr int kDeleteConfirmDialog = 105;
inline constexpr int kFloatWindow = 106;
inline constexpr int kPasswordGeneratorDialog = 107;
inline constexpr int kImportDialog = 108;
inline constexpr int kCategoryNameDialog = 109;
inline constexpr int kFileCryptDialog = 147;
inline constexpr int kSyncDialog = 178;

// Standard dialog buttons.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

// Controls, by dialog.
inline constexpr int kLoginPasswordEdit = 1008;
inline constexpr int kNewPasswordEdit = 1000;
inline constexpr int kNewPasswordAgainEdit = 1001;
inline constexpr int kEditorTitleEdit = 1000;
inline constexpr int kEditorAccountEdit = 1001;
inline constexpr int kEditorPasswordEdit = 1002;
inline constexpr int kEditorRemarkEdit = 1003;
inline constexpr int kEditorCopyButton = 1009;
inline constexpr int kEditorRevealIcon = 1010;
inline constexpr int kDeleteYesToAllButton = 1016;
inline constexpr int kDeleteNoButton = 1017;
inline constexpr int kDeleteMessageText = 1020;
inline constexpr int kCategoryNameEdit = 1030;
inline constexpr int kImportPathEdit = 1000;
inline constexpr int kImportBrowseButton = 1009;
inline constexpr int kImportOldButton = 1028;
inline constexpr int kImportNewButton = 1029;
inline constexpr int kImportDatabaseButton = 1031;
inline constexpr int kSyncPathEdit = 1000;
inline constexpr int kSyncBrowseButton = 1032;
inline constexpr int kSyncRunButton = 1033;
inline constexpr int kFileCryptPathEdit = 1000;
inline constexpr int kFileCryptPasswordEdit = 1001;
inline constexpr int kFileCryptPasswordAgainEdit = 1002;
inline constexpr int kFileCryptEncryptButton = 1011;
inline constexpr int kFileCryptBrowseButton = 1012;
inline constexpr int kFileCryptDecryptButton = 1013;
inline constexpr int kGeneratorPasswordEdit = 1000;
inline constexpr int kGeneratorLengthEdit = 1002;
inline constexpr int kGeneratorLowerCheck = 1021;
inline constexpr int kGeneratorUpperCheck = 1022;
inline constexpr int kGeneratorDigitCheck = 1023;
inline constexpr int kGeneratorSymbolCheck = 1024;
inline constexpr int kGeneratorLengthSpin = 1027;

// Commands: the program's own.
inline constexpr int kCmdDelete = 32771;
inline constexpr int kCmdNew = 32774;
inline constexpr int kCmdChangePassword = 32779;
inline constexpr int kCmdEncryptFile = 32780;
inline constexpr int kCmdChangePasswordAlt = 32781;
inline constexpr int kCmdCopy = 32782;
inline constexpr int kCmdExportCsv = 32789;
inline constexpr int kCmdHideToTray = 32791;
inline constexpr int kCmdStyleXp = 32795;
inline constexpr int kCmdStyleOffice2003 = 32797;
inline constexpr int kCmdStyleOffice2000 = 32798;
inline constexpr int kCmdStyleOfficeXp = 32799;
inline constexpr int kCmdRefresh = 32800;
inline constexpr int kCmdCollectTitle = 32802;
inline constexpr int kCmdCollectAccount = 32803;
inline constexpr int kCmdCollectPassword = 32804;
inline constexpr int kCmdCollectRemark = 32805;
inline constexpr int kCmdWriteCollected = 32806;
inline constexpr int kCmdViewCollected = 32808;
inline constexpr int kCmdToggleFloat = 32809;
inline constexpr int kCmdPasswordGenerator = 32810;
inline constexpr int kCmdImport = 32811;
inline constexpr int kCmdExportBackup = 32812;
inline constexpr int kCmdClearClipboard = 32813;
inline constexpr int kCmdSync = 32816;
// Added after the described commands: locking, search and the options dialog.
inline constexpr int kCmdLock = 32817;
inline constexpr int kCmdFind = 32818;
inline constexpr int kCmdOptions = 32819;

// Commands: the framework's ids, kept with their meaning.
inline constexpr int kCmdFileNew = 57600;
inline constexpr int kCmdPrint = 57607;
inline constexpr int kCmdPrintDirect = 57608;
inline constexpr int kCmdPrintPreview = 57609;
inline constexpr int kCmdEditCopy = 57634;
inline constexpr int kCmdEditCut = 57635;
inline constexpr int kCmdEditPaste = 57637;
inline constexpr int kCmdEditUndo = 57643;
inline constexpr int kCmdAbout = 57664;
inline constexpr int kCmdExit = 57665;
inline constexpr int kCmdNextPane = 57680;
inline constexpr int kCmdPrevPane = 57681;
inline constexpr int kCmdViewToolbar = 59392;
inline constexpr int kCmdViewStatusBar = 59393;
inline constexpr int kCmdViewSmallIcons = 59408;
inline constexpr int kCmdViewLargeIcons = 59409;
inline constexpr int kCmdViewList = 59410;
inline constexpr int kCmdViewDetails = 59411;
inline constexpr int kCmdViewArrange = 59412;
inline constexpr int kCmdViewSort = 59413;

// Menus and the toolbar.
inline constexpr int kMainMenu = 128;
inline constexpr int kMainToolbar = 128;
inline constexpr int kTrayMenu = 150;
inline constexpr int kRecordListMenu = 151;
inline constexpr int kDropTargetMenu = 159;
inline constexpr int kFloatMenu = 160;
inline constexpr int kCategoryMenu = 161;

// Icons and bitmaps.
inline constexpr int kAppIcon = 128;
inline constexpr int kRecordIconA = 130;
inline constexpr int kRecordIconB = 131;
inline constexpr int kDeleteQuestionIcon = 155;
inline constexpr int kFloatBitmap = 158;
inline constexpr int kCategoryIcon = 167;

// Strings that are not command prompts.
inline constexpr int kStrAppTitle = 57344;  // "Pellorin"
inline constexpr int kStrReady = 57345;     // "就绪"
inline constexpr int kStrIndicatorCaps = 59137;
inline constexpr int kStrIndicatorNum = 59138;
inline constexpr int kStrIndicatorScroll = 59139;

// Window ids kept for the tray and the splitter.
inline constexpr int kTrayIconId = 104;
inline constexpr int kTrayNotifyMessage = 3544;

}  // namespace korvane::res
