// TfrmMain: the control table, the layout, the window's messages, timers and keys, and what
// the session and the features see of the window. The pictures and painting are in
// main_chrome.cpp, the list views in entry_list_view.cpp, menus and tool bar in
// command_bar.cpp.
#include "tfrm_main.h"

#include "image_ids.h"
#include "resource_ids.h"
#include "text_format.h"

#include <commctrl.h>

#include <algorithm>

namespace kh {
namespace {

// Heights of the fixed bands, in 96-DPI units.
constexpr int kCaptionHeight = 23;
constexpr int kBannerHeight = 20;
constexpr int kStatusHeight = 20;
constexpr int kTabLength = 65;
constexpr int kCommentHeight = 46;
constexpr int kCaptionButton = 19;

// The control table: fixed bands, then the command bar's buttons. Geometry is set again by
// layoutControls on every resize.
std::vector<ControlDef> mainControls() {
    constexpr DWORD kListStyle =
        LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS | LVS_AUTOARRANGE;
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
         .style = kListStyle,
         .commandId = EntryListView::kIdListPassword,
         .parent = "All",
         .options = opt::handCursor},
        {.name = "lvSub",
         .kind = ControlKind::ListView,
         .style = kListStyle,
         .commandId = EntryListView::kIdListSub,
         .parent = "Catagory",
         .options = opt::handCursor},
        {.name = "mmComment",
         .kind = ControlKind::Memo,
         .style = WS_VSCROLL,
         .options = opt::readOnly | opt::hidden | opt::noTabStop},
        {.name = "StatusBar1", .kind = ControlKind::PaintButton},
    };
    addCommandBarControls(defs);
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
    // A pop-up with a sizing frame and a painted caption bar that offers Minimize and Close
    // only, so the system menu offers no Maximize either. It keeps its task bar button:
    // there is no separate application window to carry one.
    design.style =
        WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;
    design.centered = true;
    design.icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_KEYHAVEN));
    return design;
}

std::vector<std::string> tabCaptions(const MessageTable& messages) {
    return {messages.text(Msg::taball), messages.text(Msg::passwordtext),
            messages.text(Msg::linktext), messages.text(Msg::texttext)};
}

} // namespace

TfrmMain::TfrmMain(Session& session, Settings& settings, const MessageTable& messages,
                   CommandRunner& commands, std::function<CommandState()> state)
    : TForm(mainDesign(), mainControlTable()), session_(session), list_(session.entries()),
      settings_(settings), messages_(messages), commands_(commands), state_(std::move(state)),
      chrome_(*this), lists_(*this), bar_(*this),
      started_(session.OnStarted.subscribe([this] { sessionStarted(); })),
      ended_(session.OnEnded.subscribe([this] { sessionEnded(); })),
      modified_(session.OnModifiedChanged.subscribe([this](bool) { bar_.updateToolButtons(); })),
      logo_(session.OnLogoRunning.subscribe([this](bool running) {
          if (!handle()) return;
          if (running)
              abButterFly->start();
          else
              abButterFly->stop();
      })),
      rows_(list_.OnRowsChanged.subscribe([this](RowsChange change) {
          if (!handle()) return;
          lists_.rowsChanged(change);
          if (change >= RowsChange::TypeListRebuilt) {
              const int shown = list_.shownType();
              const int page = shown > 0 ? 1 : 0;
              if (nbPasswords->pageIndex() != page) nbPasswords->setPageIndex(page);
              if (mTabType->tabIndex() != shown) mTabType->setTabIndex(shown);
              if (change == RowsChange::TypeListRebuilt) applyCommentRule();
          }
          bar_.updateToolButtons();
      })) {}

TfrmMain::~TfrmMain() = default;

void TfrmMain::onCreate() {
    // The window is not maximised (its caption bar offers Minimize and Close only).
    if (HMENU system = GetSystemMenu(handle(), FALSE))
        DeleteMenu(system, SC_MAXIMIZE, MF_BYCOMMAND);
    chrome_.attach();
    bar_.attach();
    lists_.attach();

    QTabControl& tabs = *mTabType;
    tabs.setOrientation(TabOrientation::Vertical);
    tabs.setTabWidth(kTabLength);
    tabs.setTabs(tabCaptions(messages_));
    tabs.setTabIndex(0);
    tabs.OnChanging = [this](int index) { return chooseTab(index); };

    // Stored view settings.
    setCommentVisible(settings_.comment);
    settings_.sub = list_.applyStoredTab(settings_.sub);
    if (settings_.sub > 0) {
        const int sub = settings_.sub;
        if (chooseTab(sub)) mTabType->setTabIndex(sub);
    }
    banner_ = messages_.text(Msg::prompting);
    status_ = messages_.text(Msg::loginhint);
    bar_.updateToolButtons();
    layoutControls();
}

bool TfrmMain::chooseTab(int index) {
    if (!list_.chooseTypeTab(index)) return false;
    settings_.sub = list_.shownType();
    if (session_.isLoggedIn()) {
        setStatusText(formatText(messages_.text(Msg::itemcount),
                                 {session_.accountName(), list_.rowCount(list_.visibleList())}));
        applyCommentRule();
    }
    return true;
}

void TfrmMain::runViewCommand(CommandId action) {
    switch (action) {
    case CommandId::ViewLargeIcons:
        lists_.setViewStyle(0);
        break;
    case CommandId::ViewSmallIcons:
        lists_.setViewStyle(1);
        break;
    case CommandId::ViewList:
        lists_.setViewStyle(2);
        break;
    case CommandId::ViewDetails:
        lists_.setViewStyle(3);
        break;
    case CommandId::ToolComment:
        settings_.comment = !settings_.comment;
        setCommentVisible(settings_.comment);
        break;
    case CommandId::ToolStyle:
        bar_.popupMenu("pmView", bar_.toolButton(CommandId::ToolStyle));
        break;
    default:
        break;
    }
}

void TfrmMain::setCommentVisible(bool visible) {
    // Kept as a flag: before the window is first shown, no child counts as visible, and
    // the layout would leave the comment window no room.
    commentShown_ = visible;
    mmComment->setVisible(visible);
    bar_.setToolButtonDown(CommandId::ToolComment, visible);
    // Only the list area changes (the Text tab shows and hides the comment window on
    // every visit); before the first layout there is none to adjust. The lists are
    // resized with their drawing held (each would draw its scroll bars at once).
    if (listTop_ > 0) {
        HeldRedraw hold(nbPasswords->handle());
        layoutListArea();
    } else {
        layoutControls();
    }
    InvalidateRect(lists_.listView(EntryView::lvPassword), nullptr, FALSE);
    InvalidateRect(lists_.listView(EntryView::lvSub), nullptr, FALSE);
}

void TfrmMain::applyCommentRule() {
    const bool visible = commentVisible();
    if (!settings_.comment && list_.shownType() != 3 && visible) {
        setCommentVisible(false);
    } else if (list_.shownType() == 3 && !visible && list_.rowCount(EntryView::lvSub) > 0) {
        setCommentVisible(true);
    }
}

void TfrmMain::languageLoaded(bool showedLoginHint) {
    lists_.setColumnCaptions();
    mTabType->setTabs(tabCaptions(messages_));
    bar_.refreshShortcutTexts();
    // The status bar speaks the new language too: what it said in the old one goes.
    if (session_.isLoggedIn()) {
        setStatusText(formatText(messages_.text(Msg::itemcount),
                                 {session_.accountName(), list_.rowCount(list_.visibleList())}));
    } else if (showedLoginHint || !status_.empty()) {
        setStatusText(messages_.text(Msg::loginhint));
    }
    if (session_.isLoggedIn()) {
        session_.setBannerText("");
    } else {
        setBanner(messages_.text(Msg::prompting));
    }
    layoutControls(); // captions of another length
}

void TfrmMain::onDpiChanged(int oldDpi) {
    chrome_.reloadImages();
    bar_.refreshImages();
    lists_.dpiChanged(oldDpi);
}

void TfrmMain::layoutControls() {
    if (!handle()) return;
    RECT client{};
    GetClientRect(handle(), &client);
    const int w = client.right;
    const int h = client.bottom;
    const int caption = scale(kCaptionHeight);
    const int button = scale(kCaptionButton);
    const int logoSize = scale(images::kLogoFrameSize);
    // Close, minimise and the logo keep to the right end, one pixel apart.
    int x = w - 1 - logoSize;
    abButterFly->setBoundsPx(x, (caption - logoSize) / 2, logoSize, logoSize);
    x -= 1 + button;
    sbMinimize->setBoundsPx(x, (caption - button) / 2, button, button);
    x -= 1 + button;
    sbClose->setBoundsPx(x, (caption - button) / 2, button, button);
    pbCaption->setBoundsPx(0, 0, x, caption);

    int y = caption;
    y += bar_.layout(w, y);

    const int banner = scale(kBannerHeight);
    pbAccount->setBoundsPx(0, y, w, banner);
    y += banner;

    const int status = scale(kStatusHeight);
    StatusBar1->setBoundsPx(0, h - status, w, status);
    mTabType->setBoundsPx(0, y, chrome_.tabStripWidth(), h - status - y);
    listTop_ = y;
    layoutListArea();
}

void TfrmMain::layoutListArea() {
    RECT client{};
    GetClientRect(handle(), &client);
    const int w = client.right;
    const int y = listTop_;
    int bottom = client.bottom - scale(kStatusHeight);
    const int tabWidth = chrome_.tabStripWidth();
    if (commentShown_) {
        const int ch = scale(kCommentHeight);
        mmComment->setBoundsPx(tabWidth, bottom - ch, w - tabWidth, ch);
        bottom -= ch;
    }
    const int listWidth = w - tabWidth;
    const int listHeight = std::max(0, bottom - y);
    nbPasswords->setBoundsPx(tabWidth, y, listWidth, listHeight);
    All->setBoundsPx(0, 0, listWidth, listHeight);
    Catagory->setBoundsPx(0, 0, listWidth, listHeight);
    // The Details column takes what the others leave.
    const int details = std::max(scale(40), listWidth - scale(385));
    for (TNativeControl* list : {&lvPassword.get(), &lvSub.get()}) {
        list->setBoundsPx(0, 0, listWidth, listHeight);
        // A column width set again still lays the columns out and repaints the list.
        if (ListView_GetColumnWidth(list->handle(), kColumnDetails) != details)
            ListView_SetColumnWidth(list->handle(), kColumnDetails, details);
    }
}

void TfrmMain::onResize(int, int) {
    if (pbCaption.bound()) layoutControls();
}

void TfrmMain::setStatusText(const std::string& text) {
    status_ = text;
    if (StatusBar1.bound()) InvalidateRect(StatusBar1->handle(), nullptr, FALSE);
}

void TfrmMain::setBanner(const std::string& text) {
    wipeString(banner_); // it may have shown a password
    banner_ = text;
    if (pbAccount.bound()) InvalidateRect(pbAccount->handle(), nullptr, FALSE);
}

void TfrmMain::setBusy(bool busy) {
    busyDepth_ = std::max(0, busyDepth_ + (busy ? 1 : -1));
    SetCursor(LoadCursorA(nullptr, busyDepth_ > 0 ? IDC_WAIT : IDC_ARROW));
}

void TfrmMain::showMainWindow() {
    if (!IsWindowVisible(handle())) ShowWindow(handle(), SW_SHOWNORMAL);
}

bool TfrmMain::mainWindowVisible() {
    return IsWindowVisible(handle()) != FALSE && !IsIconic(handle());
}

void TfrmMain::hideToTray() {
    if (OnHideToTray) {
        OnHideToTray();
        return;
    }
    // Without a notification-area icon hiding would leave no way back.
    ShowWindow(handle(), SW_MINIMIZE);
}

void TfrmMain::restoreFromTray() {
    if (OnRestoreFromTray) {
        OnRestoreFromTray();
        return;
    }
    ShowWindow(handle(), IsIconic(handle()) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(handle());
}

void TfrmMain::showRow(int masterRow) {
    lists_.showRow(masterRow);
}

void TfrmMain::sessionStarted() {
    if (!handle()) return;
    SetTimer(handle(), kGuardTimer, kGuardInterval, nullptr);
    bar_.updateToolButtons();
    InvalidateRect(pbAccount->handle(), nullptr, FALSE);
}

void TfrmMain::sessionEnded() {
    if (!handle()) return;
    lists_.stopPasswordDisplay();
    mmComment->setText("");
    bar_.updateToolButtons();
    InvalidateRect(pbAccount->handle(), nullptr, FALSE);
}

bool TfrmMain::onKeyDown(const KeyPress& key) {
    if (bar_.keyboardMenuActive() && bar_.keyboardMenuKey(key)) return true;
    if (!key.ctrl && !key.alt && !key.shift && key.key == VK_ESCAPE) {
        session_.setBannerText("");
        return true;
    }
    if (!key.ctrl && !key.alt && !key.shift && key.key == VK_RETURN) {
        HWND focus = GetFocus();
        if (session_.isLoggedIn() && (focus == lists_.listView(EntryView::lvPassword) ||
                                      focus == lists_.listView(EntryView::lvSub))) {
            commands_.runCommand(CommandId::ToolEditEntry);
            return true;
        }
        return false;
    }
    return bar_.runShortcut(key);
}

LRESULT TfrmMain::onNotify(NMHDR& header) {
    if (const std::optional<LRESULT> result = lists_.notify(header)) return *result;
    return TForm::onNotify(header);
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

LRESULT TfrmMain::handleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NCPAINT:
        chrome_.paintFrame();
        return 0;
    case WM_NCACTIVATE:
        chrome_.paintFrame();
        return TRUE;
    case WM_INITMENUPOPUP:
        bar_.updateMenuState(reinterpret_cast<HMENU>(wParam));
        return 0;
    case WM_MENUSELECT:
        bar_.menuSelected(HIWORD(wParam), reinterpret_cast<HMENU>(lParam));
        break;
    case WM_SYSCOMMAND:
        // Alt alone or F10: the window has no menu of its own, its menu buttons are the bar.
        if ((wParam & 0xFFF0) == SC_KEYMENU && lParam == 0) {
            if (bar_.keyboardMenuActive())
                bar_.endKeyboardMenu();
            else
                bar_.beginKeyboardMenu();
            return 0;
        }
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) bar_.endKeyboardMenu();
        break;
    case WM_MEASUREITEM:
        if (bar_.measureMenuImage(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam))) return TRUE;
        break;
    case WM_DRAWITEM:
        if (bar_.drawMenuImage(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
        break;
    case WM_SETCURSOR:
        // Long work that lets messages through keeps its hourglass.
        if (busyDepth_ > 0) {
            SetCursor(LoadCursorA(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_TIMER:
        if (wParam == kGuardTimer) {
            session_.guardTick();
            bar_.updateToolButtons();
            return 0;
        }
        if (wParam == kPasswordTimer) {
            lists_.passwordTimerTick();
            return 0;
        }
        break;
    case WM_CLOSE:
        closeRequested();
        return 0;
    case WM_DESTROY:
        if (!closing_) {
            closing_ = true;
            KillTimer(handle(), kGuardTimer);
            KillTimer(handle(), kPasswordTimer);
        }
        break;
    default:
        break;
    }
    return TForm::handleMessage(msg, wParam, lParam);
}

} // namespace kh
