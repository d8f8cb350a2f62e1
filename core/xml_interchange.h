// The entry text form: the XML-like blocks that exports, whole-entry copies and imports
// use. It is written from text templates and read by plain substring search; nothing is
// escaped or decoded. The templates and type names come from the message table, so they
// are passed in here.
#pragma once

#include "account_file.h"
#include "file_system.h"
#include "secure_memory.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kh {

// The message-table texts the form is built from, with their English defaults.
struct InterchangeTexts {
    std::string fileHeader = "<?xml version=\"1.0\" encoding=\"Windows-1252\" ?>";
    std::string itemTemplate = "<Entry>\r\n  <Title>%s</Title>\r\n  <Description>%s</Description>"
                               "\r\n  <Type>%s</Type>\r\n  <Version>%d</Version>\r\n  <Data>%s"
                               "</Data>\r\n  <WhatsThis>%s</WhatsThis>\r\n</Entry>\r\n";
    std::string passwordName = "Password";
    std::string linkName = "Link";
    std::string textName = "Text";
    std::string unknownName = "Unknown";
    // With a language file in force, imports also accept its type names.
    bool languageInForce = false;
};

// One entry as the form carries it.
struct EntryValues {
    std::int32_t type = kEntryPassword;
    std::string title;
    std::string whatsThis;
    SecretString data;
    std::string description;
};

// The name shown for a type code ("Unknown" for codes other than 1 to 3).
const std::string& typeName(std::int32_t type, const InterchangeTexts& texts);

// One entry's block, from the item template (filled with Title, Description, Type,
// Version 1, Data and WhatsThis, in this order).
SecretString entryText(const EntryValues& entry, const InterchangeTexts& texts);
// The blocks of several entries, one after another (the clipboard form).
SecretString entriesText(std::span<const EntryValues> entries, const InterchangeTexts& texts);

// The blocks of several entries, and how many of those entries an import of the blocks
// would not give back with the same values. Nothing is escaped in the form, so a value
// holding its tags ("</Data>", "<Type>"...) comes back cut or mixed up with another
// field; a type other than the three does not come back at all, nor does an entry without
// a title; blanks and control characters around any value but Data are trimmed away.
struct ExportBlocks {
    SecretString text;
    int notRestorable = 0;
};
ExportBlocks exportBlocks(std::span<const EntryValues> entries, const InterchangeTexts& texts);
// A whole export file: the header line, CR LF, then the blocks.
SecretString exportFileText(std::string_view blocks, const InterchangeTexts& texts);

// The name an export is written to: `chosen` when its extension is ".xml" in any letter
// case, otherwise `chosen` + ".xml".
std::string exportFileName(std::string_view chosen);

// Writes `fileText` as the whole file `path`. The text goes to a new file beside the target
// that replaces it only once every byte is written and the file closed, so a failed export
// leaves neither a half-written file nor a damaged old one. A symbolic link at `path` is
// kept and the file it leads to written. True when it all went through.
bool writeExportFile(const std::string& path, std::string_view fileText,
                     FileSystem& fs = nativeFileSystem());

// Reads a whole file to import; nothing for a file that cannot be opened, is empty or
// cannot be read in full.
std::optional<SecretString> readImportFile(const std::string& path);

// The entries of every acceptable block of `text`, in order. Text outside blocks and
// malformed blocks are skipped. Values are not cut to the stored field sizes.
std::vector<EntryValues> importText(std::string_view text, const InterchangeTexts& texts);

// True when every text of the entry fits its field of the account file as it is; otherwise
// the title is cut when the entry is added and the other texts when it is saved.
bool fitsAccountFile(const EntryValues& entry);

// importText, with the number of imported entries that do not fit the account file, so
// that the user learns that they were cut.
struct ImportedBlocks {
    std::vector<EntryValues> entries;
    int cut = 0;
};
ImportedBlocks importBlocks(std::string_view text, const InterchangeTexts& texts);

} // namespace kh
