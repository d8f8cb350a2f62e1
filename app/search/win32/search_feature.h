// Find: the find dialog (TfrmFinder, which this feature owns), Find Again, and the search
// start that follows the user's selection in the list.
#pragma once

#include "feature_handler.h"
#include "finder.h"
#include "tfrm_finder.h"

#include <functional>
#include <memory>

namespace kh {

class SearchFeature : public FeatureHandler {
  public:
    // `owner`: the main window, the dialog's owner.
    SearchFeature(Session& session, const MessageTable& messages, MainWindowControl& window,
                  std::function<HWND()> owner);
    ~SearchFeature() override;
    void run(CommandId action) override;
    void createWindows() override { dialog_->create(); }

    void openFinder();
    // The search text exists (Find Again is possible).
    bool searchTextExists() const { return finder_.hasText(); }
    // The user selected a row of the visible list: the next search starts there.
    void rowSelected(int row) { finder_.rowSelected(row); }
    Finder& finder() { return finder_; }
    // The dialog (created on first use).
    TfrmFinder& finderDialog() { return *dialog_; }

  private:
    Session& session_;
    std::function<HWND()> owner_;
    Finder finder_;
    std::unique_ptr<TfrmFinder> dialog_;
    // The search text must not outlive the account it searched.
    Event<>::Subscription ended_;
};

} // namespace kh
