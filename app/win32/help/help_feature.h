// The Help menu: the tip of the day, About, and the maker's pages in the browser.
#pragma once

#include "app_context.h"

#include <memory>

namespace kh {

class TfrmTip;

class HelpFeature : public FeatureHandler {
  public:
    explicit HelpFeature(AppContext& context);
    ~HelpFeature() override;
    void run(CommandId action) override;
    void createWindows() override;

    // The tip window at a tip; created on first use.
    bool showTip(int index);
    // The tip window, made on first use.
    TfrmTip& tipWindow();

  private:
    AppContext& context_;
    std::unique_ptr<TfrmTip> tip_;
};

} // namespace kh
