// Imports a file through the core's import and prints what came out as JSON (texts in
// UTF-8), so that tests written in Python can check real exports of other programs.
//   import_probe FILE [FORMAT]
#include "import_formats.h"
#include "import_texts.h"
#include "json.h"
#include "text_codec.h"

#include <cstdio>
#include <optional>
#include <string>

namespace {

kh::json::Value text(std::string_view windows1252) {
    return kh::json::Value::string(kh::windows1252ToUtf8(windows1252));
}

const char* reasonName(kh::SkipReason reason) {
    switch (reason) {
    case kh::SkipReason::NotLogin:
        return "not-login";
    case kh::SkipReason::NotExact:
        return "not-exact";
    case kh::SkipReason::NoTitle:
        return "no-title";
    case kh::SkipReason::Deleted:
        return "deleted";
    }
    return "";
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: import_probe FILE [%s]\n", kh::importFormatNames().c_str());
        return 2;
    }
    const std::optional<kh::ImportFormat> format =
        kh::importFormatFromName(argc == 3 ? argv[2] : "auto");
    if (!format) {
        std::fprintf(stderr, "import_probe: unknown format %s\n", argv[2]);
        return 2;
    }
    const std::optional<kh::SecretString> file = kh::readImportFile(argv[1]);
    if (!file) {
        std::fprintf(stderr, "import_probe: cannot read %s\n", argv[1]);
        return 1;
    }
    const kh::ImportResult result = kh::importEntries(file->view(), *format, {});
    const kh::ImportTexts texts = kh::importTexts(kh::MessageTable());

    kh::json::Value out;
    out.set("format", kh::json::Value::string(kh::importFormatName(result.report.format)));
    out.set("refusal", text(kh::importRefusalText(result, texts)));
    kh::json::Value entries = kh::json::Value::array();
    for (const kh::EntryValues& e : result.entries) {
        kh::json::Value entry;
        entry.set("type", kh::json::Value::number(e.type));
        entry.set("title", text(e.title));
        entry.set("whatsThis", text(e.whatsThis));
        entry.set("data", text(e.data.view()));
        entry.set("description", text(e.description));
        entries.push(std::move(entry));
    }
    out.set("entries", std::move(entries));
    out.set("imported", kh::json::Value::number(result.report.imported));
    out.set("cut", kh::json::Value::number(result.report.cut));
    out.set("leftOut", kh::json::Value::number(result.report.leftOut));
    kh::json::Value skipped = kh::json::Value::array();
    for (const kh::SkippedItem& s : result.report.skipped) {
        kh::json::Value item;
        item.set("reason", kh::json::Value::string(reasonName(s.reason)));
        item.set("label", text(s.label));
        item.set("line", kh::json::Value::number(static_cast<double>(s.line)));
        item.set("item", kh::json::Value::number(static_cast<double>(s.item)));
        skipped.push(std::move(item));
    }
    out.set("skipped", std::move(skipped));
    out.set("summary", text(kh::importSummaryText(result.report, texts)));
    const std::string json = kh::json::serialize(out);
    std::fwrite(json.data(), 1, json.size(), stdout);
    std::fputc('\n', stdout);
    return 0;
}
