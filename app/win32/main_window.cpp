// TfrmMain: layout, painting, list views, menus, tool bars, timers and window messages.
// Commands go to their features' handlers (features.cpp lists them); the session's boxes
// and dialogs are in main_session_ui.cpp.
#include "tfrm_main.h"

#include "app_folders.h"
#include "features.h"
#include "image_ids.h"
#include "profile_store.h"
#include "resource_ids.h"
#include "text_format.h"
#include "tfrm_login.h"
#include "win32/image_strip.h"
#include "win32/skin_theme.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace kh {
namespace {

// Heights and widths of the fixed bands, in 96-DPI units.
constexpr int kCaptionHeight = 23;
constexpr int kMenuBarHeight = 24;
constexpr int kToolBarHeight = 32;
constexpr int kBannerHeight = 20;
constexpr int kStatusHeight = 20;
constexpr int kTabStripWidth = 62;
constexpr int kTabLength = 65;
constexpr int kCommentHeight = 46;
constexpr int kCaptionButton = 19;
constexpr int kToolButtonWidth = 30;
constexpr int kDropDownExtra = 12;
constexpr int kMenuImageGap = 6; // between a menu item's picture and its text

constexpr int kIdListPassword = 2001;
constexpr int kIdListSub = 2002;

constexpr COLORREF kCaptionBlue = RGB(0x10, 0x30, 0xA0);

// A text for one line (a list row, the status bar): line breaks and tabs become spaces.
void asOneLine(char* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i)
        if (text[i] == '\r' || text[i] == '\n' || text[i] == '\t') text[i] = ' ';
}

constexpr COLORREF kBannerBlue = RGB(0x00, 0x20, 0xC0);
constexpr COLORREF kBannerBorder = RGB(128, 128, 240);
constexpr COLORREF kOlive = RGB(128, 128, 0);
constexpr COLORREF kOddRow = RGB(216, 216, 255);

constexpr const char* kMenuBarCaptions[] = {"&Account", "&Operation", "&Entries", "&Tools",
                                            "&Help"};
constexpr const char* kMenuBarNames[] = {"ToolButton1", "ToolButton2", "ToolButton3", "ToolButton4",
                                         "ToolButton5"};
constexpr const char* kPopupNames[] = {"pmAccount", "pmOperation", "pmEntries", "pmTools",
                                       "pmHelp"};

constexpr int kColumnWidths[kColumnCount] = {100, 120, 70, 100, 70};
constexpr const char* kColumnCaptions[kColumnCount] = {"Title", "What's this", "Password",
                                                       "Details", "Type"};

// The control table: fixed bands, then one button per tool-bar command. Geometry is
// set again by layoutControls on every resize.
std::vector<ControlDef> mainControls() {
    std::vector<ControlDef> defs = {
        {.name = "pbCaption", .kind = ControlKind::PaintButton, .height = kCaptionHeight},
        {.name = "sbClose", .kind = ControlKind::PaintButton, .hint = "Close"},
        {.name = "sbMinimize", .kind = ControlKind::PaintButton, .hint = "Minimize"},
        {.name = "abButterFly", .kind = ControlKind::AnimatedButton},
        {.name = "ToolBar2", .kind = ControlKind::Panel},
        {.name = "ToolBar1", .kind = ControlKind::Panel},
        {.name = "pbAccount", .kind = ControlKind::PaintButton},
        {.name = "mTabType", .kind = ControlKind::TabControl},
        {.name = "nbPasswords", .kind = ControlKind::Notebook},
        {.name = "All", .kind = ControlKind::Page, .caption = "All", .parent = "nbPasswords"},
        {.name = "Catagory",
         .kind = ControlKind::Page,
         .caption = "Catagory",
         .parent = "nbPasswords"},
        {.name = "lvPassword",
         .kind = ControlKind::ListView,
         .style =
             LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS | LVS_AUTOARRANGE,
         .commandId = kIdListPassword,
         .parent = "All",
         .options = opt::handCursor},
        {.name = "lvSub",
         .kind = ControlKind::ListView,
         .style =
             LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS | LVS_AUTOARRANGE,
         .commandId = kIdListSub,
         .parent = "Catagory",
         .options = opt::handCursor},
        {.name = "mmComment",
         .kind = ControlKind::Memo,
         .style = WS_VSCROLL,
         .options = opt::readOnly | opt::hidden | opt::noTabStop},
        {.name = "StatusBar1", .kind = ControlKind::PaintButton},
    };
    for (int i = 0; i < 5; ++i) {
        defs.push_back({.name = kMenuBarNames[i],
                        .kind = ControlKind::ToolButton,
                        .caption = kMenuBarCaptions[i],
                        .parent = "ToolBar2",
                        .options = opt::noTabStop});
    }
    for (const CommandDef& command : commandTable()) {
        if (command.menu != MenuId::ToolBar) continue;
        defs.push_back({.name = command.name.data(),
                        .kind = ControlKind::ToolButton,
                        .hint = command.hint.data(),
                        .parent = "ToolBar1",
                        .options = opt::noTabStop});
    }
    return defs;
}

const std::vector<ControlDef>& mainControlTable() {
    static const std::vector<ControlDef> table = mainControls();
    return table;
}

FormDesign mainDesign() {
    FormDesign design;
    design.className = "TfrmMain";
    design.caption = "Remember One Password, Leave the Others to Keyhaven!";
    design.clientWidth = 640;
    design.clientHeight = 460;
    // A pop-up with a sizing frame and a painted caption bar. It keeps its task bar
    // button: there is no separate application window to carry one.
    design.style = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_SYSMENU | WS_THICKFRAME |
                   WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    design.centered = true;
    design.icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_KEYHAVEN));
    return design;
}

HBITMAP loadChrome(int resource) {
    return static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resource),
                                           IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

void stretchBitmap(HDC dc, HBITMAP bitmap, const RECT& area) {
    if (!bitmap) return;
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, bitmap);
    SetStretchBltMode(dc, HALFTONE);
    StretchBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, source, 0,
               0, info.bmWidth, info.bmHeight, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
}

void drawText(HDC dc, const std::string& text, RECT area, UINT format) {
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &area,
              format | DT_NOPREFIX | DT_SINGLELINE);
}

} // namespace

TfrmMain::TfrmMain(AppPaths paths)
    : TForm(mainDesign(), mainControlTable()), paths_(std::move(paths)), list_(*this),
      session_(*this, list_, messages_),
      // Boxes of a hidden main window have no owner, or they would be hidden too.
      prompts_([this] { return IsWindowVisible(handle()) ? handle() : nullptr; }),
      fileDialogs_([this] { return IsWindowVisible(handle()) ? handle() : nullptr; }),
      guard_(clipboard_, *this, [this] {
          return GuardOptions{settings_.guard, settings_.guardTime, settings_.minimize};
      }) {
    list_.OnRowsChanged = [this](RowsChange change) { rowsChanged(change); };
    context_.reset(
        new AppContext{paths_,
                       session_,
                       list_,
                       settings_,
                       messages_,
                       mLanguage,
                       *this,
                       prompts_,
                       fileDialogs_,
                       clipboard_,
                       shell_,
                       clock_,
                       guard_,
                       services_,
                       start_,
                       [this] { return handle(); },
                       [this](CommandId id) { runCommand(id); },
                       [this](bool frozen) {
                           for (EntryView view : {EntryView::lvPassword, EntryView::lvSub})
                               SendMessageA(listView(view), WM_SETREDRAW, !frozen, 0);
                           if (!frozen) rowsChanged(RowsChange::Reordered);
                       },
                       [this](TForm::MessageHook hook) { addMessageHook(std::move(hook)); },
                       [this](TForm::MessageHook hook) {
                           if (login_) login_->addMessageHook(std::move(hook));
                       },
                       [this](const std::vector<std::pair<std::string, UINT>>& items) {
                           addLanguageItems(items);
                       }});
}

TfrmMain::~TfrmMain() {
    // The handlers' windows go before the models they show.
    for (auto& feature : features_)
        feature.reset();
    list_.OnRowsChanged = nullptr;
    list_.clearEntryList();
    if (smallIcon_) DestroyIcon(smallIcon_);
    if (measureDc_) DeleteDC(measureDc_);
}

FeatureHandler* TfrmMain::feature(Feature which) const {
    return features_[static_cast<std::size_t>(which)].get();
}

void TfrmMain::setFeature(Feature which, std::unique_ptr<FeatureHandler> handler) {
    features_[static_cast<std::size_t>(which)] = std::move(handler);
}

void TfrmMain::applySettingsToSession() {
    SessionSettings& s = session_.settings();
    s.mainGuard = settings_.mainGuard;
    s.doBackup = settings_.doBackup;
    s.times = settings_.times;
    s.quitOnClose = settings_.quit;
    s.remember = settings_.remember;
    s.programFolder = paths_.programFolder;
}

bool TfrmMain::createMain() {
    Win32ProfileStore store(paths_.profileFolder + kSettingsFileName);
    settings_ = loadSettings(store, win32Folders());
    applySettingsToSession();
    services_.settingsChanged = [this] { applySettingsToSession(); };
    session_.setLast(settings_.last, settings_.lastTitle);
    session_.setBackupFolder(settings_.backupPath);

    // Every window is translated once its controls exist, with its class name as section.
    TForm::onFormCreated() = [this](TForm& form) {
        mLanguage.translateWindow(&form, form.className(), true);
    };
    // Keys and clicks in any window of the program count as the user's action.
    TForm::onUserActivity() = [this] { session_.noteActivity(); };

    if (!create()) return false;

    login_ = std::make_unique<TfrmKeyhavenLogin>(messages_);
    if (!login_->create()) return false;

    installFeatures(*this);

    // The language: English messages enter the template, then the chosen file or
    // default.lng is loaded.
    messages_.addDefaultsTo(mLanguage);
    mLanguage.OnLanguageLoaded = [this](QLanguage&) { languageLoaded(); };
    if (!settings_.language.empty() && fileExists(settings_.language)) {
        mLanguage.setLanguage(settings_.language);
    } else if (fileExists(paths_.programFolder + "default.lng")) {
        mLanguage.setLanguage(paths_.programFolder + "default.lng");
    }
    return true;
}

void TfrmMain::onCreate() {
    loadImages();
    buildMenus();
    buildToolBars();

    setupListView(get<TNativeControl>("lvPassword").handle());
    setupListView(get<TNativeControl>("lvSub").handle());
    get<TContainer>("nbPasswords").setPageIndex(0);

    auto& caption = get<TPaintButton>("pbCaption");
    caption.OnPaint = [this](HDC dc, const RECT& r) { paintCaption(dc, r); };
    caption.OnMouseDown = [this](int, int) {
        ReleaseCapture();
        SendMessageA(handle(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
    };
    auto paintGlyph = [](HDC dc, const RECT& r, bool close, bool hot) {
        Brush face(CreateSolidBrush(hot ? RGB(0xC8, 0xD4, 0xF4) : RGB(0xE4, 0xEA, 0xF8)));
        FillRect(dc, &r, face.get());
        Pen pen(CreatePen(PS_SOLID, 2, kCaptionBlue));
        SelectGuard guard(dc, pen.get());
        const int cx = (r.left + r.right) / 2;
        const int cy = (r.top + r.bottom) / 2;
        if (close) {
            MoveToEx(dc, cx - 4, cy - 4, nullptr);
            LineTo(dc, cx + 4, cy + 4);
            MoveToEx(dc, cx + 4, cy - 4, nullptr);
            LineTo(dc, cx - 4, cy + 4);
        } else {
            MoveToEx(dc, cx - 4, cy + 3, nullptr);
            LineTo(dc, cx + 5, cy + 3);
        }
    };
    auto& closeButton = get<TPaintButton>("sbClose");
    closeButton.OnPaint = [paintGlyph, &closeButton](HDC dc, const RECT& r) {
        paintGlyph(dc, r, true, closeButton.isHot());
    };
    closeButton.OnClick = [this] { PostMessageA(handle(), WM_CLOSE, 0, 0); };
    auto& minimize = get<TPaintButton>("sbMinimize");
    minimize.OnPaint = [paintGlyph, &minimize](HDC dc, const RECT& r) {
        paintGlyph(dc, r, false, minimize.isHot());
    };
    minimize.OnClick = [this] { hideToTray(); };
    auto& logo = get<QAnimatedButton>("abButterFly");
    logo.setImages(logoImages_.get());
    logo.setInterval(50);

    get<TPaintButton>("pbAccount").OnPaint = [this](HDC dc, const RECT& r) { paintBanner(dc, r); };
    get<TPaintButton>("StatusBar1").OnPaint = [this](HDC dc, const RECT& r) { paintStatus(dc, r); };

    auto& tabs = get<QTabControl>("mTabType");
    tabs.setOrientation(TabOrientation::Vertical);
    tabs.setTabWidth(kTabLength);
    tabs.setTabs(tabCaptions());
    tabs.setTabIndex(0);
    tabs.OnChanging = [this](int index) { return chooseTab(index); };
    tabs.OnDrawTab = [this](HDC dc, int index, const RECT& area, bool selected, bool hot) {
        drawTab(dc, index, area, selected, hot);
    };

    // Stored view settings.
    setCommentVisible(settings_.comment);
    settings_.sub = list_.applyStoredTab(settings_.sub);
    if (settings_.sub > 0) {
        const int sub = settings_.sub;
        if (chooseTab(sub)) get<QTabControl>("mTabType").setTabIndex(sub);
    }
    banner_ = messages_.text(Msg::prompting);
    status_ = messages_.text(Msg::loginhint);
    updateToolButtons();
    layoutControls();
}

void TfrmMain::loadImages() {
    // Every picture at the size the window's DPI asks for.
    HINSTANCE module = GetModuleHandleA(nullptr);
    const auto strip = [&](int resource, int size) {
        return imageListOf(loadStripPixels(module, resource), size, scale(size));
    };
    toolImages_.reset(strip(IDB_TOOLBAR, images::kToolbarSize));
    const StripPixels menuStrip = loadStripPixels(module, IDB_TOOLBAR16);
    menuImages_.reset(imageListOf(menuStrip, images::kMenuSize, scale(images::kMenuSize)));
    menuImagesGreyed_.reset(
        imageListOf(greyedStrip(menuStrip), images::kMenuSize, scale(images::kMenuSize)));
    rowImages_.reset(strip(IDB_ROWS, images::kRowSmallSize));
    rowImagesLarge_.reset(strip(IDB_ROWS32, images::kRowLargeSize));
    tabImages_.reset(strip(IDB_TABS, images::kTabImageSize));
    logoImages_.reset(strip(IDB_LOGO, images::kLogoFrameSize));
    chromeFrame_.reset(loadChrome(IDB_CHROME_FRAME));
    chromeCaption_.reset(loadChrome(IDB_CHROME_CAPTION));
    chromeBanner_.reset(loadChrome(IDB_CHROME_BANNER));
    chromeStatus_.reset(loadChrome(IDB_CHROME_STATUS));
    smallIcon_ = static_cast<HICON>(LoadImageA(
        GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_KEYHAVEN), IMAGE_ICON, 16, 16, 0));
    // The status bar takes its colour from the frame's bottom-left pixel.
    if (chromeFrame_) {
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HGDIOBJ old = SelectObject(dc, chromeFrame_.get());
        BITMAP info{};
        GetObjectA(chromeFrame_.get(), sizeof info, &info);
        const COLORREF pixel = GetPixel(dc, 0, info.bmHeight - 1);
        if (pixel != CLR_INVALID) statusColor_ = pixel;
        SelectObject(dc, old);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
    }
}

void TfrmMain::addCommandItem(const CommandDef& command, int level, std::vector<MenuItemDef>& out) {
    if (command.separatorBefore && !out.empty()) {
        out.push_back({.name = "", .caption = kMenuSeparator, .level = level});
    }
    // The caption text lives in menuCaptions_ while the menu is built.
    std::string& caption = menuCaptions_.emplace_back(command.caption);
    if (command.shortcut.key != 0) {
        caption.push_back('\t');
        caption.append(shortcutText(command.shortcut));
    }
    out.push_back({.name = command.name.data(),
                   .caption = caption.c_str(),
                   .commandId = kMenuCommandBase + static_cast<int>(command.id),
                   .tag = command.tag,
                   .imageIndex = command.image,
                   .level = level,
                   .options = command.style == ItemStyle::Radio ? menuopt::radio : 0u});
}

TMenu& TfrmMain::addCommandMenu(const char* name, MenuId menuId, MenuId submenuOf) {
    std::vector<MenuItemDef> items;
    for (const CommandDef& command : commandTable()) {
        if (command.menu != menuId) continue;
        addCommandItem(command, 0, items);
        if (command.style != ItemStyle::Submenu) continue;
        for (const CommandDef& inner : commandTable()) {
            if (inner.menu == submenuOf) addCommandItem(inner, 1, items);
        }
        // The language files found at the first show are listed after this line.
        if (submenuOf == MenuId::Language) {
            items.push_back({.name = "", .caption = kMenuSeparator, .level = 1});
        }
    }
    TMenu& menu = addMenu(name, items);
    for (TMenuItem* item : menu.items()) {
        if (item->isSeparator() || item->commandId() < kMenuCommandBase) continue;
        const auto id = static_cast<CommandId>(item->commandId() - kMenuCommandBase);
        if (commandDef(id).style == ItemStyle::Submenu) continue;
        item->OnClick = [this, id](TMenuItem&) { runCommand(id); };
    }
    setMenuImages(menu);
    return menu;
}

void TfrmMain::buildMenus() {
    addCommandMenu("pmAccount", MenuId::Account, MenuId::ManageAccount);
    addCommandMenu("pmOperation", MenuId::Operation, MenuId::Operation);
    addCommandMenu("pmEntries", MenuId::Entries, MenuId::Entries);
    addCommandMenu("pmTools", MenuId::Tools, MenuId::Language);
    addCommandMenu("pmHelp", MenuId::Help, MenuId::Help);
    addCommandMenu("pmCopy", MenuId::ListContext, MenuId::ListContext);
    addCommandMenu("pmView", MenuId::View, MenuId::View);
}

void TfrmMain::setMenuImages(TMenu& menu) {
    // The pictures are drawn by the window (HBMMENU_CALLBACK): with their transparency,
    // a gap before the text, and greyed when the item is disabled.
    for (TMenuItem* item : menu.items()) {
        if (item->isSeparator() || item->imageIndex() < 0) continue;
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_BITMAP | MIIM_DATA;
        info.hbmpItem = HBMMENU_CALLBACK;
        info.dwItemData = static_cast<ULONG_PTR>(item->imageIndex()) + 1;
        if (item->submenu()) {
            // A submenu item is found by its position.
            const int count = GetMenuItemCount(item->parentMenu());
            for (int i = 0; i < count; ++i) {
                if (GetSubMenu(item->parentMenu(), i) == item->submenu()) {
                    SetMenuItemInfoA(item->parentMenu(), static_cast<UINT>(i), TRUE, &info);
                }
            }
        } else {
            SetMenuItemInfoA(item->parentMenu(), static_cast<UINT>(item->commandId()), FALSE,
                             &info);
        }
    }
}

bool TfrmMain::measureMenuImage(MEASUREITEMSTRUCT& measure) {
    if (measure.CtlType != ODT_MENU || measure.itemData == 0) return false;
    measure.itemWidth = static_cast<UINT>(scale(images::kMenuSize + kMenuImageGap));
    measure.itemHeight = static_cast<UINT>(scale(images::kMenuSize + 2));
    return true;
}

bool TfrmMain::drawMenuImage(const DRAWITEMSTRUCT& draw) {
    if (draw.CtlType != ODT_MENU || draw.itemData == 0) return false;
    const int image = static_cast<int>(draw.itemData) - 1;
    const bool disabled = (draw.itemState & (ODS_DISABLED | ODS_GRAYED)) != 0;
    const int size = scale(images::kMenuSize);
    const int top = draw.rcItem.top + (draw.rcItem.bottom - draw.rcItem.top - size) / 2;
    ImageList_Draw(disabled ? menuImagesGreyed_.get() : menuImages_.get(), image, draw.hDC,
                   draw.rcItem.left, top, ILD_TRANSPARENT);
    return true;
}

void TfrmMain::buildToolBars() {
    for (int i = 0; i < 5; ++i) {
        auto& button = get<TToolButton>(kMenuBarNames[i]);
        button.OnClick = [this, i, &button] { popupMenu(kPopupNames[i], button.handle()); };
    }
    for (const CommandDef& command : commandTable()) {
        if (command.menu != MenuId::ToolBar) continue;
        auto& button = get<TToolButton>(command.name);
        button.setImages(toolImages_.get());
        button.setImageIndex(command.image);
        const CommandId id = command.id;
        if (command.style == ItemStyle::DropDownButton) {
            button.setDropDown(true);
            const char* menu = id == CommandId::ToolNewEntry    ? "pmEntries"
                               : id == CommandId::ToolCopy      ? "pmCopy"
                               : id == CommandId::ToolOperation ? "pmOperation"
                                                                : "pmView";
            button.OnDropDown = [this, menu, &button] { popupMenu(menu, button.handle()); };
        }
        if (id != CommandId::ToolStyle) button.OnClick = [this, id] { runCommand(id); };
    }
}

void TfrmMain::popupMenu(const char* menuName, HWND below) {
    TMenu* menu = this->menu(menuName);
    if (!menu) return;
    RECT r{};
    GetWindowRect(below, &r);
    menu->popup(handle(), POINT{r.left, r.bottom});
}

void TfrmMain::setupListView(HWND list) {
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES |
                                                LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP);
    ListView_SetImageList(list, rowImages_.get(), LVSIL_SMALL);
    ListView_SetImageList(list, rowImagesLarge_.get(), LVSIL_NORMAL);
    for (int i = 0; i < kColumnCount; ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        column.fmt = i == 0 ? LVCFMT_LEFT : LVCFMT_CENTER;
        column.cx = scale(kColumnWidths[i]);
        column.pszText = const_cast<char*>(kColumnCaptions[i]);
        column.iSubItem = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&column));
    }
}

void TfrmMain::setColumnCaptions() {
    const Msg keys[kColumnCount] = {Msg::column0, Msg::columnuser, Msg::column1, Msg::column2,
                                    Msg::column3};
    for (HWND list : {listView(EntryView::lvPassword), listView(EntryView::lvSub)}) {
        for (int i = 0; i < kColumnCount; ++i) {
            LVCOLUMNA column{};
            column.mask = LVCF_TEXT;
            column.pszText = const_cast<char*>(messages_.text(keys[i]).c_str());
            SendMessageA(list, LVM_SETCOLUMNA, static_cast<WPARAM>(i),
                         reinterpret_cast<LPARAM>(&column));
        }
    }
}

void TfrmMain::languageLoaded() {
    // Features see the texts of the language that is going first (the browser entries
    // are withdrawn under their old captions), then the new ones.
    for (auto& feature : features_)
        if (feature) feature->languageChanging();
    const bool showingLoginHint = status_ == messages_.text(Msg::loginhint);
    messages_.refreshFrom(mLanguage);
    setColumnCaptions();
    get<QTabControl>("mTabType").setTabs(tabCaptions());
    if (showingLoginHint) setStatusText(messages_.text(Msg::loginhint));
    list_.setTypeNames({messages_.text(Msg::passwordtext), messages_.text(Msg::linktext),
                        messages_.text(Msg::texttext), messages_.text(Msg::unknowntext)});
    if (session_.isLoggedIn()) {
        session_.setBannerText("");
    } else {
        setBanner(messages_.text(Msg::prompting));
    }
    // Every window that exists takes the new texts (windows made later are translated
    // when they are created).
    for (TForm* form : TForm::openForms())
        mLanguage.translateWindow(form, form->className(), false);
    for (auto& feature : features_)
        if (feature) feature->languageLoaded();
    layoutControls(); // captions of another length
    rowsChanged(RowsChange::Updated);
}

void TfrmMain::layoutControls() {
    RECT client{};
    GetClientRect(handle(), &client);
    const int w = client.right;
    const int h = client.bottom;
    const int caption = scale(kCaptionHeight);
    const int button = scale(kCaptionButton);
    const int logoSize = scale(images::kLogoFrameSize);
    // Close, minimise and the logo keep to the right end, one pixel apart.
    int x = w - 1 - logoSize;
    get<TControl>("abButterFly").setBoundsPx(x, (caption - logoSize) / 2, logoSize, logoSize);
    x -= 1 + button;
    get<TControl>("sbMinimize").setBoundsPx(x, (caption - button) / 2, button, button);
    x -= 1 + button;
    get<TControl>("sbClose").setBoundsPx(x, (caption - button) / 2, button, button);
    get<TControl>("pbCaption").setBoundsPx(0, 0, x, caption);

    int y = caption;
    const int menuBar = scale(kMenuBarHeight);
    get<TControl>("ToolBar2").setBoundsPx(0, y, w, menuBar);
    int bx = scale(2);
    HDC dc = GetDC(handle());
    SelectGuard font(dc, this->font());
    for (const char* name : kMenuBarNames) {
        auto& b = get<TToolButton>(name);
        SIZE extent{};
        std::string text = b.caption();
        text.erase(std::remove(text.begin(), text.end(), '&'), text.end());
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        const int bw = extent.cx + scale(16);
        b.setBoundsPx(bx, scale(1), bw, menuBar - scale(2));
        bx += bw;
    }
    ReleaseDC(handle(), dc);
    y += menuBar;

    const int toolBar = scale(kToolBarHeight);
    get<TControl>("ToolBar1").setBoundsPx(0, y, w, toolBar);
    bx = scale(2);
    for (const CommandDef& command : commandTable()) {
        if (command.menu != MenuId::ToolBar) continue;
        if (command.separatorBefore) bx += scale(6);
        const int bw = scale(kToolButtonWidth +
                             (command.style == ItemStyle::DropDownButton ? kDropDownExtra : 0));
        get<TControl>(command.name).setBoundsPx(bx, scale(1), bw, toolBar - scale(2));
        bx += bw + scale(1);
    }
    y += toolBar;

    const int banner = scale(kBannerHeight);
    get<TControl>("pbAccount").setBoundsPx(0, y, w, banner);
    y += banner;

    const int status = scale(kStatusHeight);
    get<TControl>("StatusBar1").setBoundsPx(0, h - status, w, status);
    int bottom = h - status;
    auto& comment = get<TNativeControl>("mmComment");
    const int tabWidth = tabStripWidth();
    if (commentShown_) {
        const int ch = scale(kCommentHeight);
        comment.setBoundsPx(tabWidth, bottom - ch, w - tabWidth, ch);
        bottom -= ch;
    }
    get<TControl>("mTabType").setBoundsPx(0, y, tabWidth, h - status - y);
    const int listWidth = w - tabWidth;
    const int listHeight = std::max(0, bottom - y);
    get<TControl>("nbPasswords").setBoundsPx(tabWidth, y, listWidth, listHeight);
    for (const char* page : {"All", "Catagory"}) {
        get<TControl>(page).setBoundsPx(0, 0, listWidth, listHeight);
    }
    for (const char* name : {"lvPassword", "lvSub"}) {
        HWND list = get<TControl>(name).handle();
        get<TControl>(name).setBoundsPx(0, 0, listWidth, listHeight);
        // The Details column takes what the others leave.
        ListView_SetColumnWidth(list, kColumnDetails, std::max(scale(40), listWidth - scale(385)));
    }
}

void TfrmMain::onResize(int, int) {
    if (control("pbCaption")) layoutControls();
}

void TfrmMain::paintCaption(HDC dc, const RECT& r) {
    stretchBitmap(dc, chromeCaption_.get(), r);
    if (!chromeCaption_) FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    const int iconSize = scale(16);
    if (smallIcon_) {
        DrawIconEx(dc, 1, (r.bottom - iconSize) / 2, smallIcon_, iconSize, iconSize, 0, nullptr,
                   DI_NORMAL);
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kCaptionBlue);
    SelectGuard font(dc, this->font(opt::bold));
    RECT area = r;
    area.left = scale(19);
    drawText(dc, text(), area, DT_LEFT | DT_VCENTER | DT_END_ELLIPSIS);
}

void TfrmMain::paintBanner(HDC dc, const RECT& r) {
    stretchBitmap(dc, chromeBanner_.get(), r);
    if (!chromeBanner_) FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
    Brush border(CreateSolidBrush(kBannerBorder));
    FrameRect(dc, &r, border.get());
    const bool loggedIn = session_.isLoggedIn();
    const int iconSize = scale(16);
    ImageList_Draw(menuImages_.get(), loggedIn ? images::kImgLoggedIn : images::kImgLoggedOut, dc,
                   scale(4), (r.bottom - iconSize) / 2, ILD_TRANSPARENT);
    SetBkMode(dc, TRANSPARENT);
    Font bannerFont(CreateFontA(-MulDiv(10, dpi(), 72), 0, 0, 0, FW_NORMAL, 0, 0, 0,
                                DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY, 0, "Tahoma"));
    {
        SelectGuard font(dc, bannerFont.get());
        SetTextColor(dc, kBannerBlue);
        RECT area = r;
        area.left = scale(24);
        area.right -= scale(4);
        drawText(dc, banner_, area, DT_LEFT | DT_VCENTER | DT_END_ELLIPSIS);
    }
    if (!loggedIn) {
        SelectGuard font(dc, this->font(opt::bold));
        SetTextColor(dc, kOlive);
        RECT area = r;
        area.right -= scale(4);
        drawText(dc, messages_.text(Msg::slogan), area, DT_RIGHT | DT_VCENTER);
    }
}

void TfrmMain::paintStatus(HDC dc, const RECT& r) {
    Brush face(CreateSolidBrush(statusColor_));
    FillRect(dc, &r, face.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, skin::kText);
    SelectGuard font(dc, this->font());
    RECT area = r;
    area.left = scale(5);
    // One line: a message written for a box shows its line breaks as spaces here.
    std::string line = status_;
    asOneLine(line.data(), line.size());
    drawText(dc, line, area, DT_LEFT | DT_VCENTER | DT_END_ELLIPSIS);
}

void TfrmMain::paintFrame() {
    HDC dc = GetWindowDC(handle());
    if (!dc) return;
    RECT window{};
    GetWindowRect(handle(), &window);
    OffsetRect(&window, -window.left, -window.top);
    RECT client{};
    GetClientRect(handle(), &client);
    POINT origin{0, 0};
    ClientToScreen(handle(), &origin);
    RECT outer{};
    GetWindowRect(handle(), &outer);
    OffsetRect(&client, origin.x - outer.left, origin.y - outer.top);
    ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
    if (chromeFrame_) {
        stretchBitmap(dc, chromeFrame_.get(), window);
    } else {
        FillRect(dc, &window, GetSysColorBrush(COLOR_ACTIVEBORDER));
    }
    Brush edge(CreateSolidBrush(kBannerBorder));
    FrameRect(dc, &window, edge.get());
    ReleaseDC(handle(), dc);
}

void TfrmMain::drawTab(HDC dc, int index, const RECT& area, bool selected, bool hot) {
    Brush face(CreateSolidBrush(selected ? RGB(255, 255, 255) : skin::kFormFace));
    FillRect(dc, &area, face.get());
    const int size = scale(images::kTabImageSize);
    const int imageIndex = index < images::kTabImageCount ? index : 0;
    const int cx = (area.left + area.right) / 2 + scale(2) + ((hot && !selected) ? 1 : 0);
    const int cy = (area.top + area.bottom) / 2 - scale(3) + ((hot && !selected) ? 1 : 0);
    const int top = cy - size / 2 - scale(6);
    ImageList_Draw(tabImages_.get(), imageIndex, dc, cx - size / 2, top, ILD_TRANSPARENT);
    const auto& tabs = get<QTabControl>("mTabType").tabs();
    if (index < static_cast<int>(tabs.size())) {
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, selected ? kCaptionBlue : skin::kText);
        SelectGuard font(dc, this->font(selected ? opt::bold : 0));
        RECT text = area;
        text.top = top + size + scale(2);
        DrawTextA(dc, tabs[index].c_str(), -1, &text,
                  DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    if (selected) {
        Brush mark(CreateSolidBrush(kCaptionBlue));
        RECT bar{area.left, area.top, area.left + scale(3), area.bottom};
        FillRect(dc, &bar, mark.get());
    }
}

HWND TfrmMain::listView(EntryView list) const {
    return get<TControl>(list == EntryView::lvSub ? "lvSub" : "lvPassword").handle();
}

HWND TfrmMain::visibleListView() const {
    return listView(list_.visibleList());
}

void TfrmMain::rowsChanged(RowsChange change) {
    if (!control("lvPassword")) return;
    for (EntryView view : {EntryView::lvPassword, EntryView::lvSub}) {
        HWND list = listView(view);
        ListView_SetItemCountEx(list, list_.rowCount(view), LVSICF_NOSCROLL);
        // Rows moved or went: the list view's selection is by position, the model's goes
        // with the entries, so the view takes the model's.
        if (change >= RowsChange::Reordered) pushSelection(view);
        InvalidateRect(list, nullptr, FALSE);
    }
    if (change >= RowsChange::TypeListRebuilt) {
        const int shown = list_.shownType();
        get<TContainer>("nbPasswords").setPageIndex(shown > 0 ? 1 : 0);
        auto& tabs = get<QTabControl>("mTabType");
        if (tabs.tabIndex() != shown) tabs.setTabIndex(shown);
        if (change == RowsChange::TypeListRebuilt) applyCommentRule();
    }
    updateToolButtons();
}

void TfrmMain::pushSelection(EntryView view) {
    HWND list = listView(view);
    pushingSelection_ = true;
    const std::vector<int> selected = list_.selectedRows(view);
    const int count = list_.rowCount(view);
    // One call for the whole list, then one per row that differs from it.
    if (count > 0 && static_cast<int>(selected.size()) * 2 > count) {
        ListView_SetItemState(list, -1, LVIS_SELECTED, LVIS_SELECTED);
        for (int row = 0; row < count; ++row)
            if (!list_.isSelected(view, row)) ListView_SetItemState(list, row, 0, LVIS_SELECTED);
    } else {
        ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        for (int row : selected)
            ListView_SetItemState(list, row, LVIS_SELECTED, LVIS_SELECTED);
    }
    pushingSelection_ = false;
    if (view == list_.visibleList()) rowSelectionChanged(view);
}

void TfrmMain::showRow(int masterRow) {
    if (masterRow < 0 || masterRow >= list_.rowCount(EntryView::lvPassword)) return;
    const RowRecord* record = list_.row(EntryView::lvPassword, masterRow).record.get();
    ListView_EnsureVisible(listView(EntryView::lvPassword), masterRow, FALSE);
    if (record && record->subIndex >= 0 && record->subIndex < list_.rowCount(EntryView::lvSub))
        ListView_EnsureVisible(listView(EntryView::lvSub), record->subIndex, FALSE);
}

bool TfrmMain::commentVisible() const {
    return commentShown_;
}

void TfrmMain::setCommentVisible(bool visible) {
    // Kept as a flag: before the window is first shown, no child counts as visible, and
    // the layout would leave the comment window no room.
    commentShown_ = visible;
    get<TControl>("mmComment").setVisible(visible);
    get<TToolButton>("tbComment").setDown(visible);
    layoutControls();
    InvalidateRect(listView(EntryView::lvPassword), nullptr, FALSE);
    InvalidateRect(listView(EntryView::lvSub), nullptr, FALSE);
}

void TfrmMain::toggleComment() {
    settings_.comment = !settings_.comment;
    setCommentVisible(settings_.comment);
}

void TfrmMain::applyCommentRule() {
    const bool visible = commentVisible();
    if (!settings_.comment && list_.shownType() != 3 && visible) {
        setCommentVisible(false);
    } else if (list_.shownType() == 3 && !visible && list_.rowCount(EntryView::lvSub) > 0) {
        setCommentVisible(true);
    }
}

bool TfrmMain::chooseTab(int index) {
    if (!list_.chooseTypeTab(index)) return false;
    settings_.sub = list_.shownType();
    if (session_.noteActivity()) {
        setStatusText(formatText(messages_.text(Msg::itemcount),
                                 {session_.accountName(), list_.rowCount(list_.visibleList())}));
        applyCommentRule();
    }
    return true;
}

void TfrmMain::sortByColumn(int column) {
    if (!session_.noteActivity()) return;
    list_.sortByColumn(column);
}

void TfrmMain::setViewStyle(int style) {
    // The view goes through the style bits rather than LVM_SETVIEW: a list in virtual mode
    // then lays its icons out in a grid with the image list of the view (32 pixels for
    // large icons), where LVM_SETVIEW left them piled up.
    static constexpr DWORD kTypes[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
    if (style < 0 || style > 3) return;
    viewStyle_ = style;
    for (HWND list : {listView(EntryView::lvPassword), listView(EntryView::lvSub)}) {
        const LONG_PTR old = GetWindowLongPtrA(list, GWL_STYLE);
        SetWindowLongPtrA(list, GWL_STYLE,
                          (old & ~static_cast<LONG_PTR>(LVS_TYPEMASK)) |
                              static_cast<LONG_PTR>(kTypes[style]));
        if (style < 2) ListView_Arrange(list, LVA_DEFAULT);
        InvalidateRect(list, nullptr, TRUE);
    }
}

void TfrmMain::listClicked() {
    if (!session_.noteActivity()) return;
    if (!settings_.displayPassword || settings_.timeout <= 0) return;

    const std::optional<int> current = list_.currentEntry();
    if (current) {
        const EntryRow& row = list_.row(EntryView::lvPassword, *current);
        SecretString shown(row.caption);
        shown.append(" [");
        shown.append(row.record->data.view());
        shown.append("]");
        std::string banner(shown.view());
        setBanner(banner);
        wipeString(banner);
        passwordTicks_ = 0;
        SetTimer(handle(), kPasswordTimer, kPasswordInterval, nullptr);
    } else if (banner_ != session_.accountName()) {
        setBanner(session_.accountName());
    }
    updateCopyImage();
}

void TfrmMain::passwordTimerTick() {
    ++passwordTicks_;
    if (passwordTicks_ >= settings_.timeout && session_.noteActivity()) {
        session_.setBannerText("");
        KillTimer(handle(), kPasswordTimer);
    }
}

void TfrmMain::rowSelectionChanged(EntryView list) {
    auto& comment = get<TNativeControl>("mmComment");
    if (!session_.noteActivity()) {
        comment.setText("");
        return;
    }
    const std::vector<int> selected = list_.selectedRows(list);
    if (selected.empty()) {
        comment.setText("");
        return;
    }
    const int focused = selected.front();
    if (list == list_.visibleList() && services_.rowSelected) services_.rowSelected(focused);
    updateCopyImage();
    if (commentVisible()) {
        std::string details(list_.columnText(list, focused, kColumnDetails));
        comment.setText(details);
    }
}

void TfrmMain::listLostFocus() {
    if (!session_.noteActivity()) return;
    if (banner_ != session_.accountName()) session_.setBannerText("");
    get<TNativeControl>("mmComment").setText("");
}

void TfrmMain::updateCopyImage() {
    auto& copy = get<TToolButton>("tbCopy");
    int image = images::kImgCopy;
    if (settings_.openLink && session_.isLoggedIn()) {
        const std::optional<int> current = list_.currentEntry();
        if (current && list_.row(EntryView::lvPassword, *current).record->type == kEntryLink) {
            image = images::kImgOpenWeb;
        }
    }
    copy.setImageIndex(image);
}

void TfrmMain::fitToColumn(HWND list, int column, char* text, int length, int capacity) {
    const int width = ListView_GetColumnWidth(list, column) - scale(12);
    if (length <= 0) return;
    if (!measureDc_) measureDc_ = CreateCompatibleDC(nullptr);
    SelectGuard font(measureDc_, reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0)));
    constexpr char kEllipsis[] = "...";
    constexpr int kEllipsisLength = 3;
    SIZE whole{};
    GetTextExtentPoint32A(measureDc_, text, length, &whole);
    if (whole.cx <= width) return;
    SIZE ellipsis{};
    GetTextExtentPoint32A(measureDc_, kEllipsis, kEllipsisLength, &ellipsis);
    int fit = 0;
    GetTextExtentExPointA(measureDc_, text, length,
                          std::max(0, width - static_cast<int>(ellipsis.cx)), &fit, nullptr,
                          &whole);
    fit = std::clamp(fit, 0, std::max(0, capacity - 1 - kEllipsisLength));
    std::memcpy(text + fit, kEllipsis, kEllipsisLength + 1);
}

std::vector<std::string> TfrmMain::tabCaptions() const {
    return {messages_.text(Msg::taball), messages_.text(Msg::passwordtext),
            messages_.text(Msg::linktext), messages_.text(Msg::texttext)};
}

int TfrmMain::tabStripWidth() {
    // Wide enough for the bold caption of the selected tab, in whatever language.
    int widest = 0;
    HDC dc = GetDC(handle());
    {
        SelectGuard font(dc, this->font(opt::bold));
        for (const std::string& tab : get<QTabControl>("mTabType").tabs()) {
            SIZE size{};
            GetTextExtentPoint32A(dc, tab.c_str(), static_cast<int>(tab.size()), &size);
            widest = std::max(widest, static_cast<int>(size.cx));
        }
    }
    ReleaseDC(handle(), dc);
    return std::max(scale(kTabStripWidth), widest + scale(12));
}

LRESULT TfrmMain::listNotify(EntryView view, NMHDR& header) {
    switch (header.code) {
    case LVN_GETDISPINFOA: {
        auto& info = reinterpret_cast<NMLVDISPINFOA&>(header);
        LVITEMA& item = info.item;
        if (item.iItem < 0 || item.iItem >= list_.rowCount(view)) return 0;
        if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
            const std::string_view text = list_.columnText(view, item.iItem, item.iSubItem);
            const std::size_t n =
                std::min(text.size(), static_cast<std::size_t>(item.cchTextMax - 1));
            text.copy(item.pszText, n);
            item.pszText[n] = '\0';
            asOneLine(item.pszText, n); // line breaks and tabs would show as boxes
            // Centred columns would be clipped at both ends: a text too long for its
            // column is cut at the end with an ellipsis instead.
            if (item.iSubItem > 0 && viewStyle_ == 3)
                fitToColumn(header.hwndFrom, item.iSubItem, item.pszText, static_cast<int>(n),
                            item.cchTextMax);
        }
        if (item.mask & LVIF_IMAGE) item.iImage = list_.row(view, item.iItem).icon;
        return 0;
    }
    case LVN_ITEMCHANGED: {
        const auto& change = reinterpret_cast<NMLISTVIEW&>(header);
        if ((change.uChanged & LVIF_STATE) &&
            ((change.uNewState ^ change.uOldState) & LVIS_SELECTED)) {
            const bool selected = (change.uNewState & LVIS_SELECTED) != 0;
            if (!pushingSelection_) {
                if (change.iItem < 0)
                    list_.selectAllRows(view, selected);
                else
                    list_.setSelected(view, change.iItem, selected);
                rowSelectionChanged(view);
            }
        }
        return 0;
    }
    case LVN_ODSTATECHANGED: {
        const auto& change = reinterpret_cast<NMLVODSTATECHANGE&>(header);
        if (!pushingSelection_ && ((change.uNewState ^ change.uOldState) & LVIS_SELECTED)) {
            list_.setSelectedRange(view, change.iFrom, change.iTo,
                                   (change.uNewState & LVIS_SELECTED) != 0);
            rowSelectionChanged(view);
        }
        return 0;
    }
    case NM_DBLCLK:
        if (services_.rowDoubleClicked) services_.rowDoubleClicked();
        return 0;
    case LVN_COLUMNCLICK:
        sortByColumn(reinterpret_cast<NMLISTVIEW&>(header).iSubItem);
        return 0;
    case NM_CLICK:
        listClicked();
        return 0;
    case NM_RCLICK: {
        listClicked();
        POINT at{};
        GetCursorPos(&at);
        if (TMenu* menu = this->menu("pmCopy")) menu->popup(handle(), at);
        return 0;
    }
    case NM_KILLFOCUS:
        listLostFocus();
        return 0;
    case NM_CUSTOMDRAW: {
        auto& draw = reinterpret_cast<NMLVCUSTOMDRAW&>(header);
        if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
        if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
            if (viewStyle_ == 3) {
                draw.clrTextBk = (draw.nmcd.dwItemSpec % 2) ? kOddRow : RGB(255, 255, 255);
            }
            return CDRF_DODEFAULT;
        }
        return CDRF_DODEFAULT;
    }
    default:
        return 0;
    }
}

LRESULT TfrmMain::onNotify(NMHDR& header) {
    if (header.idFrom == kIdListPassword) return listNotify(EntryView::lvPassword, header);
    if (header.idFrom == kIdListSub) return listNotify(EntryView::lvSub, header);
    return TForm::onNotify(header);
}

void TfrmMain::onCommand(int id, int notifyCode, HWND from) {
    if (from == nullptr && notifyCode == 0 && id >= static_cast<int>(kLanguageCommandBase) &&
        services_.languageCommand && services_.languageCommand(static_cast<UINT>(id)))
        return;
    TForm::onCommand(id, notifyCode, from);
}

CommandState TfrmMain::commandState() {
    CommandState state;
    state.loggedIn = session_.noteActivity();
    state.hasRows = list_.rowCount(EntryView::lvPassword) > 0;
    const std::optional<int> current = state.loggedIn ? list_.currentEntry() : std::nullopt;
    state.current = current.has_value();
    state.currentIsLink =
        current && list_.row(EntryView::lvPassword, *current).record->type == kEntryLink;
    state.clipboardHasText = IsClipboardFormatAvailable(CF_TEXT) != FALSE;
    state.searchTextExists = services_.searchTextExists && services_.searchTextExists();
    state.modified = session_.modified();
    return state;
}

void TfrmMain::updateMenuState(HMENU menuHandle) {
    const CommandState state = commandState();
    for (const char* name :
         {"pmAccount", "pmOperation", "pmEntries", "pmTools", "pmHelp", "pmCopy", "pmView"}) {
        TMenu* menu = this->menu(name);
        if (!menu) continue;
        for (TMenuItem* item : menu->items()) {
            if (item->parentMenu() != menuHandle || item->isSeparator() ||
                item->commandId() < kMenuCommandBase) {
                continue;
            }
            const auto id = static_cast<CommandId>(item->commandId() - kMenuCommandBase);
            const CommandDef& command = commandDef(id);
            item->setEnabled(isEnabled(command.rule, state));
            if (id == CommandId::PasswordGuard) item->setChecked(settings_.guard);
            if (command.menu == MenuId::View) item->setChecked(command.tag == viewStyle_);
        }
    }
}

void TfrmMain::updateToolButtons() {
    if (!control("tbSaveAccount")) return;
    // The banner's hint tells which account file is open.
    auto& banner = get<TPaintButton>("pbAccount");
    const std::string& file = session_.isLoggedIn() ? session_.fileName() : std::string();
    if (banner.hint() != file) banner.setHint(file);
    CommandState state;
    state.loggedIn = session_.isLoggedIn();
    state.modified = session_.modified();
    for (const CommandDef& command : commandTable()) {
        if (command.menu != MenuId::ToolBar) continue;
        get<TToolButton>(command.name).setActive(isEnabled(command.rule, state));
    }
}

bool TfrmMain::onKeyDown(const KeyPress& key) {
    if (!key.ctrl && !key.alt && !key.shift && key.key == VK_ESCAPE) {
        session_.setBannerText("");
        return true;
    }
    if (!key.ctrl && !key.alt && !key.shift && key.key == VK_RETURN) {
        HWND focus = GetFocus();
        if (session_.noteActivity() &&
            (focus == listView(EntryView::lvPassword) || focus == listView(EntryView::lvSub))) {
            runCommand(CommandId::ToolEditEntry);
            return true;
        }
        return false;
    }
    Shortcut chord{static_cast<std::uint8_t>(key.key), key.ctrl, key.alt, key.shift};
    if (key.key > 0xFF) return false;
    if (std::optional<CommandId> id = commandForShortcut(chord)) {
        runCommand(*id);
        return true;
    }
    return false;
}

bool TfrmMain::closeRequested() {
    switch (session_.closeQuery()) {
    case CloseDecision::Close:
        DestroyWindow(handle());
        return true;
    case CloseDecision::HideToTray:
        hideToTray();
        return false;
    case CloseDecision::Refuse:
        return false;
    }
    return false;
}

void TfrmMain::saveSettingsFile() {
    settings_.last = session_.lastFileName();
    settings_.lastTitle = session_.lastAccountName();
    settings_.backupPath = session_.backupFolder();
    settings_.language = mLanguage.language();
    Win32ProfileStore store(paths_.profileFolder + kSettingsFileName);
    saveSettings(store, settings_);
}

LRESULT TfrmMain::handleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NCPAINT:
        paintFrame();
        return 0;
    case WM_NCACTIVATE:
        paintFrame();
        return TRUE;
    case WM_INITMENUPOPUP:
        updateMenuState(reinterpret_cast<HMENU>(wParam));
        return 0;
    case WM_MEASUREITEM:
        if (measureMenuImage(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam))) return TRUE;
        break;
    case WM_DRAWITEM:
        if (drawMenuImage(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
        break;
    case WM_TIMER:
        if (wParam == kGuardTimer) {
            session_.guardTick();
            updateToolButtons();
            return 0;
        }
        if (wParam == kPasswordTimer) {
            passwordTimerTick();
            return 0;
        }
        break;
    case WM_CLOSE:
        closeRequested();
        return 0;
    case WM_QUERYENDSESSION: {
        const bool allowed = session_.queryEndSession();
        if (allowed) saveSettingsFile();
        return allowed ? TRUE : FALSE;
    }
    case WM_DESTROY:
        if (!closing_) {
            closing_ = true;
            KillTimer(handle(), kGuardTimer);
            KillTimer(handle(), kPasswordTimer);
            saveSettingsFile();
            PostQuitMessage(0);
        }
        break;
    default:
        break;
    }
    return TForm::handleMessage(msg, wParam, lParam);
}

} // namespace kh
