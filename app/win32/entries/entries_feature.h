// Entries: New, Edit, Duplicate, Paste From Clipboard and Undelete, through the entry
// wizard (TfrmAddItem), which this feature owns.
#pragma once

#include "app_context.h"
#include "entry_commands.h"
#include "tfrm_add_item.h"

#include <memory>

namespace kh {

class EntriesFeature : public FeatureHandler {
  public:
    explicit EntriesFeature(AppContext& context);
    ~EntriesFeature() override;
    void run(CommandId action) override;
    // An open wizard is cancelled when the account goes: what it holds belongs to a
    // session that has ended.
    void sessionEnded() override;
    void createWindows() override { wizard_->create(); }

    // The wizard the commands run; tests put their own in its place.
    void setEditor(EntryEditor& editor);
    EntryEditor* editor() const { return editor_; }
    // The program's own wizard (created on first use).
    TfrmAddItem& wizard() { return *wizard_; }

  private:
    AppContext& context_;
    std::unique_ptr<TfrmAddItem> wizard_;
    EntryEditor* editor_ = nullptr;
    std::unique_ptr<EntryCommands> commands_;
};

} // namespace kh
