// khcli: command-line access to account files, for people who script their vault.
#pragma once

#include "secure_memory.h"

#include <string>
#include <string_view>
#include <vector>

namespace kh::cli {

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1; // cannot open, wrong credentials, not found, not saved
inline constexpr int kExitUsage = 2;  // bad command line or unusable input

// What the commands need from the terminal; texts are UTF-8.
class Console {
  public:
    virtual ~Console() = default;
    virtual void out(std::string_view text) = 0;
    virtual void err(std::string_view text) = 0;
    // One line of standard input without its line end; false at end of input.
    virtual bool readLine(SecretString& line) = 0;
    // Asks on the terminal without echo; false when there is no terminal to ask.
    virtual bool promptHidden(std::string_view prompt, SecretString& answer) = 0;
    // A file name given as UTF-8, in the form the system's file functions take.
    virtual std::string filePath(const std::string& utf8) { return utf8; }
};

// Runs one command line (arguments after the program name, UTF-8) and returns the exit code.
// It makes no copy of the arguments that outlives it unwiped; wiping `args` is the caller's.
int run(const std::vector<std::string>& args, Console& console);

// Keeps the process's memory, which holds the decrypted account, out of core files (on
// Linux also out of reach of other processes of the same user). Called first in main.
void protectProcess();

std::string usageText();

} // namespace kh::cli
