// The Tools menu: the Password Guard switch, the Secure File Remover, the Password
// Generator and the preferences.
#pragma once

#include "app_context.h"

namespace kh {

class ToolsFeature : public FeatureHandler {
  public:
    explicit ToolsFeature(AppContext& context) : context_(context) {}
    void run(CommandId action) override;

  private:
    AppContext& context_;
};

} // namespace kh
