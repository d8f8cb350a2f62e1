#include "browser_feature.h"

namespace kh {

BrowserFeature::BrowserFeature(Session& session, const Settings& settings, Event<>& settingsChanged,
                               const MessageTable& messages, const AppPaths& paths,
                               StartState& start, MainWindowControl& window, LoginPrompter& login,
                               TForm& loginWindow)
    : session_(session), settings_(settings), messages_(messages), paths_(paths), store_(session),
      loginUi_(session, login, window, start), gate_(loginUi_), server_(store_, gate_, memory_),
      settingsChanged_(settingsChanged.subscribe([this] { updateMenu(settings_.withIE); })),
      self_(std::make_shared<BrowserFeature*>(this)) {
    // A login or a save that a request sets off fails without a box.
    session_.SilenceWarnings = [self = self_] { return *self && (*self)->serving(); };
    loginWindow.addMessageHook(
        [self = self_](UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
            BrowserFeature* feature = *self;
            if (!feature || !browser::RequestServer::isRequestMessage(msg)) return false;
            result = feature->serve(msg, wParam, lParam);
            return true;
        });
    updateMenu(true);
    // The entries point at the pages from the first start, before any language file loads.
    buildPages();
}

BrowserFeature::~BrowserFeature() {
    *self_ = nullptr;
    session_.SilenceWarnings = nullptr;
}

void BrowserFeature::updateMenu(bool add) {
    const browser::MenuCaptions captions = browser::menuCaptions(messages_);
    if (add) {
        browser::registerMenuEntries(paths_.programFolder, captions, settings_.withIE);
    } else {
        browser::removeMenuEntries(captions);
    }
}

void BrowserFeature::languageChanging() {
    // The sub-keys are named by the captions that are about to change.
    if (settings_.withIE) updateMenu(false);
}

void BrowserFeature::languageLoaded() {
    if (settings_.withIE) updateMenu(true);
    buildPages();
}

int BrowserFeature::buildPages() {
    return browser::buildPages(paths_.programFolder, messages_);
}

std::intptr_t BrowserFeature::serve(UINT msg, WPARAM wParam, LPARAM lParam) {
    // A request for a login or a save is a person's action in the browser; a status or a
    // check is not (a program may ask them in a loop).
    using browser::RequestKind;
    if (lParam != 0 && (msg == static_cast<UINT>(RequestKind::GetByTitle) ||
                        msg == static_cast<UINT>(RequestKind::SaveLogin) ||
                        msg == static_cast<UINT>(RequestKind::FindByPage)))
        session_.noteActivity();
    return server_.serve(msg, static_cast<std::uintptr_t>(wParam),
                         static_cast<std::uintptr_t>(lParam));
}

} // namespace kh
