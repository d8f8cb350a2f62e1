#pragma once
// The main window: painted caption bar, menu buttons, command tool bar, account banner,
// type tabs, the two entry lists, comment window and status bar. It owns the models (the
// session with its entry list, the settings, the message table and the language) and the
// platform services, builds its menus and tool bar from the command table, and hands each
// command to the handler of its feature. The window itself only shows the models: it
// listens to the entry list's change event and repaints.
#include "app_context.h"
#include "command_table.h"
#include "entry_list.h"
#include "language.h"
#include "message_table.h"
#include "password_guard.h"
#include "services/win32_services.h"
#include "session.h"
#include "settings.h"
#include "win32/form.h"
#include "win32/gdi.h"
#include "win32/menu.h"
#include "win32/skin_controls.h"

#include <windows.h>

#include <array>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace kh {

class TfrmKeyhavenLogin;

class TfrmMain : public TForm, public SessionUi, public EntryListHost, public MainWindowControl {
  public:
    explicit TfrmMain(AppPaths paths);
    ~TfrmMain() override;

    // Builds the window hidden: message table, settings, language, the login dialog and
    // every feature's handler.
    bool createMain();
    // The first show: centred in the work area, then the login for `commandLineFile` (or
    // the last account when the Wizard setting is on). False when the program should end.
    bool firstShow(const std::string& commandLineFile);
    // Runs a command as its menu item, tool button or key does.
    void runCommand(CommandId id);

    Session& session() { return session_; }
    EntryList& entries() { return list_; }
    Settings& settings() { return settings_; }
    MessageTable& messages() { return messages_; }
    QLanguage& language() { return mLanguage; }
    TfrmKeyhavenLogin& loginDialog() { return *login_; }
    const AppPaths& paths() const { return paths_; }
    AppContext& context() { return *context_; }
    PasswordGuard& guard() { return guard_; }
    StartState& startState() { return start_; }
    // A feature's handler (tests reach the windows through it).
    FeatureHandler* feature(Feature feature) const;
    // Replaces a feature's handler (the program installs its features at creation).
    void setFeature(Feature feature, std::unique_ptr<FeatureHandler> handler);

    // The Win32 list view that shows a list, and the visible one.
    HWND visibleListView() const;
    HWND listView(EntryView list) const;
    const std::string& bannerText() const { return banner_; }
    const std::string& statusText() const { return status_; }
    bool commentVisible() const;
    int viewStyle() const { return viewStyle_; }
    // The save dialog of an account file: for a save, or for a backup copy.
    FileDialogRequest accountSaveRequest(const std::string& start, bool backup) const;
    // Writes config.ini now (also done when the window is destroyed).
    void saveSettingsFile();
    // After the language changed: window texts, columns, type names, banner.
    void languageLoaded();

    // SessionUi. Virtual so tests can answer the boxes and dialogs themselves.
    bool yesNoBox(const std::string& caption, const std::string& text) override;
    void warningBox(const std::string& caption, const std::string& text) override;
    void setStatusText(const std::string& text) override;
    void setBanner(const std::string& text) override;
    void setBusyCursor(bool busy) override;
    std::optional<std::string> saveFileDialog(const std::string& start,
                                              bool backup = false) override;
    std::optional<std::string> openFileDialog(const std::string& start) override;
    void sessionStarted(bool modified) override;
    void sessionEnded() override;
    void modifiedChanged(bool modified) override;
    void setLogoRunning(bool running) override;
    bool loginDialogShowing() override;
    void bringLoginDialogToFront() override;
    LoginPrompt runLoginDialog(const std::string& file, const std::string& name) override;
    LoginPrompt waitForLoginDialog(const std::function<bool()>& done) override;
    void setLoginDialogOnTop(bool onTop) override;
    std::optional<WizardAccount> runAccountWizard(bool import) override;
    void showMainWindow() override;

    // EntryListHost
    bool isLoggedIn() override { return session_.isLoggedIn(); }
    void setModified(bool modified) override { session_.setModified(modified); }

    // MainWindowControl
    bool mainWindowVisible() override;
    void hideToTray() override;
    void restoreFromTray() override;
    void showRow(int masterRow) override;
    // Until the notification area takes the program, hiding to it minimises instead.
    std::function<void()> OnHideToTray;
    std::function<void()> OnRestoreFromTray;

    // Timers of the window.
    static constexpr UINT_PTR kGuardTimer = 1;    // idle seconds and automatic logout
    static constexpr UINT_PTR kPasswordTimer = 2; // tPassword: banner password display
    static constexpr UINT kGuardInterval = 2000;
    static constexpr UINT kPasswordInterval = 1000;

    // Tab strip and sorting, as a click does them.
    bool chooseTab(int index);
    void sortByColumn(int column);
    void setViewStyle(int style);
    void toggleComment();
    // Clicking a list row: the banner shows the current entry's password for a while.
    void listClicked();
    void passwordTimerTick();
    // Menu items of commands carry this plus the command's id.
    static constexpr int kMenuCommandBase = 100;
    // A popup menu of the command table's items for `menuId` (those of `submenuOf` below
    // its submenu item), with their pictures, each running its command.
    TMenu& addCommandMenu(const char* name, MenuId menuId, MenuId submenuOf);
    // Sends the menu of a command's drop-down or the view menu below a control.
    void popupMenu(const char* menuName, HWND below);
    // Items of the language menu after its fixed ones (language\*.lng, found at the first
    // show); their command ids start here.
    void addLanguageItems(const std::vector<std::pair<std::string, UINT>>& items);

    // The view commands (view styles, the comment window, the view menu): the window's
    // own feature.
    void runViewCommand(CommandId action);

  protected:
    LRESULT handleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void onCreate() override;
    bool onKeyDown(const KeyPress& key) override;
    void onCommand(int id, int notifyCode, HWND from) override;
    LRESULT onNotify(NMHDR& header) override;
    void onResize(int width, int height) override;

  private:
    void loadImages();
    void buildMenus();
    void addCommandItem(const CommandDef& command, int level, std::vector<MenuItemDef>& out);
    void buildToolBars();
    void setMenuImages(TMenu& menu);
    bool measureMenuImage(MEASUREITEMSTRUCT& measure);
    bool drawMenuImage(const DRAWITEMSTRUCT& draw);
    void layoutControls();
    void paintCaption(HDC dc, const RECT& client);
    void paintBanner(HDC dc, const RECT& client);
    void paintStatus(HDC dc, const RECT& client);
    void paintFrame();
    void drawTab(HDC dc, int index, const RECT& area, bool selected, bool hot);
    void setupListView(HWND list);
    LRESULT listNotify(EntryView list, NMHDR& header);
    void rowSelectionChanged(EntryView list);
    void listLostFocus();
    void updateCopyImage();
    // The model changed: item counts, the selection when rows moved, the page and tab of
    // the shown type, the comment rule after a rebuild, the tool bar.
    void rowsChanged(RowsChange change);
    void pushSelection(EntryView list);
    void applyCommentRule();
    void setCommentVisible(bool visible);
    void updateMenuState(HMENU menu);
    CommandState commandState();
    void updateToolButtons();
    void setColumnCaptions();
    bool closeRequested();
    // Cuts the row text in `text` (`length` characters, room for `capacity` with the
    // terminator) to the column's width with "..." at the end when it is wider.
    void fitToColumn(HWND list, int column, char* text, int length, int capacity);
    int tabStripWidth();
    std::vector<std::string> tabCaptions() const;
    void applySettingsToSession();

    AppPaths paths_;
    MessageTable messages_;
    QLanguage mLanguage;
    Settings settings_;
    EntryList list_;
    Session session_;
    WindowPrompts prompts_;
    WindowFileDialogs fileDialogs_;
    SystemClipboard clipboard_;
    SystemShell shell_;
    SystemClock clock_;
    PasswordGuard guard_;
    FeatureServices services_;
    StartState start_;
    std::unique_ptr<AppContext> context_;
    std::unique_ptr<TfrmKeyhavenLogin> login_;
    std::array<std::unique_ptr<FeatureHandler>, static_cast<std::size_t>(Feature::Count)> features_;

    ImageList toolImages_;
    ImageList menuImages_;
    ImageList menuImagesGreyed_; // for disabled menu items
    ImageList rowImages_;
    ImageList rowImagesLarge_;
    ImageList tabImages_;
    ImageList logoImages_;
    Bitmap chromeFrame_;
    Bitmap chromeCaption_;
    Bitmap chromeBanner_;
    Bitmap chromeStatus_;
    HICON smallIcon_ = nullptr;
    COLORREF statusColor_ = RGB(236, 239, 247);
    std::deque<std::string> menuCaptions_; // storage behind the menu tables

    std::string banner_;
    std::string status_;
    int passwordTicks_ = 0;
    int viewStyle_ = 3; // Details
    bool firstShowDone_ = false;
    bool closing_ = false;
    bool pushingSelection_ = false;
    bool commentShown_ = false;
    HDC measureDc_ = nullptr; // for fitting column texts
};

} // namespace kh
