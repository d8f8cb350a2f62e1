// Entries: New, Edit, Duplicate, Paste From Clipboard and Undelete, through the entry
// wizard (TfrmAddItem), which this feature owns.
#pragma once

#include "app_context.h"
#include "entry_commands.h"

#include <memory>

namespace kh {

class EntriesFeature : public FeatureHandler {
  public:
    explicit EntriesFeature(AppContext& context);
    ~EntriesFeature() override;
    void run(CommandId action) override;

    // The wizard the commands run; tests put their own in its place.
    void setEditor(EntryEditor& editor);
    EntryEditor* editor() const { return editor_; }

  private:
    AppContext& context_;
    EntryEditor* editor_ = nullptr;
    std::unique_ptr<EntryEditor> ownEditor_;
    std::unique_ptr<EntryCommands> commands_;
};

} // namespace kh
