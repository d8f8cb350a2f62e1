// XML export and import of entries: which rows go out, the save and open dialogs, the
// export file written and read back, and the entries that come in as new rows.
#pragma once

#include "entry_list.h"
#include "file_system.h"
#include "message_table.h"
#include "password_guard.h"
#include "services.h"
#include "session.h"
#include "xml_interchange.h"

#include <functional>
#include <string_view>

namespace kh {

inline constexpr char kExportFilter[] = "Keyhaven Files|*.khk|XML Files|*.xml|All Files|*.*";
inline constexpr int kExportFilterIndex = 2; // XML Files
inline constexpr char kImportFilter[] = "XML File|*.xml|Keyhaven Files|*.khk|All Files|*.*";
// The exports of other password managers; the format is recognised from the file itself,
// whichever filter showed it.
inline constexpr char kOtherImportFilter[] =
    "All Supported Files|*.csv;*.json;*.xml|KeePassXC CSV|*.csv|Bitwarden CSV|*.csv|"
    "Bitwarden JSON|*.json|Chrome/Edge CSV|*.csv|Firefox CSV|*.csv|Keyhaven XML|*.xml|"
    "All Files|*.*";

// The blocks of the rows of the visible list in their displayed order (every row, or the
// selected ones), rows marked deleted included; rows without a record are skipped.
struct CollectedEntries {
    ExportBlocks blocks;
    int count = 0;
};
CollectedEntries collectEntries(const EntryList& list, bool selectedOnly,
                                const InterchangeTexts& texts);

class InterchangeCommands {
  public:
    // `texts` gives the entry text form of the language in force at each use; `busy`
    // shows the hourglass while a file is imported.
    InterchangeCommands(Session& session, EntryList& list, const MessageTable& messages,
                        Clipboard& clipboard, PasswordGuard& guard, FileDialogs& dialogs,
                        std::function<InterchangeTexts()> texts, std::function<void(bool)> busy,
                        FileSystem& fs = nativeFileSystem());

    void setFileDialogs(FileDialogs& dialogs) { dialogs_ = &dialogs; }

    // Asks for a file and writes the rows there; true when the file was written and read
    // back whole. No rows: nothing is asked, written or shown.
    bool exportEntries(bool selectedOnly);
    // The entries of an XML file the user chooses; the number added.
    int importXmlFile();
    // The entries of another password manager's export the user chooses (or of the XML
    // form), with a summary of what came over and what did not; the number added.
    int importOtherFile();
    // The entries in the clipboard's whole text; the number added. When any came in, the
    // Password Guard watches that text (it may hold passwords).
    int importClipboard();
    // Adds the entries of a text as new rows and says how many in the status bar.
    int importText(std::string_view text);

  private:
    bool sameSession(int session) const;
    bool writtenWhole(const std::string& path, std::string_view fileText);

    Session& session_;
    EntryList& list_;
    const MessageTable& messages_;
    Clipboard& clipboard_;
    PasswordGuard& guard_;
    FileDialogs* dialogs_;
    std::function<InterchangeTexts()> texts_;
    std::function<void(bool)> busy_;
    FileSystem& fs_;
};

} // namespace kh
