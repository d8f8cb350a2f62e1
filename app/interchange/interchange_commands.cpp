#include "interchange_commands.h"

#include "busy_cursor.h"
#include "import_formats.h"
#include "import_texts.h"
#include "text_format.h"

#include <numeric>
#include <vector>

namespace kh {
namespace {

std::vector<int> exportedRows(const EntryList& list, bool selectedOnly) {
    if (selectedOnly) return list.visibleSelection();
    std::vector<int> rows(static_cast<std::size_t>(list.rowCount(list.visibleList())));
    std::iota(rows.begin(), rows.end(), 0);
    return rows;
}

int exportableCount(const EntryList& list, bool selectedOnly) {
    const EntryView view = list.visibleList();
    int count = 0;
    for (int row : exportedRows(list, selectedOnly))
        if (list.row(view, row).record) ++count;
    return count;
}

} // namespace

CollectedEntries collectEntries(const EntryList& list, bool selectedOnly,
                                const InterchangeTexts& texts) {
    const EntryView view = list.visibleList();
    std::vector<EntryValues> values;
    for (int index : exportedRows(list, selectedOnly)) {
        const EntryRow& row = list.row(view, index);
        if (!row.record) continue;
        EntryValues& entry = values.emplace_back();
        entry.type = row.record->type;
        entry.title = row.caption;
        entry.whatsThis = row.whatsThis;
        entry.data = row.record->data.view();
        entry.description = row.details;
    }
    CollectedEntries collected;
    collected.blocks = exportBlocks(values, texts);
    collected.count = static_cast<int>(values.size());
    return collected;
}

InterchangeCommands::InterchangeCommands(Session& session, EntryList& list,
                                         const MessageTable& messages, Clipboard& clipboard,
                                         PasswordGuard& guard, FileDialogs& dialogs,
                                         std::function<InterchangeTexts()> texts,
                                         std::function<void(bool)> busy, FileSystem& fs)
    : session_(session), list_(list), messages_(messages), clipboard_(clipboard), guard_(guard),
      dialogs_(&dialogs), texts_(std::move(texts)), busy_(std::move(busy)), fs_(fs) {}

bool InterchangeCommands::sameSession(int session) const {
    // A dialog runs its own message loop: the account may have logged out meanwhile.
    return session_.isLoggedIn() && session_.sessionNumber() == session;
}

bool InterchangeCommands::exportEntries(bool selectedOnly) {
    if (!session_.isLoggedIn()) return false;
    // Asking for a file name only to write nothing would tell the user nothing.
    if (exportableCount(list_, selectedOnly) == 0) return false;
    const int session = session_.sessionNumber();
    const std::optional<std::string> chosen =
        dialogs_->saveFile({kExportFilter, kExportFilterIndex, "", true, ""});
    if (!chosen || !sameSession(session)) return false;

    const std::string path = exportFileName(*chosen);
    // The dialog asked about the name it showed, not about the one with ".xml" added.
    if (path != *chosen && fs_.pathKind(path) != PathKind::Missing &&
        !(session_.askYesNo(formatText(messages_.text(Msg::queryreplacefile), {path})) &&
          sameSession(session)))
        return false;

    const InterchangeTexts texts = texts_();
    const CollectedEntries collected = collectEntries(list_, selectedOnly, texts);
    if (collected.count == 0) return false;
    const SecretString fileText = exportFileText(collected.blocks.text.view(), texts);
    if (!writeExportFile(path, fileText.view(), fs_) || !writtenWhole(path, fileText.view())) {
        session_.showWarning(formatText(messages_.text(Msg::savefailed), {path}));
        return false;
    }
    session_.setStatusText(formatText(messages_.text(Msg::exportitems), {collected.count}));
    std::string done = formatText(messages_.text(Msg::exportwarning), {path});
    if (collected.blocks.notRestorable > 0) {
        done += "\n\n";
        done += formatText(messages_.text(Msg::exportlossy), {collected.blocks.notRestorable});
    }
    session_.showWarning(done);
    return true;
}

bool InterchangeCommands::writtenWhole(const std::string& path, std::string_view fileText) {
    // The file read back holds every entry written when it holds every byte written.
    const std::optional<SecretString> back = readImportFile(path);
    return back && back->view() == fileText;
}

int InterchangeCommands::importXmlFile() {
    if (!session_.isLoggedIn()) return 0;
    const int session = session_.sessionNumber();
    const std::optional<std::string> chosen = dialogs_->openFile({kImportFilter, 1, "", false, ""});
    if (!chosen || !sameSession(session)) return 0;
    // An unreadable or empty file imports nothing and says nothing.
    const std::optional<SecretString> text = readImportFile(*chosen);
    if (!text) return 0;
    const BusyCursor hourglass(busy_);
    return importText(text->view());
}

int InterchangeCommands::importOtherFile() {
    if (!session_.isLoggedIn()) return 0;
    const int session = session_.sessionNumber();
    const std::optional<std::string> chosen =
        dialogs_->openFile({kOtherImportFilter, 1, "", false, ""});
    if (!chosen || !sameSession(session)) return 0;
    // As with the XML import: an unreadable or empty file imports nothing and says nothing.
    const std::optional<SecretString> text = readImportFile(*chosen);
    if (!text) return 0;
    const ImportTexts texts = importTexts(messages_);
    int added = 0;
    std::string summary;
    {
        const BusyCursor hourglass(busy_);
        ImportResult result = importEntries(text->view(), ImportFormat::Auto, texts_());
        if (result.refused()) {
            summary = importRefusalText(result, texts);
        } else {
            // One change for the whole import: the lists are redrawn once, at its end.
            EntryList::BatchUpdate batch(list_);
            for (EntryValues& entry : result.entries) {
                if (list_.addEntryRow(entry.title, entry.data.view(), kOffsetUnsaved, entry.type,
                                      entry.whatsThis, entry.description))
                    ++added;
                entry.data.wipe();
            }
            result.report.imported = added;
            summary = importSummaryText(result.report, texts);
        }
    }
    session_.showWarning(summary);
    return added;
}

int InterchangeCommands::importClipboard() {
    if (!session_.isLoggedIn()) return 0;
    const std::optional<SecretString> text = clipboard_.text();
    if (!text || text->empty()) return 0;
    int added = 0;
    {
        const BusyCursor hourglass(busy_);
        added = importText(text->view());
    }
    if (added > 0) {
        // The text came from the clipboard: the guard watches it, the window stays.
        guard_.keepMainWindow();
        guard_.guardClipboard(text->view());
    }
    return added;
}

int InterchangeCommands::importText(std::string_view text) {
    if (!session_.isLoggedIn()) return 0;
    std::vector<EntryValues> entries = kh::importText(text, texts_());
    int added = 0;
    int cut = 0;
    {
        // One change for the whole import: the lists are redrawn once, at its end.
        EntryList::BatchUpdate batch(list_);
        for (EntryValues& entry : entries) {
            if (list_.addEntryRow(entry.title, entry.data.view(), kOffsetUnsaved, entry.type,
                                  entry.whatsThis, entry.description)) {
                ++added;
                if (!fitsAccountFile(entry)) ++cut;
            }
            entry.data.wipe();
        }
    }
    std::string status = formatText(messages_.text(Msg::importitems), {added});
    if (cut > 0) {
        status += ' ';
        status += formatText(messages_.text(Msg::importcut), {cut});
    }
    session_.setStatusText(status);
    return added;
}

} // namespace kh
