#include "search_feature.h"

namespace kh {

SearchFeature::SearchFeature(Session& session, const MessageTable& messages,
                             MainWindowControl& window, std::function<HWND()> owner)
    : session_(session), owner_(std::move(owner)),
      finder_(session, session.entries(), messages, window),
      dialog_(std::make_unique<TfrmFinder>(finder_)), ended_(session.OnEnded.subscribe([this] {
          dialog_->forget();
          finder_.forget();
      })) {}

SearchFeature::~SearchFeature() = default;

void SearchFeature::run(CommandId action) {
    switch (action) {
    case CommandId::FindPassword:
        openFinder();
        break;
    case CommandId::FindAgain:
        finder_.findAgain([this] { openFinder(); });
        break;
    default:
        break;
    }
}

void SearchFeature::openFinder() {
    if (!session_.isLoggedIn()) return;
    dialog_->open(owner_ ? owner_() : nullptr);
}

} // namespace kh
