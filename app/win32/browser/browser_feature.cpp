#include "browser_feature.h"

#include "tfrm_main.h"

namespace kh {

BrowserFeature::BrowserFeature(AppContext& context, SessionUi& sessionUi)
    : context_(context), store_(context.session, context.entries),
      loginUi_(context.session, sessionUi, context.window, context.start), gate_(loginUi_),
      server_(store_, gate_, memory_), self_(std::make_shared<BrowserFeature*>(this)) {
    FeatureServices& services = context_.services;
    services.servingBrowserRequest = [self = self_] { return *self && (*self)->serving(); };
    services.updateBrowserMenu = [self = self_](bool add) {
        if (*self) (*self)->updateMenu(add);
    };
    // A login or a save that a request sets off fails without a box.
    context_.session.SilenceWarnings = [&services] {
        return services.servingBrowserRequest && services.servingBrowserRequest();
    };
    context_.hookLoginWindow(
        [self = self_](UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
            BrowserFeature* feature = *self;
            if (!feature || !browser::RequestServer::isRequestMessage(msg)) return false;
            result = feature->serve(msg, wParam, lParam);
            return true;
        });
    updateMenu(true);
}

BrowserFeature::~BrowserFeature() {
    *self_ = nullptr;
    context_.session.SilenceWarnings = nullptr;
    context_.services.servingBrowserRequest = nullptr;
    context_.services.updateBrowserMenu = nullptr;
}

void BrowserFeature::updateMenu(bool add) {
    const browser::MenuCaptions captions = browser::menuCaptions(context_.messages);
    if (add) {
        browser::registerMenuEntries(context_.paths.programFolder, captions,
                                     context_.settings.withIE);
    } else {
        browser::removeMenuEntries(captions);
    }
}

void BrowserFeature::languageChanging() {
    // The sub-keys are named by the captions that are about to change.
    if (context_.settings.withIE) updateMenu(false);
}

void BrowserFeature::languageLoaded() {
    if (context_.settings.withIE) updateMenu(true);
    buildPages();
}

int BrowserFeature::buildPages() {
    return browser::buildPages(context_.paths.programFolder, context_.messages);
}

std::intptr_t BrowserFeature::serve(UINT msg, WPARAM wParam, LPARAM lParam) {
    return server_.serve(msg, static_cast<std::uintptr_t>(wParam),
                         static_cast<std::uintptr_t>(lParam));
}

BrowserFeature& installBrowser(TfrmMain& main) {
    auto owned = std::make_unique<BrowserFeature>(main.context(), main);
    BrowserFeature& feature = *owned;
    main.setFeature(Feature::Browser, std::move(owned));
    return feature;
}

} // namespace kh
