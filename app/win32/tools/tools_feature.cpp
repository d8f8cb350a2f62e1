#include "tools_feature.h"

namespace kh {

void ToolsFeature::run(CommandId action) {
    switch (action) {
    case CommandId::PasswordGuard:
        // A running count goes on: turning the guard off only affects the next copy.
        context_.settings.guard = !context_.settings.guard;
        break;
    default:
        break;
    }
}

} // namespace kh
