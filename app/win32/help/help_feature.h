// The Help menu: the tip of the day, About, and the maker's pages in the browser.
#pragma once

#include "app_context.h"

namespace kh {

class HelpFeature : public FeatureHandler {
  public:
    explicit HelpFeature(AppContext& context) : context_(context) {}
    void run(CommandId action) override;

  private:
    AppContext& context_;
};

} // namespace kh
