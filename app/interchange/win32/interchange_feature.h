// XML export and import: the export commands (all rows or the selected ones) and the
// imports from an XML file and from the clipboard.
#pragma once

#include "feature_handler.h"
#include "interchange_commands.h"

namespace kh {

class InterchangeFeature : public FeatureHandler {
  public:
    // `texts`: the words of the entry text form in the language in force.
    InterchangeFeature(Session& session, const MessageTable& messages, Clipboard& clipboard,
                       PasswordGuard& guard, FileDialogs& dialogs,
                       std::function<InterchangeTexts()> texts, BusyIndicator& busy);
    void run(CommandId action) override;
    InterchangeCommands& commands() { return commands_; }

  private:
    InterchangeCommands commands_;
};

} // namespace kh
