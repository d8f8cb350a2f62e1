// Entries: New, Edit, Duplicate, Paste From Clipboard and Undelete, through the entry
// wizard (TfrmAddItem), which this feature owns.
#pragma once

#include "entry_commands.h"
#include "feature_handler.h"
#include "password_guard.h"
#include "session.h"
#include "tfrm_add_item.h"

#include <functional>
#include <memory>

namespace kh {

class EntriesFeature : public FeatureHandler {
  public:
    // `owner`: the main window, the wizard's owner.
    EntriesFeature(Session& session, const MessageTable& messages, Clipboard& clipboard,
                   PasswordGuard& guard, Clock& clock, MainWindowControl& window,
                   std::function<HWND()> owner);
    ~EntriesFeature() override;
    void run(CommandId action) override;
    void createWindows() override { wizard_->create(); }

    // The wizard the commands run; tests put their own in its place.
    void setEditor(EntryEditor& editor);
    EntryEditor* editor() const { return editor_; }
    // The program's own wizard (created on first use).
    TfrmAddItem& wizard() { return *wizard_; }

  private:
    std::unique_ptr<TfrmAddItem> wizard_;
    EntryEditor* editor_ = nullptr;
    std::unique_ptr<EntryCommands> commands_;
    // An open wizard is cancelled when the account goes: what it holds belongs to a
    // session that has ended.
    Event<>::Subscription ended_;
};

} // namespace kh
