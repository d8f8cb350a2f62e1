// The clipboard commands (copy, cut, delete, replace, select all, open a link), the
// double-click on a row, and the Password Guard's window (TfrmGuard), which this feature
// owns.
#pragma once

#include "clipboard_commands.h"
#include "feature_handler.h"
#include "tfrm_guard.h"

#include <functional>
#include <memory>

namespace kh {

class ClipboardFeature : public FeatureHandler {
  public:
    // `texts`: the words of the entry text form in the language in force; `commands`: runs
    // Edit for a double-click that edits.
    ClipboardFeature(Session& session, const Settings& settings, const MessageTable& messages,
                     Clipboard& clipboard, PasswordGuard& guard, Shell& shell,
                     MainWindowControl& window, std::function<InterchangeTexts()> texts,
                     CommandRunner& commands);
    ~ClipboardFeature() override;
    void run(CommandId action) override;
    void createWindows() override;
    // A double-click on a row of either list.
    void rowDoubleClicked();
    ClipboardCommands& commands() { return commands_; }
    // The guard's window once a copy has created it; null before.
    TfrmGuard* guardWindow() const { return guardWindow_.get(); }

  private:
    const MessageTable& messages_;
    PasswordGuard& guard_;
    CommandRunner& runner_;
    ClipboardCommands commands_;
    std::unique_ptr<TfrmGuard> guardWindow_;
};

} // namespace kh
