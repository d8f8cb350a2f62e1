#include "import_formats.h"

#include "csv_reader.h"
#include "json.h"
#include "text_codec.h"
#include "text_format.h"
#include "text_trim.h"

#include <algorithm>
#include <array>
#include <span>

namespace kh {
namespace {

struct FormatInfo {
    ImportFormat format;
    std::string_view name;
    std::string_view title;
};

constexpr std::array<FormatInfo, 7> kFormats{{
    {ImportFormat::Auto, "auto", "auto"},
    {ImportFormat::Xml, "xml", "Keyhaven XML"},
    {ImportFormat::KeePassXcCsv, "keepassxc-csv", "KeePassXC CSV"},
    {ImportFormat::BitwardenCsv, "bitwarden-csv", "Bitwarden CSV"},
    {ImportFormat::BitwardenJson, "bitwarden-json", "Bitwarden JSON"},
    {ImportFormat::ChromeCsv, "chrome-csv", "Chrome/Edge CSV"},
    {ImportFormat::FirefoxCsv, "firefox-csv", "Firefox CSV"},
}};

const FormatInfo& infoOf(ImportFormat format) {
    for (const FormatInfo& info : kFormats)
        if (info.format == format) return info;
    return kFormats[0];
}

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool equalsAsciiNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return asciiLower(x) == asciiLower(y);
           });
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kXmlBlockOpen = "<Entry>";

// The text from its first character that is no byte-order mark, blank or control.
std::string_view firstContent(std::string_view text) {
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    while (!text.empty() && isBlankOrControl(text.front()))
        text.remove_prefix(1);
    return text;
}

std::size_t lineOfOffset(std::string_view text, std::size_t offset) {
    offset = std::min(offset, text.size());
    std::size_t line = 1;
    for (std::size_t i = 0; i < offset; ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')))
            ++line;
    }
    return line;
}

// ---- Items and their mapping ----

// One item of an export, its texts UTF-8 as in the file.
struct SourceItem {
    std::string_view name;
    std::string_view url;
    std::string_view userName;
    std::string_view password;
    std::string_view notes;
    // Further addresses, one-time password keys or custom fields: nowhere to put them.
    bool otherData = false;
    std::size_t line = 0;
    std::size_t item = 0;
};

// A text for a field that may lose characters: those Windows-1252 lacks, malformed bytes
// and NUL (which would end the stored text early) become '?', and `lost` is set.
std::string storedText(std::string_view utf8, bool& lost) {
    std::optional<std::string> exact = utf8ToWindows1252Exact(utf8);
    std::string out;
    if (exact) {
        out = std::move(*exact);
    } else {
        out = utf8ToWindows1252(utf8);
        lost = true;
    }
    for (char& c : out) {
        if (c == '\0') {
            c = '?';
            lost = true;
        }
    }
    return out;
}

void cutTo(std::string& text, std::size_t max, bool& lost) {
    if (text.size() <= max) return;
    text.resize(max);
    lost = true;
}

// The exact Windows-1252 form of a user name or password, or none when the field cannot
// hold it as it is.
std::optional<std::string> exactText(std::string_view utf8, std::size_t max) {
    std::optional<std::string> out = utf8ToWindows1252Exact(utf8);
    if (out && (out->size() > max || out->find('\0') != std::string::npos)) {
        wipeString(*out);
        out.reset();
    }
    return out;
}

// Windows edit boxes break lines only at CR LF; exports mostly use LF.
std::string withCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// Where a Text entry's note passes from Description to Data. A note that fits both breaks
// after its last line end, else its last space, that leaves Data room for the rest; any
// other break is at Description's end, but never inside a CR LF.
std::size_t noteSplit(std::string_view note) {
    if (note.size() <= kMaxEntryDescription) return note.size();
    std::size_t split = kMaxEntryDescription;
    if (note.size() <= kMaxEntryDescription + kMaxEntryData) {
        const std::size_t earliest = note.size() - kMaxEntryData;
        const std::string_view head = note.substr(0, split);
        for (const char breakAfter : {'\n', ' '}) {
            const std::size_t at = head.rfind(breakAfter);
            if (at != std::string_view::npos && at + 1 >= earliest) return at + 1;
        }
    }
    if (note[split - 1] == '\r' && note[split] == '\n') --split;
    return split;
}

constexpr std::size_t kLabelChars = 60;

// What a message calls an item: never its password.
std::string labelOf(const SourceItem& item) {
    for (std::string_view candidate : {item.name, item.url, item.userName}) {
        candidate = trimBlanks(candidate);
        if (candidate.empty()) continue;
        std::string label = utf8ToWindows1252(candidate);
        for (char& c : label)
            if (isBlankOrControl(c)) c = ' ';
        if (label.size() > kLabelChars) {
            label.resize(kLabelChars - 3);
            label += "...";
        }
        return label;
    }
    return {};
}

void skip(ImportResult& result, const SourceItem& item, SkipReason reason) {
    SkippedItem& skipped = result.report.skipped.emplace_back();
    skipped.reason = reason;
    skipped.label = labelOf(item);
    skipped.line = item.line;
    skipped.item = item.item;
}

void addItem(const SourceItem& item, ImportResult& result) {
    std::optional<std::string> userName = exactText(item.userName, kMaxEntryWhatsThis);
    std::optional<std::string> password = exactText(item.password, kMaxEntryData);
    if (!userName || !password) {
        if (userName) wipeString(*userName);
        if (password) wipeString(*password);
        skip(result, item, SkipReason::NotExact);
        return;
    }

    bool lost = false;
    bool leftOut = item.otherData;
    const std::string name = storedText(trimBlanks(item.name), lost);
    const std::string_view url = trimBlanks(item.url);
    const bool hasUserName = !trimBlanks(*userName).empty();

    EntryValues entry;
    if (!url.empty()) {
        entry.type = kEntryLink;
        entry.title = hasUserName ? *userName : name;
        entry.whatsThis = name;
        entry.description = storedText(url, lost);
        cutTo(entry.description, kMaxEntryDescription, lost);
        if (!trimBlanks(item.notes).empty()) leftOut = true;
    } else if (!password->empty() || hasUserName) {
        entry.type = kEntryPassword;
        entry.title = name;
        entry.whatsThis = *userName;
        std::string notes = storedText(item.notes, lost);
        entry.description = withCrLf(notes);
        wipeString(notes);
        cutTo(entry.description, kMaxEntryDescription, lost);
    } else {
        entry.type = kEntryText;
        entry.title = name;
        std::string plain = storedText(item.notes, lost);
        std::string note = withCrLf(plain);
        wipeString(plain);
        const std::size_t split = noteSplit(note);
        entry.description = note.substr(0, split);
        std::string_view rest = std::string_view(note).substr(split);
        if (rest.size() > kMaxEntryData) {
            rest = rest.substr(0, kMaxEntryData);
            lost = true;
        }
        entry.data = rest;
        wipeString(note);
    }
    if (entry.type != kEntryText) entry.data = *password;
    wipeString(*password);
    wipeString(*userName);

    // The user name fits as it is; a name standing in for it may need cutting.
    cutTo(entry.title, kMaxEntryTitle, lost);
    cutTo(entry.whatsThis, kMaxEntryWhatsThis, lost);
    if (trimBlanks(entry.title).empty()) {
        skip(result, item, SkipReason::NoTitle);
        return;
    }
    if (lost) ++result.report.cut;
    if (leftOut) ++result.report.leftOut;
    result.entries.push_back(std::move(entry));
}

// ---- CSV formats ----

enum class Role { None, Name, Url, UserName, Password, Notes, Totp, Fields, Type, Group };
constexpr std::size_t kRoleCount = static_cast<std::size_t>(Role::Group) + 1;

struct Column {
    std::string_view name;
    Role role;
    bool required;
};

struct CsvLayout {
    ImportFormat format;
    std::span<const Column> columns;
};

constexpr Column kKeePassXcColumns[] = {
    {"Group", Role::Group, true},       {"Title", Role::Name, true},
    {"Username", Role::UserName, true}, {"Password", Role::Password, true},
    {"URL", Role::Url, true},           {"Notes", Role::Notes, true},
    {"TOTP", Role::Totp, false},
};
// Personal exports start with "folder", organisation exports with "collections".
constexpr Column kBitwardenColumns[] = {
    {"type", Role::Type, true},
    {"name", Role::Name, true},
    {"notes", Role::Notes, true},
    {"fields", Role::Fields, false},
    {"login_uri", Role::Url, true},
    {"login_username", Role::UserName, true},
    {"login_password", Role::Password, true},
    {"login_totp", Role::Totp, false},
};
// Older exports have no "note".
constexpr Column kChromeColumns[] = {
    {"name", Role::Name, true},         {"url", Role::Url, true},
    {"username", Role::UserName, true}, {"password", Role::Password, true},
    {"note", Role::Notes, false},
};
constexpr Column kFirefoxColumns[] = {
    {"url", Role::Url, true},
    {"username", Role::UserName, true},
    {"password", Role::Password, true},
    {"httpRealm", Role::None, true},
    {"formActionOrigin", Role::None, true},
};

// In the order auto tries them; none of their required sets contains another's.
constexpr std::array<CsvLayout, 4> kCsvLayouts{{
    {ImportFormat::BitwardenCsv, kBitwardenColumns},
    {ImportFormat::KeePassXcCsv, kKeePassXcColumns},
    {ImportFormat::FirefoxCsv, kFirefoxColumns},
    {ImportFormat::ChromeCsv, kChromeColumns},
}};

const CsvLayout* csvLayout(ImportFormat format) {
    for (const CsvLayout& layout : kCsvLayouts)
        if (layout.format == format) return &layout;
    return nullptr;
}

constexpr std::size_t kNoColumn = static_cast<std::size_t>(-1);

// Where each role's column is in a header, and which required columns it lacks.
struct HeaderMatch {
    std::array<std::size_t, kRoleCount> index;
    std::vector<std::string_view> missing;

    HeaderMatch() { index.fill(kNoColumn); }
    std::size_t& at(Role role) { return index[static_cast<std::size_t>(role)]; }
    std::size_t at(Role role) const { return index[static_cast<std::size_t>(role)]; }
};

HeaderMatch matchHeader(const CsvRecord& header, const CsvLayout& layout) {
    HeaderMatch match;
    for (const Column& column : layout.columns) {
        std::size_t found = kNoColumn;
        for (std::size_t i = 0; i < header.fields.size(); ++i) {
            if (equalsAsciiNoCase(trimBlanks(header.fields[i].view()), column.name)) {
                found = i;
                break;
            }
        }
        if (found == kNoColumn && column.required) match.missing.push_back(column.name);
        if (column.role != Role::None) match.at(column.role) = found;
    }
    return match;
}

std::string_view fieldOf(const CsvRecord& record, const HeaderMatch& match, Role role) {
    const std::size_t i = match.at(role);
    return i < record.fields.size() ? record.fields[i].view() : std::string_view();
}

// The host of a web address: what Firefox's items are known by.
std::string_view hostOf(std::string_view url) {
    url = trimBlanks(url);
    const std::size_t scheme = url.find("://");
    if (scheme != std::string_view::npos) url.remove_prefix(scheme + 3);
    url = url.substr(0, url.find_first_of("/?#"));
    const std::size_t at = url.rfind('@');
    if (at != std::string_view::npos) url.remove_prefix(at + 1);
    if (url.starts_with('[')) {
        const std::size_t close = url.find(']');
        return close == std::string_view::npos ? url : url.substr(0, close + 1);
    }
    return url.substr(0, url.rfind(':'));
}

// KeePassXC keeps deleted entries in a group "Recycle Bin" under the root group, and its
// export includes them.
bool inRecycleBin(std::string_view group) {
    const std::size_t slash = group.find('/');
    if (slash == std::string_view::npos) return false;
    const std::string_view below = group.substr(slash + 1);
    return below.substr(0, below.find('/')) == "Recycle Bin";
}

bool allEmpty(const CsvRecord& record) {
    return std::all_of(record.fields.begin(), record.fields.end(),
                       [](const SecretString& f) { return f.empty(); });
}

void readCsvItems(CsvReader& reader, ImportFormat format, const HeaderMatch& match,
                  ImportResult& result) {
    CsvRecord record;
    while (reader.next(record)) {
        if (allEmpty(record)) continue;
        SourceItem item;
        item.line = record.line;
        item.name = fieldOf(record, match, Role::Name);
        item.url = fieldOf(record, match, Role::Url);
        item.userName = fieldOf(record, match, Role::UserName);
        item.password = fieldOf(record, match, Role::Password);
        item.notes = fieldOf(record, match, Role::Notes);
        item.otherData = !trimBlanks(fieldOf(record, match, Role::Totp)).empty() ||
                         !trimBlanks(fieldOf(record, match, Role::Fields)).empty();
        if (format == ImportFormat::FirefoxCsv) item.name = hostOf(item.url);
        if (format == ImportFormat::KeePassXcCsv &&
            inRecycleBin(fieldOf(record, match, Role::Group))) {
            skip(result, item, SkipReason::Deleted);
            continue;
        }
        if (format == ImportFormat::BitwardenCsv) {
            const std::string_view type = trimBlanks(fieldOf(record, match, Role::Type));
            if (!type.empty() && !equalsAsciiNoCase(type, "login") &&
                !equalsAsciiNoCase(type, "note")) {
                skip(result, item, SkipReason::NotLogin);
                continue;
            }
            // Several addresses are written as one comma-separated field.
            const std::size_t comma = item.url.find(',');
            if (comma != std::string_view::npos) {
                if (!trimBlanks(item.url.substr(comma + 1)).empty()) item.otherData = true;
                item.url = item.url.substr(0, comma);
            }
        }
        addItem(item, result);
    }
}

// ---- Bitwarden JSON ----

bool isEncryptedExport(const json::Value& root) {
    const json::Value* encrypted = root.find("encrypted");
    return (encrypted && encrypted->asBool().value_or(false)) ||
           root.find("encKeyValidation_DO_NOT_EDIT") != nullptr;
}

bool looksLikeBitwardenJson(const json::Value& root) {
    if (!root.isObject()) return false;
    const json::Value* items = root.find("items");
    return (items && items->isArray()) || root.find("encrypted") != nullptr;
}

std::string_view stringOr(const json::Value* object, std::string_view name) {
    if (!object) return {};
    const std::string* s = object->stringAt(name);
    return s ? std::string_view(*s) : std::string_view();
}

bool nonEmptyArray(const json::Value* value) {
    const json::Value::Array* array = value ? value->asArray() : nullptr;
    return array && !array->empty();
}

constexpr double kBitwardenLogin = 1;
constexpr double kBitwardenNote = 2;

void readBitwardenItems(const json::Value::Array& items, ImportResult& result) {
    std::size_t place = 0;
    for (const json::Value& value : items) {
        SourceItem item;
        item.item = ++place;
        if (!value.isObject()) {
            skip(result, item, SkipReason::NotLogin);
            continue;
        }
        item.name = stringOr(&value, "name");
        item.notes = stringOr(&value, "notes");
        item.otherData = nonEmptyArray(value.find("fields"));
        const json::Value* typeValue = value.find("type");
        const double type = typeValue ? typeValue->asNumber().value_or(0) : 0;
        if (type == kBitwardenLogin) {
            const json::Value* login = value.find("login");
            item.userName = stringOr(login, "username");
            item.password = stringOr(login, "password");
            if (!trimBlanks(stringOr(login, "totp")).empty()) item.otherData = true;
            const json::Value* uris = login ? login->find("uris") : nullptr;
            if (const json::Value::Array* list = uris ? uris->asArray() : nullptr) {
                for (const json::Value& uri : *list) {
                    const std::string_view address = trimBlanks(stringOr(&uri, "uri"));
                    if (address.empty()) continue;
                    if (item.url.empty())
                        item.url = address;
                    else
                        item.otherData = true;
                }
            }
        } else if (type != kBitwardenNote) {
            skip(result, item, SkipReason::NotLogin);
            continue;
        }
        addItem(item, result);
    }
}

// ---- Reading a whole export ----

void refuse(ImportResult& result, ImportRefusal refusal) {
    result.refusal = refusal;
    result.entries.clear();
    result.report.imported = 0;
    result.report.cut = 0;
    result.report.leftOut = 0;
    result.report.skipped.clear();
}

std::string joined(const std::vector<std::string_view>& names) {
    std::string text;
    for (std::string_view name : names) {
        if (!text.empty()) text += ", ";
        text += name;
    }
    return text;
}

void importXml(std::string_view text, const InterchangeTexts& texts, ImportResult& result) {
    std::vector<EntryValues> entries = importText(text, texts);
    for (EntryValues& entry : entries) {
        bool lost = false;
        const auto fit = [&lost](std::string& field, std::size_t max) {
            const std::size_t nul = field.find('\0');
            if (nul != std::string::npos) {
                field.resize(nul);
                lost = true;
            }
            cutTo(field, max, lost);
        };
        fit(entry.title, kMaxEntryTitle);
        fit(entry.whatsThis, kMaxEntryWhatsThis);
        fit(entry.description, kMaxEntryDescription);
        std::string_view data = entry.data.view();
        data = data.substr(0, data.find('\0'));
        if (data.size() > kMaxEntryData) data = data.substr(0, kMaxEntryData);
        if (data.size() != entry.data.size()) {
            lost = true;
            SecretString kept(data);
            entry.data = std::move(kept);
        }
        if (lost) ++result.report.cut;
    }
    result.entries = std::move(entries);
}

void importCsv(std::string_view text, ImportFormat format, bool chosen, ImportResult& result) {
    CsvReader reader(text);
    CsvRecord header;
    const bool hasHeader = reader.next(header);
    const CsvLayout* layout = nullptr;
    HeaderMatch match;
    if (chosen) {
        layout = csvLayout(format);
        if (hasHeader) {
            match = matchHeader(header, *layout);
        } else {
            for (const Column& column : layout->columns)
                if (column.required) match.missing.push_back(column.name);
        }
        if (!match.missing.empty()) {
            result.missing = joined(match.missing);
            refuse(result, ImportRefusal::WrongHeader);
            return;
        }
    } else if (hasHeader) {
        for (const CsvLayout& candidate : kCsvLayouts) {
            HeaderMatch m = matchHeader(header, candidate);
            if (m.missing.empty()) {
                layout = &candidate;
                match = m;
                break;
            }
        }
    }
    if (!layout) {
        refuse(result, ImportRefusal::Unrecognised);
        return;
    }
    result.report.format = layout->format;
    readCsvItems(reader, layout->format, match, result);
    if (reader.unterminatedQuote()) {
        result.line = reader.unterminatedLine();
        refuse(result, ImportRefusal::UnterminatedQuote);
    }
}

void importBitwardenJson(std::string_view text, bool chosen, ImportResult& result) {
    json::ParseError error;
    const std::optional<json::Value> root = json::parse(text, &error);
    if (!root) {
        result.line = lineOfOffset(text, error.offset);
        refuse(result, ImportRefusal::BadJson);
        return;
    }
    if (!looksLikeBitwardenJson(*root)) {
        if (chosen) result.missing = "items";
        refuse(result, chosen ? ImportRefusal::WrongHeader : ImportRefusal::Unrecognised);
        return;
    }
    result.report.format = ImportFormat::BitwardenJson;
    if (isEncryptedExport(*root)) {
        refuse(result, ImportRefusal::Encrypted);
        return;
    }
    const json::Value* items = root->find("items");
    const json::Value::Array* list = items ? items->asArray() : nullptr;
    if (!list) {
        result.missing = "items";
        refuse(result, ImportRefusal::WrongHeader);
        return;
    }
    readBitwardenItems(*list, result);
}

bool looksLikeXml(std::string_view content, std::string_view text) {
    return content.starts_with('<') && text.find(kXmlBlockOpen) != std::string_view::npos;
}

} // namespace

std::string_view importFormatName(ImportFormat format) {
    return infoOf(format).name;
}

std::optional<ImportFormat> importFormatFromName(std::string_view name) {
    for (const FormatInfo& info : kFormats)
        if (equalsAsciiNoCase(name, info.name)) return info.format;
    return std::nullopt;
}

std::string importFormatNames() {
    std::string names;
    for (const FormatInfo& info : kFormats) {
        if (!names.empty()) names += '|';
        names += info.name;
    }
    return names;
}

std::string_view importFormatTitle(ImportFormat format) {
    return infoOf(format).title;
}

ImportFormat detectImportFormat(std::string_view text) {
    const std::string_view content = firstContent(text);
    if (content.starts_with('<'))
        return looksLikeXml(content, text) ? ImportFormat::Xml : ImportFormat::Auto;
    if (content.starts_with('{') || content.starts_with('[')) {
        const std::optional<json::Value> root = json::parse(text);
        return root && looksLikeBitwardenJson(*root) ? ImportFormat::BitwardenJson
                                                     : ImportFormat::Auto;
    }
    CsvReader reader(text);
    CsvRecord header;
    if (!reader.next(header)) return ImportFormat::Auto;
    for (const CsvLayout& layout : kCsvLayouts)
        if (matchHeader(header, layout).missing.empty()) return layout.format;
    return ImportFormat::Auto;
}

ImportResult importEntries(std::string_view text, ImportFormat format,
                           const InterchangeTexts& texts) {
    ImportResult result;
    result.report.format = format;
    const std::string_view content = firstContent(text);
    switch (format) {
    case ImportFormat::Auto:
        if (content.starts_with('<')) {
            if (looksLikeXml(content, text)) {
                result.report.format = ImportFormat::Xml;
                importXml(text, texts, result);
            } else {
                refuse(result, ImportRefusal::Unrecognised);
            }
        } else if (content.starts_with('{') || content.starts_with('[')) {
            importBitwardenJson(text, false, result);
        } else {
            importCsv(text, format, false, result);
        }
        break;
    case ImportFormat::Xml:
        if (text.find(kXmlBlockOpen) == std::string_view::npos) {
            result.missing = std::string(kXmlBlockOpen);
            refuse(result, ImportRefusal::WrongHeader);
        } else {
            importXml(text, texts, result);
        }
        break;
    case ImportFormat::BitwardenJson:
        importBitwardenJson(text, true, result);
        break;
    case ImportFormat::KeePassXcCsv:
    case ImportFormat::BitwardenCsv:
    case ImportFormat::ChromeCsv:
    case ImportFormat::FirefoxCsv:
        importCsv(text, format, true, result);
        break;
    }
    result.report.imported = static_cast<int>(result.entries.size());
    return result;
}

std::string importSummaryText(const ImportReport& report, const ImportTexts& texts) {
    std::string text = formatText(texts.summary, {importFormatTitle(report.format), report.imported,
                                                  static_cast<int>(report.skipped.size())});
    if (report.cut > 0) {
        text += ' ';
        text += formatText(texts.cut, {report.cut});
    }
    if (report.leftOut > 0) {
        text += ' ';
        text += formatText(texts.leftOut, {report.leftOut});
    }
    if (report.skipped.empty()) return text;
    text += "\n\n";
    text += texts.skippedHead;
    const std::size_t named = std::min(report.skipped.size(), kNamedSkippedItems);
    for (std::size_t i = 0; i < named; ++i) {
        const SkippedItem& item = report.skipped[i];
        std::string label = item.label;
        if (label.empty())
            label = item.line > 0 ? formatText(texts.line, {item.line})
                                  : formatText(texts.item, {item.item});
        const std::string& reason = item.reason == SkipReason::NotLogin   ? texts.notLogin
                                    : item.reason == SkipReason::NotExact ? texts.notExact
                                    : item.reason == SkipReason::NoTitle  ? texts.noTitle
                                                                          : texts.deleted;
        text += '\n';
        text += formatText(reason, {label});
    }
    if (report.skipped.size() > named) {
        text += '\n';
        text += formatText(texts.more, {report.skipped.size() - named});
    }
    return text;
}

std::string importRefusalText(const ImportResult& result, const ImportTexts& texts) {
    switch (result.refusal) {
    case ImportRefusal::None:
        return {};
    case ImportRefusal::Unrecognised: {
        std::string titles;
        for (const FormatInfo& info : kFormats) {
            if (info.format == ImportFormat::Auto) continue;
            if (!titles.empty()) titles += ", ";
            titles += info.title;
        }
        return formatText(texts.unrecognised, {titles});
    }
    case ImportRefusal::WrongHeader:
        return formatText(texts.wrongHeader,
                          {importFormatTitle(result.report.format), result.missing});
    case ImportRefusal::Encrypted:
        return texts.encrypted;
    case ImportRefusal::UnterminatedQuote:
        return formatText(texts.unterminatedQuote, {result.line});
    case ImportRefusal::BadJson:
        return formatText(texts.badJson, {result.line});
    }
    return {};
}

} // namespace kh
