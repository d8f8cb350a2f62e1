// Imports from the exports of other password managers (and the program's own XML form):
// which format a file is in, its items mapped to entries, and a report of everything that
// did not come over whole. Exports are UTF-8; entries come out in Windows-1252 with every
// text already fitting its field, so what the report says is exactly what gets stored.
//
// Mapping of an item:
//   - with a web address: a Link entry. Title = user name (the item's name when there is
//     none), WhatsThis = the item's name, Data = password, Description = the address.
//   - with a password or a user name and no address: a Password entry. Title = name,
//     WhatsThis = user name, Data = password, Description = notes.
//   - otherwise a Text entry (a note). Title = name; the note goes to Description, which is
//     what the program shows of a Text entry, and what does not fit there continues in
//     Data, so notes of up to 270 characters come over whole: Description + Data is the
//     note. Such a note passes to Data after the last line end (else the last space) that
//     leaves Data room for the rest; a longer one is cut, and never inside a CR LF.
// The user name and password must come over exactly: an item whose user name or password
// is longer than its field, holds characters Windows-1252 lacks, a NUL or malformed UTF-8
// is skipped. Other texts are cut to their fields and such characters become '?'; those
// entries are counted as cut. Notes of a Link entry, further web addresses, one-time
// password keys and custom fields have no place in an entry; entries that had them are
// counted as left out. Line breaks in notes become CR LF, as the program's edit boxes
// need. An item that ends up without a title is skipped, as are items that are no login or
// note (cards, identities) and items in KeePassXC's recycle bin (known by its English
// name). A CSV record whose every field is empty is nothing and is passed over.
#pragma once

#include "xml_interchange.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kh {

enum class ImportFormat {
    Auto, // recognised by the file's first characters, its CSV header or its JSON shape
    Xml,
    KeePassXcCsv,
    BitwardenCsv,
    BitwardenJson,
    ChromeCsv,
    FirefoxCsv,
};

// The command-line name: "auto", "xml", "keepassxc-csv", "bitwarden-csv",
// "bitwarden-json", "chrome-csv", "firefox-csv".
std::string_view importFormatName(ImportFormat format);
// The format of a command-line name (any letter case); none for an unknown name.
std::optional<ImportFormat> importFormatFromName(std::string_view name);
// Every command-line name, auto first, joined by '|'.
std::string importFormatNames();
// The name shown to users ("KeePassXC CSV"); product names, not translated.
std::string_view importFormatTitle(ImportFormat format);

// The format a text is in, judged as Auto does; Auto when it is none of them.
ImportFormat detectImportFormat(std::string_view text);

enum class ImportRefusal {
    None,
    Unrecognised,      // auto found no known format
    WrongHeader,       // the chosen format's columns (or JSON members) are missing
    Encrypted,         // an encrypted Bitwarden export
    UnterminatedQuote, // a quoted CSV field never closes: the rest of the file ran into it
    BadJson,           // not well-formed JSON
};

enum class SkipReason {
    NotLogin, // a card, an identity or another kind of item that is no login or note
    NotExact, // its user name or password cannot be stored exactly
    NoTitle,  // nothing to title it with
    Deleted,  // in the other program's recycle bin (KeePassXC exports it)
};

struct SkippedItem {
    SkipReason reason = SkipReason::NotLogin;
    // The item's name, else its web address, else its user name, in Windows-1252, shortened
    // for a message; never its password. Empty when it has none of them.
    std::string label;
    std::size_t line = 0; // CSV: the line the item begins on
    std::size_t item = 0; // JSON: its place in the list of items, from 1
};

struct ImportReport {
    ImportFormat format = ImportFormat::Auto; // the format read (what auto recognised)
    int imported = 0;
    int cut = 0;     // imported entries with a text cut or characters replaced
    int leftOut = 0; // imported entries whose notes, further addresses... had no place
    std::vector<SkippedItem> skipped;
};

struct ImportResult {
    ImportRefusal refusal = ImportRefusal::None;
    std::string missing;              // WrongHeader: the missing columns, comma-separated
    std::size_t line = 0;             // UnterminatedQuote and BadJson: where it went wrong
    std::vector<EntryValues> entries; // in the order of the file; none when refused
    ImportReport report;

    bool refused() const { return refusal != ImportRefusal::None; }
};

// Reads a whole export. The XML form goes to the existing import of that form with
// `texts` (its entries are cut to their fields here and counted as cut).
ImportResult importEntries(std::string_view text, ImportFormat format,
                           const InterchangeTexts& texts);

// The message-table texts the report is told in (each with the placeholders shown).
struct ImportTexts {
    std::string summary;      // %s format title, %d imported, %d skipped
    std::string cut;          // %d
    std::string leftOut;      // %d
    std::string skippedHead;  // heading of the list of skipped items
    std::string notLogin;     // %s item
    std::string notExact;     // %s item
    std::string noTitle;      // %s item
    std::string deleted;      // %s item
    std::string more;         // %d further skipped items not named
    std::string line;         // %d: an item without a label, by its CSV line
    std::string item;         // %d: an item without a label, by its place in a JSON list
    std::string unrecognised; // %s the format titles
    std::string wrongHeader;  // %s format title, %s missing columns
    std::string encrypted;
    std::string unterminatedQuote; // %d line
    std::string badJson;           // %d line
};

// How many skipped items a summary names before it only counts the rest.
inline constexpr std::size_t kNamedSkippedItems = 10;

// The summary of an import: how many were imported, skipped, cut and left out, then the
// skipped items by name (at most kNamedSkippedItems) with their reasons.
std::string importSummaryText(const ImportReport& report, const ImportTexts& texts);
// Why an import was refused; empty when it was not.
std::string importRefusalText(const ImportResult& result, const ImportTexts& texts);

} // namespace kh
