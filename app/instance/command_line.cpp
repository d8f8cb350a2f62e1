#include "command_line.h"

#include <string_view>

namespace kh {
namespace {

bool sameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    for (const std::string& arg : args) {
        if (arg.empty()) continue;
        if (sameNoCase(arg, "/start")) {
            line.startHidden = true;
        } else if (sameNoCase(arg, "/Process")) {
            line.accountFile.clear();
            line.startHidden = false;
            line.debug = false;
            line.processMode = true;
            break;
        } else if (sameNoCase(arg, "/DEBUG")) {
            line.debug = true;
        } else if (sameNoCase(arg, "/UpdateIE")) {
            line.browserAction = BrowserAction::Update;
            break;
        } else if (sameNoCase(arg, "/ForceIE")) {
            line.browserAction = BrowserAction::Force;
            break;
        } else if (sameNoCase(arg, "/RemoveIE")) {
            line.browserAction = BrowserAction::Remove;
            break;
        } else {
            line.accountFile = arg;
        }
    }
    return line;
}

} // namespace kh
