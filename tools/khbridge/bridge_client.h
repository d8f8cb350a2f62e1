// khbridge: a command-line browser bridge. It asks the running vault exactly as a browser
// bridge does; this part (arguments, request block, answer) is platform-free, main.cpp
// finds the window and sends the message.
#pragma once

#include "request_block.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <variant>
#include <vector>

namespace kh::bridge {

using browser::RequestBlock;

enum class Command { Status, Get, Find, Save, Check };

struct Invocation {
    Command command = Command::Status;
    std::string user;
    SecretString password;
    bool passwordFromStdin = false;
    std::string url;
};

struct UsageError {
    std::string message;
};

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitNegative = 1; // a negative or missing answer, no window included
inline constexpr int kExitUsage = 2;

std::string usageText();

// The arguments after the program name.
std::variant<Invocation, UsageError> parseArguments(const std::vector<std::string>& args);

// One line from the stream, without its line end; nothing when the stream held none.
std::optional<SecretString> readPasswordLine(std::istream& in);
// Checks what parsing could not see yet (a password read from stdin).
std::optional<UsageError> checkPassword(const SecretString& password);

// The request message of a command (CheckLogin for the status form).
std::uint32_t requestMessage(Command command);
// Whether the command sends a block (status sends lParam 0).
bool sendsBlock(Command command);
RequestBlock requestBlock(const Invocation& invocation);

struct Report {
    int exitCode = kExitNegative;
    SecretString text; // for stdout; may hold a password
};
// What to print and return for the message result and the block as the vault left it.
Report reportAnswer(const Invocation& invocation, std::intptr_t answer, const RequestBlock& block);

} // namespace kh::bridge
