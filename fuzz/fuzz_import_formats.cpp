// Feeds arbitrary bytes to the CSV reader, the JSON reader and the import of every format.
// Every entry that comes out must fit its stored field whole (no NUL, no excess), carry a
// title and one of the three types; a refused import has no entries; auto reads a text as
// the format detection names; and the report and its summary are made without fault.
#include "csv_reader.h"
#include "import_formats.h"
#include "json.h"

#include <cstdlib>
#include <string_view>

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

bool fits(std::string_view text, std::size_t max) {
    return text.size() <= max && text.find('\0') == std::string_view::npos;
}

const kh::ImportTexts& texts() {
    static const kh::ImportTexts t = [] {
        kh::ImportTexts s;
        s.summary = "%s %d %d";
        s.cut = s.leftOut = s.more = s.line = s.item = "%d";
        s.skippedHead = "skipped";
        s.notLogin = s.notExact = s.noTitle = s.deleted = "%s";
        s.unrecognised = "%s";
        s.wrongHeader = "%s %s";
        s.encrypted = "encrypted";
        s.unterminatedQuote = s.badJson = "%d";
        return s;
    }();
    return t;
}

void checkImport(const kh::ImportResult& r) {
    require(r.report.imported == static_cast<int>(r.entries.size()));
    if (r.refused()) {
        require(r.entries.empty() && r.report.skipped.empty());
        require(!kh::importRefusalText(r, texts()).empty());
        return;
    }
    require(r.report.cut <= r.report.imported && r.report.leftOut <= r.report.imported);
    for (const kh::EntryValues& e : r.entries) {
        require(e.type >= kh::kEntryPassword && e.type <= kh::kEntryText);
        require(fits(e.title, kh::kMaxEntryTitle) && fits(e.whatsThis, kh::kMaxEntryWhatsThis) &&
                fits(e.data.view(), kh::kMaxEntryData) &&
                fits(e.description, kh::kMaxEntryDescription));
        bool titled = false;
        for (char c : e.title)
            titled = titled || static_cast<unsigned char>(c) > 32;
        require(titled);
    }
    for (const kh::SkippedItem& s : r.report.skipped) {
        require(s.label.size() <= 60);
        for (char c : s.label)
            require(static_cast<unsigned char>(c) > 32 || c == ' ');
    }
    require(!kh::importSummaryText(r.report, texts()).empty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const kh::CsvTable table = kh::readCsv(text);
    std::size_t lastLine = 0;
    for (const kh::CsvRecord& record : table.records) {
        require(record.line > lastLine && !record.fields.empty());
        lastLine = record.line;
    }
    require(table.unterminatedLine == 0 || table.unterminatedLine >= lastLine);

    if (const std::optional<kh::json::Value> value = kh::json::parse(text)) {
        const std::string written = kh::json::serialize(*value);
        const std::optional<kh::json::Value> back = kh::json::parse(written);
        require(back && kh::json::serialize(*back) == written);
    }

    static const kh::InterchangeTexts interchange;
    const kh::ImportResult automatic = kh::importEntries(text, kh::ImportFormat::Auto, interchange);
    checkImport(automatic);
    const kh::ImportFormat detected = kh::detectImportFormat(text);
    if (!automatic.refused()) require(automatic.report.format == detected);
    for (kh::ImportFormat format : {kh::ImportFormat::Xml, kh::ImportFormat::KeePassXcCsv,
                                    kh::ImportFormat::BitwardenCsv, kh::ImportFormat::BitwardenJson,
                                    kh::ImportFormat::ChromeCsv, kh::ImportFormat::FirefoxCsv}) {
        const kh::ImportResult named = kh::importEntries(text, format, interchange);
        checkImport(named);
        // Naming the format auto found reads the text the same way.
        if (format == detected && !automatic.refused())
            require(named.entries.size() == automatic.entries.size() &&
                    named.report.skipped.size() == automatic.report.skipped.size());
    }
    return 0;
}
