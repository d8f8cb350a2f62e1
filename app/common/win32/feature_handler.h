// The shape of a feature's handler: it owns the feature's windows and runs the commands of
// the command table that name its feature. The App creates every handler with the narrow
// interfaces it uses and hands it its commands; changes of the models reach it through
// their events.
#pragma once

#include "command_table.h"

namespace kh {

class FeatureHandler {
  public:
    virtual ~FeatureHandler() = default;
    // `action` is the command whose action runs (a twin's target already resolved).
    virtual void run(CommandId action) = 0;
    // Creates the feature's windows now (hidden), so that the translators' template holds
    // their texts; they are otherwise made on first use.
    virtual void createWindows() {}
    // A language is about to replace the messages (they still hold the old texts).
    virtual void languageChanging() {}
    // A language was loaded: texts that the windows do not translate themselves.
    virtual void languageLoaded() {}
};

} // namespace kh
