// The language component: the translation loaded from a language file as a map from key to
// text, its application to windows and their controls, look-ups by key, and the default
// template of English texts that it builds while windows are created.
//
// A language file is plain Windows-1252 text, one "key = text" per line; a ";" in a text
// stands for a line break. Lines end with CR LF, LF or CR (LF CR is two line ends) and a
// NUL byte ends the text.
#pragma once

#include "translatable.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kh {

// Real language files are a few dozen kilobytes; anything beyond this is not one, and
// reading it whole would only cost memory.
inline constexpr std::size_t kMaxLanguageFileSize = 4u * 1024 * 1024;

// Reads a whole file; nothing when it is missing, not a regular file, unreadable or larger
// than kMaxLanguageFileSize.
using LanguageFileReader = std::function<std::optional<std::string>(const std::string& path)>;
std::optional<std::string> readLanguageFile(const std::string& path);

// The display name of a language file for the language menu: the value of `Language` in
// section `About`, read the way the Windows profile reader reads it:
// - the text ends at the first NUL; a leading UTF-8 byte-order mark makes it UTF-8, which
//   is converted to Windows-1252;
// - lines end with LF, CR LF or CR; tabs, blanks, CR, VT, FF and ^Z (0x1A) around a line,
//   a key and a value do not count;
// - a section header is a line starting with "[" that holds a "]": the name is what
//   stands between the "[" and the last "]", as it is; other lines are key "=" value
//   (the first "=");
// - section and key are matched without regard to letter case; only the first `About`
//   section is searched, and in it the first `Language` key counts;
// - one pair of double or single quotes around the whole value is removed;
// - at most 255 characters are kept.
// Empty when there is no such value.
std::string readLanguageDisplayName(std::string_view bytes);

class QLanguage {
  public:
    using LoadedHandler = std::function<void(QLanguage& sender)>;

    explicit QLanguage(LanguageFileReader reader = readLanguageFile);
    QLanguage(const QLanguage&) = delete;
    QLanguage& operator=(const QLanguage&) = delete;

    // Full path of the language file in force; empty for the built-in English texts.
    const std::string& language() const { return language_; }
    // Loads the file (or, for an empty path, the default template). Setting the path in
    // force again does nothing, so choosing the current language does not reload it.
    void setLanguage(const std::string& path);

    bool translateHint() const { return translateHint_; }
    void setTranslateHint(bool on) { translateHint_ = on; }

    // Raised after every successful load, never after a failed one.
    LoadedHandler OnLanguageLoaded;

    // While the owning window is still being built, setLanguage only stores the path;
    // endLoading then loads it once.
    void beginLoading() { loading_ = true; }
    void endLoading();

    // Rebuilds the map from the file named by language(). False when the file cannot be
    // read or holds no line; the map is then empty and no event is raised. With no
    // language set: true, an empty map and no event.
    bool loadTranslation();
    // Rebuilds the map from the given lines (used for the default template).
    bool loadTranslation(const std::vector<std::string>& lines);

    // True when the key has a non-empty text; `text` then receives it with every ";" as a
    // line feed. On a miss `text` is left as it was, so callers pass their default in.
    bool lookupText(std::string_view key, std::string& text) const;

    // Applies the map to a component and, for a window, to everything it owns; with
    // `collect` on, first enters the design texts into the default template.
    void translateWindow(TranslatableComponent* component, const std::string& section,
                         bool collect);
    // Enters the texts of a component (and of everything a window owns) into `templateLines`
    // unless already there (letter case ignored). True when the template grew.
    bool collectTexts(TranslatableComponent* component, const std::string& section,
                      std::vector<std::string>* templateLines) const;
    // Appends "key = text" to the default template (LF written as ";"); nothing when
    // either is empty.
    void addMessageDefault(std::string_view key, std::string_view text);

    // The loaded map as two parallel lists, in file order.
    const std::vector<std::string>& keys() const { return keys_; }
    const std::vector<std::string>& texts() const { return texts_; }
    // The default template; null until something was entered into it.
    const std::vector<std::string>* defaultTemplate() const {
        return template_ ? &*template_ : nullptr;
    }

  private:
    void clearMap();
    void addLine(std::string_view line);
    bool finishLoad();
    void applyTranslation(TranslatableComponent& component, const std::string& section);
    std::vector<std::string>& templateLines();

    LanguageFileReader reader_;
    std::string language_;
    bool translateHint_ = true;
    bool loading_ = false;
    std::vector<std::string> keys_;
    std::vector<std::string> texts_;
    // Case-folded key -> index in keys_/texts_; keeps loading linear for large files.
    std::unordered_map<std::string, std::size_t> index_;
    std::optional<std::vector<std::string>> template_;
};

} // namespace kh
