// Bitmap resources of Keyhaven.exe and the image indexes inside them. The pictures are
// drawn by resources/make_images.sh; docs/images.md shows what each one means. Strips are
// 32-bit BMPs with straight (not premultiplied) alpha: load them with LoadImageA and
// LR_CREATEDIBSECTION so the alpha survives, and add them to ILC_COLOR32 image lists.
#pragma once

// Window chrome, stretched to size (24-bit). The status bar colour is the bottom-left
// pixel of the frame bitmap.
#define IDB_CHROME_FRAME 100
#define IDB_CHROME_CAPTION 101
#define IDB_CHROME_BANNER 102
#define IDB_CHROME_STATUS 103

#define IDB_TOOLBAR 200      // tool bar and menu images, 24 x 24 each
#define IDB_TOOLBAR16 201    // the same images at 16 x 16: menus, banner, tray
#define IDB_ROWS 202         // entry row icons, 16 x 16 each
#define IDB_ROWS32 203       // entry row icons, 32 x 32 each (large icon view)
#define IDB_TABS 204         // type tab images, 24 x 24 each
#define IDB_LOGO 205         // caption-bar logo animation, 21 x 21 frames
#define IDB_GUARD 206        // Password Guard countdown, 41 x 41 frames
#define IDB_WIZARD 207       // account wizard's picture strip, 120 x 235 (24-bit)
#define IDB_CRASH_BANNER 208 // crash report banner, 463 x 45, stretched (24-bit)
#define IDB_TIP 209          // tip of the day's light bulb, 32 x 32

#ifndef RC_INVOKED

namespace kh::images {

inline constexpr int kToolbarSize = 24;
inline constexpr int kMenuSize = 16;

// Indexes into IDB_TOOLBAR and IDB_TOOLBAR16 (same order in both). Some are fixed by the
// windows that use them: the banner shows kImgLoggedOut / kImgLoggedIn, tbCopy switches
// between kImgCopy and kImgOpenWeb, the tray takes kImgTrayLoggedIn from the 16-pixel
// strip, and the language menu uses kImgDefaultLanguage, kImgLanguage, kImgOpenWeb ("Get
// More Language") and kImgTranslate.
inline constexpr int kImgLoggedOut = 0;
inline constexpr int kImgNewAccount = 1;
inline constexpr int kImgTranslate = 2;
inline constexpr int kImgOpenAccount = 3;
inline constexpr int kImgSave = 4;
inline constexpr int kImgLogout = 5;
inline constexpr int kImgEditAccount = 6;
inline constexpr int kImgTrayLoggedIn = 7;
inline constexpr int kImgChangePassword = 8;
inline constexpr int kImgFind = 9;
inline constexpr int kImgNewEntry = 10;
inline constexpr int kImgCut = 11;
inline constexpr int kImgOpenWeb = 12;
inline constexpr int kImgDelete = 13;
inline constexpr int kImgUndelete = 14;
inline constexpr int kImgEditEntry = 15;
inline constexpr int kImgViewStyle = 16;
inline constexpr int kImgComment = 17;
inline constexpr int kImgHelp = 18;
inline constexpr int kImgQuit = 19;
inline constexpr int kImgSaveAs = 20;
inline constexpr int kImgBackup = 21;
inline constexpr int kImgCopy = 22;
inline constexpr int kImgPaste = 23;
inline constexpr int kImgExportXml = 24;
inline constexpr int kImgImportXml = 25;
inline constexpr int kImgCopyWholeEntry = 26;
inline constexpr int kImgSelectAll = 27;
inline constexpr int kImgReplaceFromClipboard = 28;
inline constexpr int kImgFindAgain = 29;
inline constexpr int kImgPasswordGuard = 30;
inline constexpr int kImgFileRemover = 31;
inline constexpr int kImgGenerator = 32;
inline constexpr int kImgPreferences = 33;
inline constexpr int kImgTipOfTheDay = 34;
inline constexpr int kImgCheckNewVersion = 35;
inline constexpr int kImgOnlineFaq = 36;
inline constexpr int kImgDefaultLanguage = 37;
inline constexpr int kImgAbout = 38;
inline constexpr int kImgLanguage = 39;
inline constexpr int kImgCopyTitle = 40;
inline constexpr int kImgCopyDetails = 41;
inline constexpr int kImgCopyPassword = 42;
inline constexpr int kImgOpenKeyhaven = 43;
inline constexpr int kImgDuplicate = 44;
inline constexpr int kImgImportFromClipboard = 45;
inline constexpr int kImgLargeIcons = 46;
inline constexpr int kImgSmallIcons = 47;
inline constexpr int kImgListView = 48;
inline constexpr int kImgDetailsView = 49;
inline constexpr int kImgManageAccount = 50;
inline constexpr int kImgDeleteAll = 51;
inline constexpr int kImgLoggedIn = 52;
inline constexpr int kToolbarImageCount = 53;

// Indexes into IDB_ROWS and IDB_ROWS32: the row icon of an entry.
inline constexpr int kRowPassword = 0; // saved Password entry (and unknown types)
inline constexpr int kRowLink = 1;     // saved Link entry
inline constexpr int kRowText = 2;     // saved Text entry
inline constexpr int kRowDeleted = 3;
inline constexpr int kRowNew = 4; // new or undeleted
inline constexpr int kRowChanged = 5;
inline constexpr int kRowIconCount = 6;
inline constexpr int kRowSmallSize = 16;
inline constexpr int kRowLargeSize = 32;

// Indexes into IDB_TABS, one per type tab.
inline constexpr int kTabAll = 0;
inline constexpr int kTabPassword = 1;
inline constexpr int kTabLink = 2;
inline constexpr int kTabText = 3;
inline constexpr int kTabImageCount = 4;
inline constexpr int kTabImageSize = 24;

// IDB_LOGO: one turn of the vault dial.
inline constexpr int kLogoFrameSize = 21;
inline constexpr int kLogoFrameCount = 22;

// IDB_GUARD: frame 0 is the full time left, frame 19 the last twentieth.
inline constexpr int kGuardFrameSize = 41;
inline constexpr int kGuardFrameCount = 20;

inline constexpr int kWizardPictureWidth = 120;
inline constexpr int kWizardPictureHeight = 235;
inline constexpr int kCrashBannerWidth = 463;
inline constexpr int kCrashBannerHeight = 45;
inline constexpr int kTipPictureSize = 32;

} // namespace kh::images

#endif // RC_INVOKED
