#include "entry_commands.h"

#include "text_format.h"

#include <memory>

namespace kh {

std::string entryTimestamp(const LocalTime& time) {
    return formatText("%04d-%02d-%02d %02d:%02d:%02d",
                      {time.year, time.month, time.day, time.hour, time.minute, time.second});
}

EntryCommands::EntryCommands(Session& session, EntryList& list, Clipboard& clipboard,
                             PasswordGuard& guard, MainWindowControl& window, EntryEditor* editor)
    : session_(session), list_(list), clipboard_(clipboard), guard_(guard), window_(window),
      editor_(editor) {}

EntryDraft EntryCommands::draftOf(int masterRow) const {
    const EntryRow& row = list_.row(EntryView::lvPassword, masterRow);
    EntryDraft draft;
    draft.title = row.caption;
    draft.whatsThis = row.whatsThis;
    draft.description = row.details;
    if (row.record) {
        draft.data = row.record->data.view();
        draft.type = row.record->type;
    }
    return draft;
}

void EntryCommands::newEntry() {
    if (!editor_ || !session_.isLoggedIn()) return;
    const int session = session_.sessionNumber();
    EntryDraft draft;
    const bool finished = editor_->editEntryValues(draft, true);
    // The idle timer runs while the wizard is open: an account logged out meanwhile takes
    // nothing of it.
    if (finished && session_.isLoggedIn() && session_.sessionNumber() == session &&
        list_.addEntryRow(draft.title, draft.data.view(), kOffsetUnsaved, draft.type,
                          draft.whatsThis, draft.description)) {
        window_.showRow(list_.rowCount(EntryView::lvPassword) - 1);
    }
    draft.data.wipe();
}

void EntryCommands::edit() {
    if (!editor_ || !session_.isLoggedIn()) return;
    const std::optional<int> current = list_.currentEntry();
    if (!current) return;
    const std::shared_ptr<RowRecord> record = list_.row(EntryView::lvPassword, *current).record;
    if (!record) return;
    const int session = session_.sessionNumber();
    EntryDraft draft = draftOf(*current);
    const bool finished = editor_->editEntryValues(draft, false);
    // Apply only to the same entry of the same session: the wizard was open long enough for
    // an automatic logout, a save that dropped rows, or a browser request.
    const int row = record->masterIndex;
    if (finished && session_.isLoggedIn() && session_.sessionNumber() == session && row >= 0 &&
        row < list_.rowCount(EntryView::lvPassword) &&
        list_.row(EntryView::lvPassword, row).record == record) {
        list_.editRow(row, draft.title, draft.data.view(), draft.type, draft.whatsThis,
                      draft.description);
        session_.setBannerText("");
        window_.showRow(row);
    }
    draft.data.wipe();
}

void EntryCommands::duplicate() {
    if (!editor_ || !session_.isLoggedIn()) return;
    const std::optional<int> current = list_.currentEntry();
    if (!current) return;
    const int session = session_.sessionNumber();
    EntryDraft draft = draftOf(*current);
    if (editor_->editEntryValues(draft, true) && session_.isLoggedIn() &&
        session_.sessionNumber() == session) {
        list_.addEntryRow(draft.title, draft.data.view(), kOffsetUnsaved, draft.type,
                          draft.whatsThis, draft.description);
    }
    draft.data.wipe();
}

void EntryCommands::pasteFromClipboard() {
    if (!editor_ || !session_.isLoggedIn()) return;
    std::optional<SecretString> text = clipboardText(clipboard_);
    if (!text) return;
    const int session = session_.sessionNumber();
    EntryDraft draft;
    draft.data = text->view();
    if (editor_->editEntryValues(draft, true) && session_.isLoggedIn() &&
        session_.sessionNumber() == session) {
        if (list_.addEntryRow(draft.title, draft.data.view(), kOffsetUnsaved, draft.type,
                              draft.whatsThis, draft.description))
            window_.showRow(list_.rowCount(EntryView::lvPassword) - 1);
        guard_.keepMainWindow();
        guard_.guardClipboard(text->view());
    }
    draft.data.wipe();
    text->wipe();
}

void EntryCommands::undelete() {
    if (!session_.isLoggedIn()) return;
    const std::optional<int> current = list_.currentEntry();
    if (!current) return;
    // Every selected entry comes back, as a delete of the selection took every one.
    const std::optional<int> first = list_.undeleteRows(list_.visibleSelection());
    window_.showRow(first.value_or(*current));
}

} // namespace kh
