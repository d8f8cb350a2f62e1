#include "interchange_feature.h"

#include "interchange_texts.h"

#include <windows.h>

namespace kh {

InterchangeFeature::InterchangeFeature(AppContext& context)
    : commands_(
          context.session, context.entries, context.messages, context.clipboard, context.guard,
          context.fileDialogs,
          [&context] {
              return interchangeTexts(context.messages, !context.language.language().empty());
          },
          [](bool busy) { SetCursor(LoadCursorA(nullptr, busy ? IDC_WAIT : IDC_ARROW)); }) {}

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
    case CommandId::ImportFromClipboard:
        commands_.importClipboard();
        break;
    default:
        break;
    }
}

} // namespace kh
