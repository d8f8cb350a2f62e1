#include "clipboard_commands.h"

#include "text_format.h"
#include "text_trim.h"

#include <cctype>

namespace kh {
namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

} // namespace

bool isOpenableWebAddress(std::string_view address) {
    for (std::string_view scheme : {"http://", "https://", "ftp://"}) {
        if (startsWithNoCase(address, scheme) && address.size() > scheme.size()) return true;
    }
    return false;
}

ClipboardCommands::ClipboardCommands(Session& session, EntryList& list, const Settings& settings,
                                     const MessageTable& messages, Clipboard& clipboard,
                                     PasswordGuard& guard, Shell& shell, MainWindowControl& window,
                                     std::function<InterchangeTexts()> texts)
    : session_(session), list_(list), settings_(settings), messages_(messages),
      clipboard_(clipboard), guard_(guard), shell_(shell), window_(window),
      texts_(std::move(texts)) {}

std::optional<ClipboardCommands::Current> ClipboardCommands::current() const {
    if (!session_.isLoggedIn()) return std::nullopt;
    const std::optional<int> row = list_.currentEntry();
    if (!row) return std::nullopt;
    return Current{*row, list_.row(EntryView::lvPassword, *row).record.get()};
}

bool ClipboardCommands::confirm(CopyTag tag) {
    if (!session_.isLoggedIn()) return false;
    const std::optional<Current> before = current();
    const auto title = [&] { return list_.row(EntryView::lvPassword, before->row).caption; };
    // An answer counts only while the session lasts and for the entry it was asked about.
    const auto sameEntry = [&] { return session_.isLoggedIn() && current() == before; };
    switch (tag) {
    case CopyTag::CutPassword:
    case CopyTag::CutWholeEntry:
    case CopyTag::CutSelected:
        return before && session_.askYesNo(formatText(messages_.text(Msg::warncut), {title()})) &&
               sameEntry();
    case CopyTag::CutAll:
        // Nothing to cut: the key of a disabled item finds its conditions unmet, unasked.
        if (list_.rowCount(list_.visibleList()) == 0) return false;
        return session_.askYesNo(messages_.text(Msg::warncutall)) && session_.isLoggedIn();
    case CopyTag::Replace:
        return before &&
               session_.askYesNo(formatText(messages_.text(Msg::warnreplace), {title()})) &&
               sameEntry();
    case CopyTag::DeleteSelected: {
        const std::size_t selected = list_.visibleSelection().size();
        if (selected == 0 || !before) return false;
        if (selected == 1)
            return session_.askYesNo(formatText(messages_.text(Msg::warndelete), {title()})) &&
                   sameEntry();
        return session_.askYesNo(messages_.text(Msg::warndeleteselected)) && session_.isLoggedIn();
    }
    case CopyTag::DeleteAll:
        if (list_.rowCount(list_.visibleList()) == 0) return false;
        return session_.askYesNo(messages_.text(Msg::warndeleteall)) && session_.isLoggedIn();
    case CopyTag::Duplicate:
        return before.has_value();
    default:
        return true;
    }
}

EntryValues ClipboardCommands::valuesOf(EntryView list, int row) const {
    const EntryRow& r = list_.row(list, row);
    EntryValues values;
    values.title = r.caption;
    values.whatsThis = r.whatsThis;
    values.description = r.details;
    if (r.record) {
        values.type = r.record->type;
        values.data = r.record->data.view();
    }
    return values;
}

SecretString ClipboardCommands::textOfRows(EntryView list, const std::vector<int>& rows) const {
    const InterchangeTexts texts = texts_();
    SecretString all;
    for (int row : rows) {
        if (!list_.row(list, row).record) continue;
        EntryValues values = valuesOf(list, row);
        SecretString one = entryText(values, texts);
        all.append(one.view());
        values.data.wipe();
    }
    return all;
}

void ClipboardCommands::copyEntry(CopyTag tag) {
    if (!confirm(tag)) return;
    const EntryView visible = list_.visibleList();
    switch (tag) {
    case CopyTag::Password:
        copyEntryPassword(ContextTag::Password, false);
        break;
    case CopyTag::WholeEntry: {
        const std::optional<Current> entry = current();
        if (!entry) return;
        SecretString text = textOfRows(EntryView::lvPassword, {entry->row});
        if (!text.empty() && clipboard_.setText(text.view())) guard_.guardClipboard(text.view());
        break;
    }
    case CopyTag::AllEntries:
    case CopyTag::SelectedEntries: {
        std::vector<int> rows;
        if (tag == CopyTag::SelectedEntries) {
            rows = list_.visibleSelection();
        } else {
            for (int i = 0; i < list_.rowCount(visible); ++i)
                rows.push_back(i);
        }
        SecretString text = textOfRows(visible, rows);
        if (!text.empty() && clipboard_.setText(text.view())) guard_.guardClipboard(text.view());
        break;
    }
    case CopyTag::SelectAll:
        list_.selectAll(visible);
        break;
    case CopyTag::CutPassword:
    case CopyTag::CutWholeEntry:
    case CopyTag::CutAll:
    case CopyTag::CutSelected:
        cutRows(tag);
        break;
    case CopyTag::Replace:
        replaceFromClipboard();
        break;
    case CopyTag::DeleteSelected:
        list_.deleteRows(true);
        break;
    case CopyTag::DeleteAll:
        list_.deleteRows(false);
        break;
    default:
        break;
    }
}

void ClipboardCommands::cutRows(CopyTag tag) {
    const EntryView visible = list_.visibleList();
    SecretString text;
    std::optional<Current> entry;
    if (tag == CopyTag::CutPassword || tag == CopyTag::CutWholeEntry) {
        entry = current();
        if (!entry) return;
        if (tag == CopyTag::CutPassword)
            text = list_.row(EntryView::lvPassword, entry->row).record->data.view();
        else
            text = textOfRows(EntryView::lvPassword, {entry->row});
    } else {
        std::vector<int> rows;
        if (tag == CopyTag::CutSelected) {
            rows = list_.visibleSelection();
        } else {
            for (int i = 0; i < list_.rowCount(visible); ++i)
                rows.push_back(i);
        }
        text = textOfRows(visible, rows);
    }
    if (text.empty()) return;
    // The entry goes only once its text is surely on the clipboard.
    if (!writeClipboardChecked(clipboard_, text.view())) return;
    if (entry) {
        list_.markRowDeleted(EntryView::lvPassword, entry->row);
    } else {
        list_.deleteRows(tag == CopyTag::CutSelected);
    }
    guard_.guardClipboard(text.view());
}

void ClipboardCommands::replaceFromClipboard() {
    const std::optional<Current> entry = current();
    if (!entry) return;
    std::optional<SecretString> text = clipboardText(clipboard_);
    if (!text) return;
    list_.replaceRowData(entry->row, text->view());
    window_.showRow(entry->row);
    guard_.keepMainWindow();
    guard_.guardClipboard(text->view());
    if (settings_.timeout > 0) {
        SecretString shown(list_.row(EntryView::lvPassword, entry->row).caption);
        shown.append(" [");
        shown.append(text->view());
        shown.append("]");
        std::string banner(shown.view());
        session_.setBannerText(banner);
        secureWipe(banner.data(), banner.size());
    }
    text->wipe();
}

void ClipboardCommands::copyEntryPassword(ContextTag tag, bool fromCopyButton) {
    session_.setStatusText("");
    const std::optional<Current> entry = current();
    if (!entry || !entry->record) return;
    const EntryRow& row = list_.row(EntryView::lvPassword, entry->row);
    if (tag == ContextTag::OpenLink &&
        (row.record->type != kEntryLink || (!settings_.openLink && fromCopyButton)))
        tag = ContextTag::Password;

    SecretString text;
    switch (tag) {
    case ContextTag::Password:
        text = row.record->data.view();
        break;
    case ContextTag::Title:
        text = row.caption;
        break;
    case ContextTag::Details:
        text = row.details;
        break;
    case ContextTag::WholeEntry:
        text = textOfRows(EntryView::lvPassword, {entry->row});
        break;
    case ContextTag::OpenLink:
        openLink(row);
        return;
    }
    if (text.empty() || !writeClipboardChecked(clipboard_, text.view())) return;
    const std::string title = row.caption;
    guard_.guardClipboard(text.view());
    session_.setStatusText(formatText(messages_.text(Msg::copyok), {title}));
}

void ClipboardCommands::openLink(const EntryRow& row) {
    const std::string address(trimBlanks(row.details));
    if (!isOpenableWebAddress(address)) {
        session_.showWarning(formatText(messages_.text(Msg::warnweblink), {address}));
        return;
    }
    // Only an address that opened sends the program away; otherwise the user learns why.
    if (shell_.open(address, "", ShowMode::Maximized))
        window_.hideToTray();
    else
        session_.showWarning(formatText(messages_.text(Msg::browserfailed), {address}));
}

void ClipboardCommands::doubleClick(const std::function<void()>& edit) {
    if (!session_.isLoggedIn()) return;
    if (settings_.openLink) {
        const std::optional<Current> entry = current();
        if (!entry) return;
        if (entry->record && entry->record->type == kEntryLink) {
            copyEntryPassword(ContextTag::OpenLink, false);
            return;
        }
    }
    switch (settings_.dblClick) {
    case kDblClickNothing:
        return;
    case kDblClickCopyPassword:
        copyEntryPassword(ContextTag::Password, false);
        return;
    default: {
        const std::optional<Current> entry = current();
        if (entry && entry->record && !entry->record->data.empty())
            clearIfUnchanged(clipboard_, entry->record->data.view());
        edit();
        return;
    }
    }
}

} // namespace kh
