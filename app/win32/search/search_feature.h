// Find: the find dialog (TfrmFinder, which this feature owns), Find Again, and the search
// start that follows the user's selection in the list.
#pragma once

#include "app_context.h"
#include "finder.h"
#include "tfrm_finder.h"

#include <memory>

namespace kh {

class SearchFeature : public FeatureHandler {
  public:
    explicit SearchFeature(AppContext& context);
    ~SearchFeature() override;
    void run(CommandId action) override;
    // The search text must not outlive the account it searched.
    void sessionEnded() override;
    void createWindows() override { dialog_->create(); }

    void openFinder();
    Finder& finder() { return finder_; }
    // The dialog (created on first use).
    TfrmFinder& finderDialog() { return *dialog_; }

  private:
    AppContext& context_;
    Finder finder_;
    std::unique_ptr<TfrmFinder> dialog_;
};

} // namespace kh
