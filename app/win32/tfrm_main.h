#pragma once
// The main window, a view of the open account: painted caption bar, menu buttons, command
// tool bar, account banner, type tabs, the two entry lists, comment window and status bar.
// It shows the session and its entry list and listens to their events; commands go to the
// App, which hands each to its feature. Its parts live in files of their own: the chrome
// (pictures and painting), the entry list view and the command bar.
#include "command_bar.h"
#include "entry_list_view.h"
#include "main_chrome.h"
#include "message_table.h"
#include "services.h"
#include "session.h"
#include "settings.h"
#include "win32/form.h"
#include "win32/skin_controls.h"

#include <windows.h>

#include <functional>
#include <string>

namespace kh {

class TfrmMain : public TForm, public SessionView, public MainWindowControl, public BusyIndicator {
  public:
    // `state` tells the menus and tool buttons which commands are enabled.
    TfrmMain(Session& session, Settings& settings, const MessageTable& messages,
             CommandRunner& commands, std::function<CommandState()> state);
    ~TfrmMain() override;

    // Timers of the window.
    static constexpr UINT_PTR kGuardTimer = 1;    // idle seconds and automatic logout
    static constexpr UINT_PTR kPasswordTimer = 2; // tPassword: banner password display
    static constexpr UINT kGuardInterval = 2000;
    static constexpr UINT kPasswordInterval = 1000;

    EntryListView& lists() { return lists_; }
    CommandBar& commandBar() { return bar_; }
    const std::string& bannerText() const { return banner_; }
    const std::string& statusText() const { return status_; }
    bool commentVisible() const { return commentShown_; }
    // A click on a type tab; false when it was refused.
    bool chooseTab(int index);
    // The view commands: view styles, the comment window, the view menu.
    void runViewCommand(CommandId action);
    // After the language changed: columns, tabs, banner, the status bar's login hint when
    // it showed it, and the layout.
    void languageLoaded(bool showedLoginHint);

    // Until the notification area takes the program, hiding to it minimises instead.
    std::function<void()> OnHideToTray;
    std::function<void()> OnRestoreFromTray;

    // SessionView
    void setStatusText(const std::string& text) override;
    void setBanner(const std::string& text) override;
    void setBusyCursor(bool busy) override { setBusy(busy); }
    void showMainWindow() override;
    // BusyIndicator: the hourglass stays over the window while busy, also when messages
    // are handled meanwhile.
    void setBusy(bool busy) override;

    // MainWindowControl
    bool mainWindowVisible() override;
    void hideToTray() override;
    void restoreFromTray() override;
    void showRow(int masterRow) override;

  protected:
    LRESULT handleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void onCreate() override;
    bool onKeyDown(const KeyPress& key) override;
    LRESULT onNotify(NMHDR& header) override;
    void onResize(int width, int height) override;
    void onDpiChanged(int oldDpi) override;

  private:
    friend class MainChrome;
    friend class EntryListView;
    friend class CommandBar;

    void layoutControls();
    // The comment window, the notebook and the list views below the tab strip's top.
    void layoutListArea();
    void setCommentVisible(bool visible);
    // The comment window shows while the Text tab is, or while the setting says so.
    void applyCommentRule();
    void sessionStarted();
    void sessionEnded();
    bool closeRequested();

    Session& session_;
    EntryList& list_;
    Settings& settings_;
    const MessageTable& messages_;
    CommandRunner& commands_;
    std::function<CommandState()> state_;

    Ctl<TPaintButton> pbCaption{*this, "pbCaption"};
    Ctl<TPaintButton> sbClose{*this, "sbClose"};
    Ctl<TPaintButton> sbMinimize{*this, "sbMinimize"};
    Ctl<QAnimatedButton> abButterFly{*this, "abButterFly"};
    Ctl<TContainer> ToolBar2{*this, "ToolBar2"};
    Ctl<TContainer> ToolBar1{*this, "ToolBar1"};
    Ctl<TPaintButton> pbAccount{*this, "pbAccount"};
    Ctl<QTabControl> mTabType{*this, "mTabType"};
    Ctl<TContainer> nbPasswords{*this, "nbPasswords"};
    Ctl<TContainer> All{*this, "All"};
    Ctl<TContainer> Catagory{*this, "Catagory"};
    Ctl<TNativeControl> lvPassword{*this, "lvPassword"};
    Ctl<TNativeControl> lvSub{*this, "lvSub"};
    Ctl<TNativeControl> mmComment{*this, "mmComment"};
    Ctl<TPaintButton> StatusBar1{*this, "StatusBar1"};

    MainChrome chrome_;
    EntryListView lists_;
    CommandBar bar_;

    std::string banner_;
    std::string status_;
    int busyDepth_ = 0;
    bool closing_ = false;
    bool commentShown_ = false;
    int listTop_ = 0; // client y of the list area, 0 before the first layout
    Event<>::Subscription started_, ended_;
    Event<bool>::Subscription modified_, logo_;
    Event<RowsChange>::Subscription rows_;
};

} // namespace kh
