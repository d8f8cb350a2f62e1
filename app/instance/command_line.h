#pragma once
// The program's command line: options are whole arguments compared without regard to
// letter case; anything else names the account file to open (the last one wins).
#include <string>
#include <vector>

namespace kh {

enum class BrowserAction { None, Update, Force, Remove };

struct CommandLine {
    std::string accountFile;
    bool startHidden = false; // "/start"
    bool processMode = false; // "/Process": parsing stops there
    bool debug = false;       // "/DEBUG"
    // "/UpdateIE", "/ForceIE", "/RemoveIE": do it and end at once.
    BrowserAction browserAction = BrowserAction::None;
};

// `args` without the program's own name.
CommandLine parseCommandLine(const std::vector<std::string>& args);

} // namespace kh
