#include "clipboard_feature.h"

namespace kh {

ClipboardFeature::ClipboardFeature(Session& session, const Settings& settings,
                                   const MessageTable& messages, Clipboard& clipboard,
                                   PasswordGuard& guard, Shell& shell, MainWindowControl& window,
                                   std::function<InterchangeTexts()> texts, CommandRunner& commands)
    : messages_(messages), guard_(guard), runner_(commands),
      commands_(session, session.entries(), settings, messages, clipboard, guard, shell, window,
                std::move(texts)) {
    // The guard's window comes with the first copy; its label prefix is the `guarding`
    // text of that moment.
    guard_.setWindowFactory([this]() -> PasswordGuard::CreatedWindow {
        if (!guardWindow_) guardWindow_ = std::make_unique<TfrmGuard>(guard_);
        if (!guardWindow_->create()) return {};
        return {guardWindow_.get(), messages_.text(Msg::guarding)};
    });
}

void ClipboardFeature::createWindows() {
    if (!guardWindow_) guardWindow_ = std::make_unique<TfrmGuard>(guard_);
    guardWindow_->create();
}

ClipboardFeature::~ClipboardFeature() {
    guard_.detach();
}

void ClipboardFeature::rowDoubleClicked() {
    commands_.doubleClick([this] { runner_.runCommand(CommandId::EditCurrentEntry); });
}

void ClipboardFeature::run(CommandId action) {
    const CommandDef& command = commandDef(action);
    switch (command.menu) {
    case MenuId::ListContext:
        commands_.copyEntryPassword(static_cast<ContextTag>(command.tag), false);
        break;
    case MenuId::ToolBar: // tbCopy: open a link only when OpenLink says so
        commands_.copyEntryPassword(ContextTag::OpenLink, true);
        break;
    default:
        commands_.copyEntry(static_cast<CopyTag>(command.tag));
        break;
    }
}

} // namespace kh
