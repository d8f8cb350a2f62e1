// khbridge as a browser's native-messaging host: the extension's requests arrive on
// standard input and the answers leave on standard output, each a 4-byte length in the
// machine's byte order followed by that many bytes of UTF-8 JSON. The framing and the
// mapping of each JSON request onto the vault's request messages live here, free of the
// platform; main.cpp supplies the streams and the window.
#pragma once

#include "request_block.h"
#include "system_random.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kh::bridge {

// The requests are a few short texts: anything larger is no request of the extension.
inline constexpr std::uint32_t kMaxRequestSize = 64 * 1024;
// The browsers take at most 1 MiB from a host.
inline constexpr std::size_t kMaxReplySize = 1024 * 1024;
// "generate" answers with the Password Generator's defaults: every class, this length.
inline constexpr int kGeneratedLength = 15;

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Up to into.size() bytes, possibly fewer; 0 at the end of the input or on an error.
    virtual std::size_t read(std::span<std::uint8_t> into) = 0;
};

class ByteSink {
  public:
    virtual ~ByteSink() = default;
    // Writes all of the bytes; false when that failed.
    virtual bool write(std::span<const std::uint8_t> bytes) = 0;
};

enum class FrameResult {
    Message,   // `text` holds the message
    End,       // the input ended before a new message: the browser closed the port
    Truncated, // the input ended inside a message
    TooLarge,  // the length is above the limit; the message itself is still unread
};

struct Frame {
    FrameResult result = FrameResult::End;
    std::uint32_t length = 0; // as announced
    SecretString text;
};

// One message; short reads are read on until the announced length or the end.
Frame readFrame(ByteSource& in, std::uint32_t maxLength = kMaxRequestSize);
// Reads and drops `length` bytes (the body of a refused message); false when the input
// ended first.
bool skipBytes(ByteSource& in, std::uint32_t length);
bool writeFrame(ByteSink& out, std::string_view text);

// The running vault, reached through its login window.
class Vault {
  public:
    virtual ~Vault() = default;
    // The status form: whether an account is open; none when no vault answers.
    virtual std::optional<bool> loggedIn() = 0;
    // One request naming `block`; the message result, or none when no vault answers. The
    // block holds what the vault wrote back.
    virtual std::optional<std::intptr_t> send(browser::RequestKind kind,
                                              browser::RequestBlock& block) = 0;
};

// Whether the arguments after the program name start a host: "--native-messaging" (and
// anything after it), or the arguments a browser passes to the program its manifest names,
// which cannot carry options: Chrome, Edge and Chromium pass the caller's origin
// ("chrome-extension://ID/", then "--parent-window=N" on Windows), Firefox the manifest's
// path and the add-on's id.
bool isNativeMessagingLaunch(const std::vector<std::u16string_view>& args);

// The addresses a request is asked for, in this order: the page's own, its site with "/"
// and the bare site. The vault names one login per address, so this is how a page with
// a login of its own and one of its site shows both.
std::vector<std::string> addressForms(std::string_view address);

// Answers one message (its JSON text as received) with a JSON text:
//   {"action":"status"}                      -> status
//   {"action":"find","url":U}                -> "logins": [{"user":N}, ...] (no passwords)
//   {"action":"get","url":U,"user":N}        -> "login": {"user":N,"password":P}, for the
//                                               login of exactly that user name only
//   {"action":"check","url":U,"user":N,"password":P}
//                                            -> "login": "new" | "same" | "changed"
//                                               (never prompts for a login)
//   {"action":"save","url":U,"user":N,"password":P} -> "replaced": true | false
//   {"action":"generate"}                    -> "password": P
// Every answer has "status": "ok", "not-found", "logged-out", "no-vault" or "error" (then
// with "message"), and the request's "id" when it had one.
SecretString answerRequest(std::string_view message, Vault& vault, RandomSource& random);

// Reads and answers messages until the input ends. The exit code: 0 when the browser
// closed the port between messages, 1 when the input or output broke.
int serveNativeMessaging(ByteSource& in, ByteSink& out, Vault& vault, RandomSource& random);

} // namespace kh::bridge
