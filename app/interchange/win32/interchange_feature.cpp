#include "interchange_feature.h"

namespace kh {

InterchangeFeature::InterchangeFeature(Session& session, const MessageTable& messages,
                                       Clipboard& clipboard, PasswordGuard& guard,
                                       FileDialogs& dialogs,
                                       std::function<InterchangeTexts()> texts, BusyIndicator& busy)
    : commands_(session, session.entries(), messages, clipboard, guard, dialogs, std::move(texts),
                [&busy](bool on) { busy.setBusy(on); }) {}

void InterchangeFeature::run(CommandId action) {
    switch (action) {
    case CommandId::ExportAllEntriesToXml:
        commands_.exportEntries(false);
        break;
    case CommandId::ExportSelectedEntries:
        commands_.exportEntries(true);
        break;
    case CommandId::ImportFromXmlFile:
        commands_.importXmlFile();
        break;
    case CommandId::ImportFromOtherManager:
        commands_.importOtherFile();
        break;
    case CommandId::ImportFromClipboard:
        commands_.importClipboard();
        break;
    default:
        break;
    }
}

} // namespace kh
