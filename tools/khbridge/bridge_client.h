// khbridge: a command-line browser bridge. It asks the running vault exactly as a browser
// bridge does; this part (arguments, request block, answer) is platform-free, main.cpp
// finds the window and sends the message.
#pragma once

#include "request_block.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kh::bridge {

using browser::RequestBlock;

// Register and Unregister set up the browsers' native-messaging host; they send no request.
enum class Command { Status, Get, Find, Save, Check, Register, Unregister };

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

// The arguments after the program name, in Windows-1252.
std::variant<Invocation, UsageError> parseArguments(const std::vector<std::string>& args);
// The same from the arguments as the system hands them over (UTF-16). Each one is converted
// to Windows-1252 without loss: a character the code page lacks (a "?" would be saved in
// its place) or a lone surrogate refuses the whole command line.
std::variant<Invocation, UsageError>
parseUtf16Arguments(const std::vector<std::u16string_view>& args);

// One line from the stream, without its line end; nothing when the stream held none.
std::optional<SecretString> readPasswordLine(std::istream& in);
// A line of standard input is UTF-8: converted exactly to Windows-1252, or refused when it
// is malformed, holds a character the code page lacks, or holds a NUL (the block would end
// the password there). Also checks what checkPassword checks.
std::variant<SecretString, UsageError> decodePasswordLine(const SecretString& utf8);
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
// What to print and return for the message result and the block as the vault left it. The
// returned user name and password are written in UTF-8.
Report reportAnswer(const Invocation& invocation, std::intptr_t answer, const RequestBlock& block);

} // namespace kh::bridge
