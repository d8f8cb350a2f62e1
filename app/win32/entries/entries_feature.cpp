#include "entries_feature.h"

namespace kh {

EntriesFeature::EntriesFeature(AppContext& context)
    : context_(context),
      wizard_(std::make_unique<TfrmAddItem>(context.messages, context.clipboard, context.guard,
                                            context.clock, context.mainWindow)),
      commands_(std::make_unique<EntryCommands>(context.session, context.entries, context.clipboard,
                                                context.guard, context.window)) {
    setEditor(*wizard_);
}

EntriesFeature::~EntriesFeature() = default;

void EntriesFeature::setEditor(EntryEditor& editor) {
    editor_ = &editor;
    commands_->setEditor(&editor);
}

void EntriesFeature::sessionEnded() {
    if (wizard_->isModal()) wizard_->cancelClick();
}

void EntriesFeature::run(CommandId action) {
    switch (action) {
    case CommandId::NewBlankItem:
        commands_->newEntry();
        break;
    case CommandId::EditCurrentEntry:
        commands_->edit();
        break;
    case CommandId::DuplicateSelectedItem:
        commands_->duplicate();
        break;
    case CommandId::PasteFromClipboard:
        commands_->pasteFromClipboard();
        break;
    case CommandId::ToolUnDelete:
        commands_->undelete();
        break;
    default:
        break;
    }
}

} // namespace kh
