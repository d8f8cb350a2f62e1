// Feeds arbitrary bytes to the import of the entry text form, with the English texts and
// with a language in force. Every accepted entry must carry a title with no blanks around
// it and one of the three types, and a language in force may only add entries.
#include "xml_interchange.h"

#include <cstdlib>
#include <string_view>

namespace {

bool isTrimmed(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

void check(const std::vector<kh::EntryValues>& entries) {
    for (const kh::EntryValues& e : entries) {
        if (e.title.empty() || isTrimmed(e.title.front()) || isTrimmed(e.title.back()))
            std::abort();
        if (e.type < kh::kEntryPassword || e.type > kh::kEntryText) std::abort();
        if (e.data.view().find("</Data>") != std::string_view::npos) std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    static const kh::InterchangeTexts english;
    static const kh::InterchangeTexts spanish = [] {
        kh::InterchangeTexts t;
        t.passwordName = "Contrase\xF1"
                         "a";
        t.linkName = "Enlace";
        t.textName = "Texto";
        t.unknownName = "Desconocido";
        t.languageInForce = true;
        return t;
    }();

    const std::vector<kh::EntryValues> inEnglish = kh::importText(text, english);
    const std::vector<kh::EntryValues> inSpanish = kh::importText(text, spanish);
    check(inEnglish);
    check(inSpanish);
    if (inSpanish.size() < inEnglish.size()) std::abort();
    return 0;
}
