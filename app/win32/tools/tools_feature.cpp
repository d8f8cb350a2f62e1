#include "tools_feature.h"

#include "app_folders.h"
#include "text_format.h"

namespace kh {
namespace {

constexpr char kRemoveFilter[] = "XML File|*.xml|Keyhaven Files|*.khk|All Files|*.*";

// The hourglass while a file is overwritten; the main window keeps showing it while it
// handles the messages let through between blocks.
class BusyCursor {
  public:
    explicit BusyCursor(bool& busy)
        : busy_(busy), previous_(SetCursor(LoadCursorA(nullptr, IDC_WAIT))) {
        busy_ = true;
    }
    ~BusyCursor() {
        busy_ = false;
        SetCursor(previous_ ? previous_ : LoadCursorA(nullptr, IDC_ARROW));
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

  private:
    bool& busy_;
    HCURSOR previous_;
};

} // namespace

ToolsFeature::ToolsFeature(AppContext& context)
    : context_(context), fileDialogs_(&context.fileDialogs) {
    if (!context_.hookMainWindow) return;
    context_.hookMainWindow([removing = removing_](UINT msg, WPARAM, LPARAM, LRESULT& result) {
        if (msg != WM_SETCURSOR || !*removing) return false;
        SetCursor(LoadCursorA(nullptr, IDC_WAIT));
        result = TRUE;
        return true;
    });
}

ToolsFeature::~ToolsFeature() = default;

void ToolsFeature::run(CommandId action) {
    switch (action) {
    case CommandId::PasswordGuard:
        // A running count goes on: turning the guard off only affects the next copy.
        context_.settings.guard = !context_.settings.guard;
        break;
    case CommandId::SecureFileRemover:
        removeFile();
        break;
    case CommandId::PasswordGenerator:
        openGenerator();
        break;
    case CommandId::Preferences:
        preferences();
        break;
    default:
        break;
    }
}

void ToolsFeature::languageLoaded() {
    if (generator_ && generator_->handle()) generator_->updateStrength();
}

TfrmGenerator& ToolsFeature::generator() {
    if (!generator_)
        generator_ =
            std::make_unique<TfrmGenerator>(context_.messages, context_.clipboard, context_.guard);
    return *generator_;
}

TfrmSetting& ToolsFeature::settingsDialog() {
    if (!setting_) setting_ = std::make_unique<TfrmSetting>(context_.messages, win32Folders());
    return *setting_;
}

void ToolsFeature::openGenerator() {
    generator().open();
}

bool ToolsFeature::removeFile(std::string path) {
    if (remover_.busy()) return false;
    if (path.empty()) {
        const std::optional<std::string> chosen =
            fileDialogs_->openFile({kRemoveFilter, 1, "", false, ""});
        if (!chosen) return false;
        path = *chosen;
    }
    Session& session = context_.session;
    const MessageTable& messages = context_.messages;
    if (!session.askYesNo(formatText(messages.text(Msg::removeprompt), {path}))) return false;

    RemoveOutcome outcome;
    {
        BusyCursor busy(*removing_);
        // After a quit message, nothing more is handled here: the outer loop ends the run.
        bool pumping = true;
        outcome = remover_.remove(path, [&pumping] {
            if (pumping) pumping = processPendingMessages();
        });
    }
    if (outcome == RemoveOutcome::Busy) return false;
    const bool removed = outcome == RemoveOutcome::Removed;
    session.showWarning(
        formatText(messages.text(removed ? Msg::removeok : Msg::removefilefailed), {path}));
    return removed;
}

bool ToolsFeature::preferences() {
    TfrmSetting& dialog = settingsDialog();
    if (dialog.isModal()) {
        dialog.bringToFront();
        return false;
    }
    FeatureServices& services = context_.services;
    Settings& settings = context_.settings;
    // The hotkey field must be able to receive the program's own chord while it is open.
    if (services.setHotkeyRegistered) services.setHotkeyRegistered(false);

    const HWND main = context_.mainWindow();
    std::string backupFolder = context_.session.backupFolder();
    const bool confirmed = dialog.edit(main && IsWindowVisible(main) ? main : nullptr, settings,
                                       backupFolder, context_.paths.programFolder);
    if (confirmed) {
        settings.backupPath = backupFolder;
        context_.session.setBackupFolder(backupFolder);
        if (services.settingsChanged) services.settingsChanged();
        if (services.updateBrowserMenu) services.updateBrowserMenu(settings.withIE);
        if (services.applyAutorun) services.applyAutorun();
    }
    // Whatever the answer, the hotkey comes back as the setting now says.
    if (services.setHotkeyRegistered) services.setHotkeyRegistered(true);
    return confirmed;
}

} // namespace kh
