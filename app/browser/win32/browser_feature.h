// The browser integration: the requests of a browser bridge answered on the login window,
// the browser's context-menu entries kept in step with the WithIE setting and the
// language, and the browser pages built after every language load.
#pragma once

#include "app_state.h"
#include "browser_adapters.h"
#include "browser_win32.h"
#include "feature_handler.h"
#include "settings.h"
#include "win32/form.h"

#include <memory>

namespace kh {

class BrowserFeature : public FeatureHandler {
  public:
    // Registers the context-menu entries when WithIE is on, as the program starts.
    // Requests arrive at `loginWindow`; `settingsChanged` brings the entries in step.
    BrowserFeature(Session& session, const Settings& settings, Event<>& settingsChanged,
                   const MessageTable& messages, const AppPaths& paths, StartState& start,
                   MainWindowControl& window, LoginPrompter& login, TForm& loginWindow);
    ~BrowserFeature() override;
    BrowserFeature(const BrowserFeature&) = delete;
    BrowserFeature& operator=(const BrowserFeature&) = delete;

    // The feature has no commands of its own.
    void run(CommandId) override {}
    // The entries carry the captions of the language in force: they go before it does
    // and come back under the new captions, with the pages.
    void languageChanging() override;
    void languageLoaded() override;

    // Added when `add` and WithIE are on, removed when `add` is off. Never fails aloud.
    void updateMenu(bool add);
    // The pages from the templates in the program folder's html\, with the current texts.
    int buildPages();
    // One of the four request messages; the message result.
    std::intptr_t serve(UINT msg, WPARAM wParam, LPARAM lParam);
    bool serving() const { return gate_.serving(); }

  private:
    Session& session_;
    const Settings& settings_;
    const MessageTable& messages_;
    const AppPaths& paths_;
    EntryLoginStore store_;
    SessionLoginUi loginUi_;
    browser::LoginGate gate_;
    browser::WindowsProcessMemory memory_;
    browser::RequestServer server_;
    Event<>::Subscription settingsChanged_;
    // The login window outlives this handler; its hook finds it through here.
    std::shared_ptr<BrowserFeature*> self_;
};

} // namespace kh
