#pragma once
// The main window: painted caption bar, menu buttons, command tool bar, account banner,
// type tabs, the two entry lists, comment window and status bar. It owns the session, the
// entry list model, the settings, the message table and the language component, and
// routes every command to the feature file that runs it (main_commands.cpp and friends).
#include "command_table.h"
#include "entry_list.h"
#include "language.h"
#include "message_table.h"
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

// Where the program keeps its files; resolved once at start.
struct AppPaths {
    std::string programFolder; // ends with "\"
    std::string profileFolder; // ends with "\"; holds config.ini
};

class TfrmMain : public TForm, public SessionUi, public SessionEntries, public EntryListHost {
  public:
    explicit TfrmMain(AppPaths paths);
    ~TfrmMain() override;

    // Builds the window hidden: message table, settings, language, the login dialog.
    bool createMain();
    // The first show: centred in the work area, then the login for `commandLineFile` (or
    // the last account when the Wizard setting is on). False when the program should end.
    bool firstShow(const std::string& commandLineFile);
    void runCommand(CommandId id);
    // The language menu lists language\*.lng at the first show; choosing one loads it
    // (an empty path brings English back) and keeps it for the next start.
    void buildLanguageMenu();
    void chooseLanguage(const std::string& path);
    const std::vector<std::string>& languageFiles() const { return languageFiles_; }
    static constexpr UINT kLanguageCommandBase = 5000;

    Session& session() { return session_; }
    EntryList& entries() { return list_; }
    Settings& settings() { return settings_; }
    const MessageTable& messages() const { return messages_; }
    QLanguage& language() { return mLanguage; }
    TfrmKeyhavenLogin& loginDialog() { return *login_; }
    const AppPaths& paths() const { return paths_; }

    // The Win32 list view that shows the visible list, and its selection.
    HWND visibleListView() const;
    HWND listView(EntryView list) const;
    std::vector<int> selectedRows() const;
    // The list views follow the model: row counts, then a repaint.
    void refreshLists();
    // Selects one row of the visible list and scrolls it and its twin into view.
    void showRow(EntryView list, int index);
    const std::string& bannerText() const { return banner_; }
    const std::string& statusText() const { return status_; }
    bool commentVisible() const;
    int viewStyle() const { return viewStyle_; }
    // Writes config.ini now (also done when the window is destroyed).
    void saveSettingsFile();

    // SessionUi. Virtual so tests can answer the boxes and dialogs themselves.
    bool yesNoBox(const std::string& caption, const std::string& text) override;
    void warningBox(const std::string& caption, const std::string& text) override;
    void setStatusText(const std::string& text) override;
    void setBanner(const std::string& text) override;
    void setBusyCursor(bool busy) override;
    std::optional<std::string> saveFileDialog(const std::string& start) override;
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

    // SessionEntries
    void clearEntries() override;
    void addLoadedEntries(std::vector<AccountEntry>& entries) override;
    std::vector<AccountEntry> entriesToWrite() override;
    void normalizeAfterSave(std::span<const AccountEntry> written) override;
    std::size_t rowCount() const override;
    bool rebuildTypeList() override;

    // EntryListHost
    bool isLoggedIn() override { return session_.isLoggedIn(); }
    void setModified(bool modified) override { session_.setModified(modified); }

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

  protected:
    LRESULT handleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void onCreate() override;
    bool onKeyDown(const KeyPress& key) override;
    void onCommand(int id, int notifyCode, HWND from) override;
    LRESULT onNotify(NMHDR& header) override;
    void onResize(int width, int height) override;

  private:
    // main_window.cpp
    void loadImages();
    void buildMenus();
    void buildToolBars();
    void setMenuImages();
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
    // Owner-data list views keep their selection by row number: when the model moves or
    // drops rows, the selection must follow the entries, never land on others.
    std::vector<const RowRecord*> selectedRecords(EntryView list) const;
    void reselect(EntryView list, const std::vector<const RowRecord*>& records);
    void applyCommentRule();
    void setCommentVisible(bool visible);
    void updateMenuState(HMENU menu);
    CommandState commandState();
    void updateToolButtons();
    void setColumnCaptions();
    void languageLoaded();
    void popupMenu(const char* menuName, HWND below);
    bool closeRequested();

    // main_commands.cpp
    void runSessionCommand(CommandId id);
    void runEntryCommand(CommandId id);
    void runViewCommand(CommandId id);
    void runHelpCommand(CommandId id);
    void deleteCommand(int tag);
    void undeleteCommand();
    void selectAllCommand();

    // main_language.cpp
    bool languageCommand(int id);
    void runLanguageCommand(CommandId id);

    AppPaths paths_;
    MessageTable messages_;
    QLanguage mLanguage;
    Settings settings_;
    EntryList list_;
    Session session_;
    std::unique_ptr<TfrmKeyhavenLogin> login_;

    ImageList toolImages_;
    ImageList menuImages_;
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
    std::deque<std::string> menuCaptions_;   // storage behind the menu tables
    std::vector<Bitmap> menuBitmaps_;        // item pictures, alive as long as the menus
    std::vector<std::string> languageFiles_; // bare names, by language menu command

    std::string banner_;
    std::string status_;
    int passwordTicks_ = 0;
    int viewStyle_ = 3; // Details
    bool firstShowDone_ = false;
    bool closing_ = false;
};

} // namespace kh
