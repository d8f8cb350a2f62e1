#include "registration.h"

#include <cctype>

namespace kh {
namespace {

bool sameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string classKey(std::string_view sub) {
    std::string key = kClassesKey;
    key += sub;
    return key;
}

} // namespace

bool registerAccountFileType(Registry& registry, const std::string& exePath) {
    if (!registry.writeString(Hive::CurrentUser, classKey(kAccountExtension), "", kAccountFileType,
                              true))
        return false;
    const std::string type = classKey(kAccountFileType);
    const std::string icon = exePath + ",1";
    const std::optional<std::string> current =
        registry.readString(Hive::CurrentUser, type + "\\DefaultIcon", "");
    if (current && !current->empty() && sameNoCase(*current, icon)) return false;

    const std::pair<std::string, std::string> values[] = {
        {type, "Keyhaven Account File"},
        {type + "\\DefaultIcon", icon},
        {type + "\\shell", "Open"},
        {type + "\\shell\\Open\\Command", "\"" + exePath + "\" \"%1\""},
    };
    for (const auto& [key, value] : values) {
        if (!registry.writeString(Hive::CurrentUser, key, "", value, true)) return false;
    }
    return true;
}

std::string autorunCommand(const std::string& exePath) {
    return "\"" + exePath + "\" /start";
}

void applyAutorun(Registry& registry, const std::string& exePath, bool on) {
    if (on) {
        registry.writeString(Hive::CurrentUser, kRunKey, kAutorunValue, autorunCommand(exePath),
                             false);
        return;
    }
    registry.deleteValue(Hive::CurrentUser, kRunKey, kAutorunValue);
    registry.deleteValue(Hive::LocalMachine, kRunKey, kAutorunValue);
}

} // namespace kh
