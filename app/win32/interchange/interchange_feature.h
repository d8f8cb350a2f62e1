// XML export and import: the export commands (all rows or the selected ones) and the
// imports from an XML file and from the clipboard.
#pragma once

#include "app_context.h"
#include "interchange_commands.h"

namespace kh {

class InterchangeFeature : public FeatureHandler {
  public:
    explicit InterchangeFeature(AppContext& context);
    void run(CommandId action) override;
    InterchangeCommands& commands() { return commands_; }

  private:
    InterchangeCommands commands_;
};

} // namespace kh
