// Arbitrary bytes as a language file: loaded, applied to a small window, its texts looked up
// and formatted as the program formats messages, and its display name read. The map must
// hold only trimmed, non-empty, first-wins entries, and the message texts must come back
// unchanged from the default template (the way "Default(English)" restores them).
#include "language.h"
#include "message_table.h"
#include "text_format.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

class Control : public kh::TranslatableComponent {
  public:
    Control(kh::ComponentKind kind, std::string name, std::string text)
        : kind_(kind), name_(std::move(name)), text_(std::move(text)) {}
    kh::ComponentKind componentKind() const override { return kind_; }
    std::string componentName() const override { return name_; }
    bool isVisualControl() const override { return kind_ != kh::ComponentKind::Window; }
    std::string text() const override { return text_; }
    void setText(const std::string& text) override { text_ = text; }
    std::string hint() const override { return hint_; }
    void setHint(const std::string& hint) override { hint_ = hint; }
    std::vector<TranslatableComponent*> ownedComponents() override { return owned_; }

    std::vector<TranslatableComponent*> owned_;

  private:
    kh::ComponentKind kind_;
    std::string name_;
    std::string text_;
    std::string hint_;
};

bool isTrimmed(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

void check(bool ok) {
    if (!ok) std::abort();
}

std::string format(const std::string& pattern) {
    return kh::formatText(pattern, {"title", 42, "Password", -7, "data", "what", 0xBEEFu});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    kh::QLanguage language([&](const std::string&) { return bytes; });

    Control window(kh::ComponentKind::Window, "TfrmMain", "Keyhaven");
    Control button(kh::ComponentKind::SkinnedControl, "sbLogin", "&Login");
    Control edit(kh::ComponentKind::Other, "edPassword", "");
    window.owned_ = {&button, &edit};
    language.translateWindow(&window, "TfrmMain", true);

    kh::MessageTable messages;
    messages.addDefaultsTo(language);
    language.setLanguage("fuzz.lng");
    language.translateWindow(&window, "TfrmMain", false);

    const auto& keys = language.keys();
    const auto& texts = language.texts();
    check(keys.size() == texts.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        check(!keys[i].empty() && !isTrimmed(keys[i].front()) && !isTrimmed(keys[i].back()));
        check(!texts[i].empty() && !isTrimmed(texts[i].front()) && !isTrimmed(texts[i].back()));
        std::string found;
        check(language.lookupText(keys[i], found));
        check(found.size() == texts[i].size() && found.find(';') == std::string::npos);
        if (i < 64) format(found);
    }

    messages.refreshFrom(language);
    for (std::size_t i = 0; i < kh::kMsgCount; ++i)
        format(messages.text(static_cast<kh::Msg>(i)));

    // The texts in force, entered as defaults, survive English being chosen and loaded.
    kh::QLanguage english([](const std::string&) { return std::optional<std::string>(); });
    messages.addDefaultsTo(english);
    english.setLanguage("x.lng");
    english.setLanguage("");
    for (std::size_t i = 0; i < kh::kMsgCount; ++i) {
        const auto msg = static_cast<kh::Msg>(i);
        std::string text;
        check(english.lookupText(kh::msgKey(msg), text) && text == messages.text(msg));
    }

    check(kh::readLanguageDisplayName(bytes).size() <= 255);
    return 0;
}
