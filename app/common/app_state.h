// Where the program keeps its files and how it was started; resolved once at start.
#pragma once

#include <string>

namespace kh {

struct AppPaths {
    std::string programFolder; // ends with "\"
    std::string profileFolder; // ends with "\"; holds config.ini
};

// How the program was started (command line), and what of that is still in force.
struct StartState {
    bool startHidden = false; // "/start": sits in the notification area
    bool processMode = false; // "/Process": hidden again after the next browser request
    bool debug = false;       // "/DEBUG"
};

} // namespace kh
