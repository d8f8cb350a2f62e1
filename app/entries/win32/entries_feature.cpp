#include "entries_feature.h"

namespace kh {

EntriesFeature::EntriesFeature(Session& session, const MessageTable& messages, Clipboard& clipboard,
                               PasswordGuard& guard, Clock& clock, MainWindowControl& window,
                               std::function<HWND()> owner)
    : wizard_(std::make_unique<TfrmAddItem>(messages, clipboard, guard, clock, std::move(owner))),
      commands_(
          std::make_unique<EntryCommands>(session, session.entries(), clipboard, guard, window)),
      ended_(session.OnEnded.subscribe([this] {
          if (wizard_->isModal()) wizard_->cancelClick();
      })) {
    setEditor(*wizard_);
}

EntriesFeature::~EntriesFeature() = default;

void EntriesFeature::setEditor(EntryEditor& editor) {
    editor_ = &editor;
    commands_->setEditor(&editor);
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
