// The process's own terminal and command line, one implementation per platform. Secrets
// pass through them without the C library's streams: what is read goes straight into
// memory that wipes itself, what is written leaves from the caller's buffer, and no stream
// buffer is left holding a copy.
#pragma once

#include "khcli.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kh::cli {

std::unique_ptr<Console> makeSystemConsole();
#ifndef _WIN32
// The same, asking on `terminal` instead of the process's own (a test's pseudo-terminal).
std::unique_ptr<Console> makeSystemConsole(const std::string& terminal);
#endif

// The command-line arguments after the program name, as UTF-8; none when one of them is
// no valid text (on Windows a lone UTF-16 surrogate, which no conversion keeps).
std::optional<std::vector<std::string>> systemArguments(int argc, char** argv);

} // namespace kh::cli
