#include "language.h"

#include "file_system.h"
#include "sdr_file.h"
#include "text_codec.h"
#include "text_trim.h"

#include <algorithm>

namespace kh {
namespace {

// Windows-1252 upper case, so that "clé" and "CLÉ" are one key as in an ANSI comparison.
char foldCase(char ch) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return static_cast<char>(c - 0x20);
    switch (c) {
    case 0x9A:
        return static_cast<char>(0x8A); // š
    case 0x9C:
        return static_cast<char>(0x8C); // œ
    case 0x9E:
        return static_cast<char>(0x8E); // ž
    case 0xFF:
        return static_cast<char>(0x9F); // ÿ
    default:
        return ch;
    }
}

std::string folded(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), foldCase);
    return out;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return foldCase(x) == foldCase(y);
           });
}

template <class Pred> std::string_view trimmed(std::string_view text, Pred drop) {
    while (!text.empty() && drop(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && drop(text.back()))
        text.remove_suffix(1);
    return text;
}

// The text before the first NUL, which ends a file's text.
std::string_view untilNul(std::string_view bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

// Calls `line` for each line; CR LF, LF and CR each end one line, LF CR ends two. A final
// line end does not start another (empty) line.
template <class LineFn> void forEachLine(std::string_view text, LineFn&& line) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            line(text.substr(pos));
            return;
        }
        line(text.substr(pos, end - pos));
        pos = end + 1;
        if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
    }
}

std::string lineBreaksAsSemicolons(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ';');
    return text;
}

// The key that sets a component's text, by kind; nothing for kinds that keep their design
// text.
std::optional<std::string> textKey(ComponentKind kind, const std::string& section,
                                   const std::string& name) {
    switch (kind) {
    case ComponentKind::Window:
        return section;
    case ComponentKind::SkinnedControl:
    case ComponentKind::Label:
    case ComponentKind::StaticText:
    case ComponentKind::MenuItem:
    case ComponentKind::ToolButton:
    case ComponentKind::Panel:
    case ComponentKind::GroupBox:
    case ComponentKind::RadioGroup:
    case ComponentKind::Button:
    case ComponentKind::TabSheet:
        return section + "." + name;
    case ComponentKind::Other:
        break;
    }
    return std::nullopt;
}

// Windows' hints are neither translated nor collected.
bool hasHint(const TranslatableComponent& component) {
    return component.isVisualControl() && component.componentKind() != ComponentKind::Window;
}

// What a window owns is keyed under the given section, or else the window's class name.
const std::string& childSection(const std::string& section, const std::string& name) {
    return section.empty() ? name : section;
}

void appendUnique(std::vector<std::string>& lines, std::string line) {
    line = lineBreaksAsSemicolons(std::move(line));
    for (const std::string& existing : lines)
        if (equalsIgnoreCase(existing, line)) return;
    lines.push_back(std::move(line));
}

// Blanks around profile lines, keys and values.
bool isProfileBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1A';
}

constexpr std::size_t kMaxDisplayName = 255;

} // namespace

std::optional<std::string> readLanguageFile(const std::string& path) {
    // Refusing anything but a regular file keeps a pipe or device from blocking the start.
    if (nativeFileSystem().pathKind(path) != PathKind::File) return std::nullopt;
    SdrFile file;
    if (!file.open(path, true) || !file.seekEnd()) return std::nullopt;
    const long long size = file.tell();
    if (size < 0 || static_cast<unsigned long long>(size) > kMaxLanguageFileSize)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (size > 0 && file.read(bytes.data(), size, 0) != size) return std::nullopt;
    return bytes;
}

std::string readLanguageDisplayName(std::string_view bytes) {
    std::string_view text = untilNul(bytes);
    std::string converted;
    if (text.starts_with("\xEF\xBB\xBF")) {
        converted = utf8ToWindows1252(text.substr(3));
        text = converted;
    }

    bool inAbout = false;
    bool done = false;
    std::string result;
    forEachLine(text, [&](std::string_view raw) {
        if (done) return;
        const std::string_view line = trimmed(raw, isProfileBlank);
        if (line.empty()) return;
        if (line.front() == '[') {
            const std::size_t close = line.rfind(']');
            if (close != std::string_view::npos) {
                // Only the first About section is searched.
                if (inAbout) done = true;
                inAbout = equalsIgnoreCase(line.substr(1, close - 1), "About");
                return;
            }
        }
        if (!inAbout) return;
        const std::size_t eq = line.find('=');
        if (!equalsIgnoreCase(trimmed(line.substr(0, eq), isProfileBlank), "Language")) return;
        done = true; // the first Language key counts, even without a value
        if (eq == std::string_view::npos) return;
        std::string_view value = trimmed(line.substr(eq + 1), isProfileBlank);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        result.assign(value.substr(0, kMaxDisplayName));
    });
    return result;
}

QLanguage::QLanguage(LanguageFileReader reader) : reader_(std::move(reader)) {}

void QLanguage::setLanguage(const std::string& path) {
    if (path == language_) return;
    language_ = path;
    if (loading_) return;
    if (!language_.empty())
        loadTranslation();
    else if (template_)
        loadTranslation(*template_);
}

void QLanguage::endLoading() {
    loading_ = false;
    if (!language_.empty()) loadTranslation();
}

void QLanguage::clearMap() {
    keys_.clear();
    texts_.clear();
    index_.clear();
}

bool QLanguage::loadTranslation() {
    clearMap();
    if (language_.empty()) return true;
    const std::optional<std::string> bytes = reader_ ? reader_(language_) : std::nullopt;
    if (!bytes) return false;
    const std::string_view text = untilNul(*bytes);
    if (text.empty()) return false; // no line at all
    forEachLine(text, [this](std::string_view line) { addLine(line); });
    return finishLoad();
}

bool QLanguage::loadTranslation(const std::vector<std::string>& lines) {
    clearMap();
    if (lines.empty()) return false;
    for (const std::string& line : lines)
        addLine(line);
    return finishLoad();
}

void QLanguage::addLine(std::string_view raw) {
    const std::string_view line = trimBlanks(raw);
    if (line.empty()) return;
    switch (line.front()) {
    case '#':
    case ';':
    case '=':
    case '[':
        return; // comments and section headers
    default:
        break;
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos || eq + 1 == line.size()) return;
    const std::string_view key = trimBlanks(line.substr(0, eq));
    const std::string_view text = trimBlanks(line.substr(eq + 1));
    // The first line with a key wins.
    if (!index_.try_emplace(folded(key), keys_.size()).second) return;
    keys_.emplace_back(key);
    texts_.emplace_back(text);
}

bool QLanguage::finishLoad() {
    // A copy, so that a handler may replace itself.
    if (const LoadedHandler handler = OnLanguageLoaded) handler(*this);
    return true;
}

bool QLanguage::lookupText(std::string_view key, std::string& text) const {
    if (key.empty()) return false;
    const auto found = index_.find(folded(key));
    if (found == index_.end()) return false;
    const std::string& value = texts_[found->second];
    if (value.empty()) return false;
    text = value;
    std::replace(text.begin(), text.end(), ';', '\n');
    return true;
}

std::vector<std::string>& QLanguage::templateLines() {
    if (!template_) template_.emplace();
    return *template_;
}

void QLanguage::addMessageDefault(std::string_view key, std::string_view text) {
    if (key.empty() || text.empty()) return;
    std::string line(key);
    line += " = ";
    line += text;
    templateLines().push_back(lineBreaksAsSemicolons(std::move(line)));
}

void QLanguage::translateWindow(TranslatableComponent* component, const std::string& section,
                                bool collect) {
    if (component == nullptr) return;
    // Collected before anything is applied, so the template keeps the design texts.
    if (collect) collectTexts(component, section, &templateLines());
    if (keys_.empty()) return;
    applyTranslation(*component, section);
}

void QLanguage::applyTranslation(TranslatableComponent& component, const std::string& section) {
    const std::string name = component.componentName();
    const ComponentKind kind = component.componentKind();
    if (!section.empty() && !name.empty()) {
        std::string found;
        if (const auto key = textKey(kind, section, name); key && lookupText(*key, found))
            component.setText(found);
        if (translateHint_ && hasHint(component) &&
            lookupText(section + "." + name + ".Hint", found))
            component.setHint(found);
    }
    if (kind == ComponentKind::Window) {
        const std::string& inner = childSection(section, name);
        for (TranslatableComponent* child : component.ownedComponents())
            if (child != nullptr && child != &component) applyTranslation(*child, inner);
    }
}

bool QLanguage::collectTexts(TranslatableComponent* component, const std::string& section,
                             std::vector<std::string>* templateLines) const {
    if (component == nullptr || templateLines == nullptr) return false;
    const std::size_t before = templateLines->size();
    const std::string name = component->componentName();
    const ComponentKind kind = component->componentKind();
    if (!section.empty() && !name.empty()) {
        if (const auto key = textKey(kind, section, name)) {
            const std::string text = component->text();
            if (kind != ComponentKind::MenuItem || text != "-") // separators have no text
                appendUnique(*templateLines, *key + " = " + text);
        }
        if (translateHint_ && hasHint(*component)) {
            const std::string hint = component->hint();
            if (!hint.empty())
                appendUnique(*templateLines, section + "." + name + ".Hint = " + hint);
        }
    }
    if (kind == ComponentKind::Window) {
        const std::string& inner = childSection(section, name);
        for (TranslatableComponent* child : component->ownedComponents())
            if (child != component) collectTexts(child, inner, templateLines);
    }
    return templateLines->size() > before;
}

} // namespace kh
