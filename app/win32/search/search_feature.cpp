#include "search_feature.h"

namespace kh {

SearchFeature::SearchFeature(AppContext& context)
    : context_(context),
      finder_(context.session, context.entries, context.messages, context.window),
      dialog_(std::make_unique<TfrmFinder>(finder_)) {
    context_.services.searchTextExists = [this] { return finder_.hasText(); };
    context_.services.rowSelected = [this](int row) { finder_.rowSelected(row); };
}

SearchFeature::~SearchFeature() {
    context_.services.searchTextExists = nullptr;
    context_.services.rowSelected = nullptr;
}

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
    if (!context_.session.isLoggedIn()) return;
    dialog_->open(context_.mainWindow());
}

void SearchFeature::sessionEnded() {
    dialog_->forget();
    finder_.forget();
}

} // namespace kh
