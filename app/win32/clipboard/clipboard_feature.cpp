#include "clipboard_feature.h"

#include "interchange_texts.h"

namespace kh {

ClipboardFeature::ClipboardFeature(AppContext& context)
    : context_(context),
      commands_(context.session, context.entries, context.settings, context.messages,
                context.clipboard, context.guard, context.shell, context.window, [&context] {
                    return interchangeTexts(context.messages, !context.language.language().empty());
                }) {
    context_.services.rowDoubleClicked = [this] {
        commands_.doubleClick([this] { context_.runCommand(CommandId::EditCurrentEntry); });
    };
    // The guard's window comes with the first copy; its label prefix is the `guarding`
    // text of that moment.
    context_.guard.setWindowFactory([this]() -> PasswordGuard::CreatedWindow {
        if (!guardWindow_) guardWindow_ = std::make_unique<TfrmGuard>(context_.guard);
        if (!guardWindow_->create()) return {};
        return {guardWindow_.get(), context_.messages.text(Msg::guarding)};
    });
}

void ClipboardFeature::createWindows() {
    if (!guardWindow_) guardWindow_ = std::make_unique<TfrmGuard>(context_.guard);
    guardWindow_->create();
}

ClipboardFeature::~ClipboardFeature() {
    context_.services.rowDoubleClicked = nullptr;
    context_.guard.detach();
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
