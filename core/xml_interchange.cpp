#include "xml_interchange.h"

#include "sdr_file.h"
#include "text_format.h"
#include "text_trim.h"

#include <array>

namespace kh {
namespace {

constexpr std::string_view kBlockOpen = "<Entry>";
constexpr std::string_view kBlockClose = "</Entry>";

// Reading more than this into memory would only end in an allocation failure; no export
// of a vault comes near it.
constexpr long long kMaxImportFileSize = 256LL * 1024 * 1024;

// Windows-1252 lower case, so that translated type names with accented capitals match too.
unsigned char foldCase(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
    switch (c) {
    case 0x8A: // S caron
    case 0x8C: // OE
    case 0x8E: // Z caron
        return static_cast<unsigned char>(c + 16);
    case 0x9F: // Y diaeresis
        return 0xFF;
    default:
        return c;
    }
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldCase(static_cast<unsigned char>(a[i])) !=
            foldCase(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

struct Element {
    bool opened = false;
    bool closed = false;
    std::string_view content;
};

// The first occurrence of the opening tag in the block, and the closing tag after it.
Element findElement(std::string_view block, std::string_view open, std::string_view close) {
    Element e;
    const std::size_t start = block.find(open);
    if (start == std::string_view::npos) return e;
    e.opened = true;
    const std::size_t from = start + open.size();
    const std::size_t end = block.find(close, from);
    if (end == std::string_view::npos) return e;
    e.closed = true;
    e.content = block.substr(from, end - from);
    return e;
}

std::optional<std::int32_t> typeOf(std::string_view name, const InterchangeTexts& texts) {
    name = trimBlanks(name);
    if (name.empty()) return std::nullopt;
    const std::array<std::pair<std::string_view, const std::string*>, 3> types = {{
        {"Password", &texts.passwordName},
        {"Link", &texts.linkName},
        {"Text", &texts.textName},
    }};
    for (std::size_t i = 0; i < types.size(); ++i) {
        if (equalsIgnoringCase(name, types[i].first) ||
            (texts.languageInForce && equalsIgnoringCase(name, *types[i].second)))
            return static_cast<std::int32_t>(i + 1);
    }
    return std::nullopt;
}

std::optional<EntryValues> readBlock(std::string_view block, const InterchangeTexts& texts) {
    const Element type = findElement(block, "<Type>", "</Type>");
    if (!type.closed) return std::nullopt;
    const std::optional<std::int32_t> code = typeOf(type.content, texts);
    if (!code) return std::nullopt;

    const Element title = findElement(block, "<Title>", "</Title>");
    if (!title.closed || trimBlanks(title.content).empty()) return std::nullopt;

    const Element description = findElement(block, "<Description>", "</Description>");
    if (description.opened && !description.closed) return std::nullopt;

    const Element data = findElement(block, "<Data>", "</Data>");
    if (!data.closed) return std::nullopt;

    const Element whatsThis = findElement(block, "<WhatsThis>", "</WhatsThis>");

    EntryValues entry;
    entry.type = *code;
    entry.title = trimBlanks(title.content);
    entry.description = trimBlanks(description.content);
    entry.whatsThis = trimBlanks(whatsThis.content);
    entry.data = data.content;
    return entry;
}

} // namespace

const std::string& typeName(std::int32_t type, const InterchangeTexts& texts) {
    switch (type) {
    case kEntryPassword:
        return texts.passwordName;
    case kEntryLink:
        return texts.linkName;
    case kEntryText:
        return texts.textName;
    default:
        return texts.unknownName;
    }
}

SecretString entryText(const EntryValues& entry, const InterchangeTexts& texts) {
    return formatSecretText(texts.itemTemplate,
                            {entry.title, entry.description, typeName(entry.type, texts), 1,
                             entry.data.view(), entry.whatsThis});
}

SecretString entriesText(std::span<const EntryValues> entries, const InterchangeTexts& texts) {
    SecretString text;
    for (const EntryValues& entry : entries)
        text.append(entryText(entry, texts).view());
    return text;
}

ExportBlocks exportBlocks(std::span<const EntryValues> entries, const InterchangeTexts& texts) {
    ExportBlocks result;
    for (const EntryValues& entry : entries) {
        const SecretString block = entryText(entry, texts);
        result.text.append(block.view());
        // A block never reaches past its own closing tag when read, so reading it alone
        // tells what an import of the whole file makes of this entry.
        const std::vector<EntryValues> back = importText(block.view(), texts);
        const bool same = back.size() == 1 && back[0].type == entry.type &&
                          back[0].title == entry.title && back[0].whatsThis == entry.whatsThis &&
                          back[0].data == entry.data && back[0].description == entry.description;
        if (!same) ++result.notRestorable;
    }
    return result;
}

SecretString exportFileText(std::string_view blocks, const InterchangeTexts& texts) {
    SecretString text(texts.fileHeader);
    text.append("\r\n");
    text.append(blocks);
    return text;
}

std::string exportFileName(std::string_view chosen) {
    // The extension belongs to the last path component only: "C:\my.files\export" has none.
    const std::size_t nameStart = chosen.find_last_of("/\\:");
    const std::string_view name =
        nameStart == std::string_view::npos ? chosen : chosen.substr(nameStart + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && equalsIgnoringCase(name.substr(dot), ".xml"))
        return std::string(chosen);
    std::string result(chosen);
    result += ".xml";
    return result;
}

bool writeExportFile(const std::string& path, std::string_view fileText, FileSystem& fs) {
    const long long size = static_cast<long long>(fileText.size());
    return writeWholeFile(fs, path, true, [&](SdrFile& file) {
               return size == 0 || file.write(fileText.data(), size, 0) == size;
           }) == WriteOutcome::Written;
}

std::optional<SecretString> readImportFile(const std::string& path) {
    // Only regular files: a pipe or a device could block the read forever.
    SdrFile file;
    if (!openRegularFile(path, file) || !file.seekEnd()) return std::nullopt;
    const long long size = file.tell();
    if (size <= 0 || size > kMaxImportFileSize) return std::nullopt;
    SecretString text;
    text.resize(static_cast<std::size_t>(size));
    if (file.read(&text[0], size, 0) != size) return std::nullopt;
    return text;
}

std::vector<EntryValues> importText(std::string_view text, const InterchangeTexts& texts) {
    std::vector<EntryValues> entries;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t start = text.find(kBlockOpen, pos);
        if (start == std::string_view::npos) break;
        const std::size_t close = text.find(kBlockClose, start + kBlockOpen.size());
        if (close == std::string_view::npos) break;
        pos = close + kBlockClose.size();
        std::optional<EntryValues> entry = readBlock(text.substr(start, pos - start), texts);
        if (entry) entries.push_back(std::move(*entry));
    }
    return entries;
}

bool fitsAccountFile(const EntryValues& entry) {
    const auto fits = [](std::string_view text, std::size_t max) {
        return text.size() <= max && text.find('\0') == std::string_view::npos;
    };
    return fits(entry.title, kMaxEntryTitle) && fits(entry.whatsThis, kMaxEntryWhatsThis) &&
           fits(entry.data.view(), kMaxEntryData) && fits(entry.description, kMaxEntryDescription);
}

ImportedBlocks importBlocks(std::string_view text, const InterchangeTexts& texts) {
    ImportedBlocks result;
    result.entries = importText(text, texts);
    for (const EntryValues& entry : result.entries)
        if (!fitsAccountFile(entry)) ++result.cut;
    return result;
}

} // namespace kh
