// The clipboard commands (copy, cut, delete, replace, select all, open a link), the
// double-click on a row, and the Password Guard's window (TfrmGuard), which this feature
// owns.
#pragma once

#include "app_context.h"
#include "clipboard_commands.h"
#include "tfrm_guard.h"

#include <memory>

namespace kh {

class ClipboardFeature : public FeatureHandler {
  public:
    explicit ClipboardFeature(AppContext& context);
    ~ClipboardFeature() override;
    void run(CommandId action) override;
    void createWindows() override;
    ClipboardCommands& commands() { return commands_; }
    // The guard's window once a copy has created it; null before.
    TfrmGuard* guardWindow() const { return guardWindow_.get(); }

  private:
    AppContext& context_;
    ClipboardCommands commands_;
    std::unique_ptr<TfrmGuard> guardWindow_;
};

} // namespace kh
