#include "features.h"

#include "account/account_feature.h"
#include "browser/browser_feature.h"
#include "clipboard/clipboard_feature.h"
#include "entries/entries_feature.h"
#include "help/help_feature.h"
#include "interchange/interchange_feature.h"
#include "language/language_feature.h"
#include "search/search_feature.h"
#include "session/session_feature.h"
#include "tfrm_main.h"
#include "tools/tools_feature.h"
#include "tray/install_tray.h"

namespace kh {

void installFeatures(TfrmMain& main) {
    AppContext& context = main.context();
    main.setFeature(Feature::Session, std::make_unique<SessionFeature>(context));
    main.setFeature(Feature::Entries, std::make_unique<EntriesFeature>(context));
    main.setFeature(Feature::Clipboard, std::make_unique<ClipboardFeature>(context));
    main.setFeature(Feature::Language, std::make_unique<LanguageFeature>(context));
    main.setFeature(Feature::Help, std::make_unique<HelpFeature>(context));
    main.setFeature(Feature::Tools, std::make_unique<ToolsFeature>(context));
    main.setFeature(Feature::Account, std::make_unique<AccountFeature>(context));
    main.setFeature(Feature::Interchange, std::make_unique<InterchangeFeature>(context));
    main.setFeature(Feature::Search, std::make_unique<SearchFeature>(context));
    installBrowser(main);
    installTray(main);
}

} // namespace kh
