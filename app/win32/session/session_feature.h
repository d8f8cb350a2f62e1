// The session's commands: save, save as, backup, logout, open and login, new account,
// import and quit.
#pragma once

#include "app_context.h"

namespace kh {

class SessionFeature : public FeatureHandler {
  public:
    explicit SessionFeature(AppContext& context) : context_(context) {}
    void run(CommandId action) override;

  private:
    AppContext& context_;
};

} // namespace kh
