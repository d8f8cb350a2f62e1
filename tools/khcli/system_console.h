// The process's own terminal and command line, one implementation per platform.
#pragma once

#include "khcli.h"

#include <memory>
#include <string>
#include <vector>

namespace kh::cli {

std::unique_ptr<Console> makeSystemConsole();
// The command-line arguments after the program name, as UTF-8.
std::vector<std::string> systemArguments(int argc, char** argv);

} // namespace kh::cli
