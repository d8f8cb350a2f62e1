#include "tools_feature.h"

#include "app_folders.h"
#include "busy_cursor.h"
#include "text_format.h"

namespace kh {
namespace {

constexpr char kRemoveFilter[] = "XML File|*.xml|Keyhaven Files|*.khk|All Files|*.*";

} // namespace

ToolsFeature::ToolsFeature(Session& session, Settings& settings, Event<>& settingsChanged,
                           const MessageTable& messages, Clipboard& clipboard, PasswordGuard& guard,
                           FileDialogs& fileDialogs, HotkeyRegistration& hotkey,
                           BusyIndicator& busy, const AppPaths& paths, std::function<HWND()> owner)
    : session_(session), settings_(settings), settingsChanged_(settingsChanged),
      messages_(messages), clipboard_(clipboard), guard_(guard), fileDialogs_(&fileDialogs),
      hotkey_(hotkey), busy_(busy), paths_(paths), owner_(std::move(owner)) {}

ToolsFeature::~ToolsFeature() = default;

void ToolsFeature::run(CommandId action) {
    switch (action) {
    case CommandId::PasswordGuard:
        // A running count goes on: turning the guard off only affects the next copy.
        settings_.guard = !settings_.guard;
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
    if (!generator_) generator_ = std::make_unique<TfrmGenerator>(messages_, clipboard_, guard_);
    return *generator_;
}

TfrmSetting& ToolsFeature::settingsDialog() {
    if (!setting_) setting_ = std::make_unique<TfrmSetting>(messages_, win32Folders());
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
    Session& session = session_;
    const MessageTable& messages = messages_;
    if (!session.askYesNo(formatText(messages.text(Msg::removeprompt), {path}))) return false;

    RemoveOutcome outcome;
    {
        const BusyCursor hourglass([this](bool on) { busy_.setBusy(on); });
        // After a quit message, nothing more is handled here: the outer loop ends the run.
        bool pumping = true;
        outcome = remover_.remove(path, [&pumping] {
            if (pumping) pumping = processPendingMessages();
        });
    }
    if (outcome == RemoveOutcome::Busy) return false;
    const bool removed = outcome == RemoveOutcome::Removed;
    if (removed)
        session.showInformation(formatText(messages.text(Msg::removeok), {path}));
    else
        session.showWarning(formatText(messages.text(Msg::removefilefailed), {path}));
    return removed;
}

bool ToolsFeature::preferences() {
    TfrmSetting& dialog = settingsDialog();
    if (dialog.isModal()) {
        dialog.bringToFront();
        return false;
    }
    // The hotkey field must be able to receive the program's own chord while it is open.
    hotkey_.setHotkeyRegistered(false);

    std::string backupFolder = session_.backupFolder();
    const bool confirmed =
        dialog.edit(owner_ ? owner_() : nullptr, settings_, backupFolder, paths_.programFolder);
    if (confirmed) {
        settings_.backupPath = backupFolder;
        session_.setBackupFolder(backupFolder);
        settingsChanged_();
    }
    // Whatever the answer, the hotkey comes back as the setting now says.
    hotkey_.setHotkeyRegistered(true);
    return confirmed;
}

} // namespace kh
