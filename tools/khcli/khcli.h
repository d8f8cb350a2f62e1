// khcli: command-line access to account files, for people who script their vault.
#pragma once

#include "file_system.h"
#include "secure_memory.h"

#include <chrono>
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
};

// What a run works with besides its console; tests replace it.
struct Environment {
    // The file system that saves go through; the native one when null.
    FileSystem* fileSystem = nullptr;
    // How long create, add and import wait while another process saves the same file.
    std::chrono::milliseconds lockWait{10'000};
};

// Runs one command line (arguments after the program name, UTF-8) and returns the exit code.
// It makes no copy of the arguments that outlives it unwiped; wiping `args` is the caller's.
// File names are UTF-8 too: the run sets the process's path encoding to UTF-8.
int run(const std::vector<std::string>& args, Console& console, const Environment& env = {});

// Keeps the process's memory, which holds the decrypted account, out of core files (on
// Linux also out of reach of other processes of the same user). Called first in main.
void protectProcess();

std::string usageText();

} // namespace kh::cli
