#include "browser_adapters.h"

#include <limits>

namespace kh {

std::size_t EntryLoginStore::rowCount() const {
    return static_cast<std::size_t>(entries_.rowCount(EntryView::lvPassword));
}

std::optional<browser::StoredRow> EntryLoginStore::row(std::size_t index) const {
    if (index >= rowCount()) return std::nullopt;
    const EntryRow& r = entries_.row(EntryView::lvPassword, static_cast<int>(index));
    if (!r.record) return std::nullopt;
    return browser::StoredRow{r.caption, r.details, r.record->type, r.record->fileOffset,
                              r.record->data.view()};
}

bool EntryLoginStore::replaceData(std::size_t index, std::string_view data) {
    if (index >= rowCount()) return false;
    return entries_.replaceRowData(static_cast<int>(index), data);
}

bool EntryLoginStore::addLink(std::string_view title, std::string_view data,
                              std::string_view whatsThis, std::string_view description) {
    return entries_.addEntryRow(title, data, kOffsetUnsaved, kEntryLink, whatsThis, description);
}

void SessionLoginUi::waitForLoginDialog() {
    login_.bringLoginDialogToFront();
    held_ = login_.waitForLoginDialog([this] { return session_.isLoggedIn(); });
    // Logged in meanwhile: nothing is left to carry out.
    if (session_.isLoggedIn()) held_ = LoginPrompt{};
}

void SessionLoginUi::completePendingLogin() {
    LoginPrompt held = std::move(held_);
    held_ = LoginPrompt{};
    if (held.choice == LoginPrompt::Choice::Login && !held.password.empty())
        session_.loginAccount(held.file, trimLoginName(held.name), held.password.view());
    held.password.wipe();
}

void SessionLoginUi::setLoginStayOnTop(bool onTop) {
    login_.setLoginDialogOnTop(onTop);
}

void SessionLoginUi::showLoginForLastAccount() {
    session_.showLastLogin();
}

void SessionLoginUi::endProcessMode() {
    if (start_.processMode && window_.mainWindowVisible()) window_.hideToTray();
    start_.processMode = false;
}

} // namespace kh
