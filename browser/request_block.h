// The 480-byte request block that a browser bridge keeps in its own memory and names in
// its request message: fixed text fields, a completion code, and unused bytes that travel
// back exactly as they came.
#pragma once

#include "secure_memory.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kh::browser {

inline constexpr std::size_t kBlockSize = 480;
// Holds passwords on the way in and out, so it is wiped like every other secret.
using RequestBlock = WipedBytes<kBlockSize>;

// A zero-terminated text field of the block.
struct BlockField {
    std::size_t offset;
    std::size_t size;
};
inline constexpr BlockField kUserNameField{4, 80};
inline constexpr BlockField kPasswordField{164, 80};
inline constexpr BlockField kAddressField{244, 192};
inline constexpr std::size_t kCompletionOffset = 452;
// The last byte of every text field (84..163 is unused but terminated all the same).
inline constexpr std::array<std::size_t, 4> kTerminators{83, 163, 243, 435};
// Texts written into the block: at most this many characters.
inline constexpr std::size_t kMaxOutputText = 79;

// The request messages, sent to the login window. Their numbers double as the completion
// code of a request that succeeded.
enum class RequestKind : std::uint32_t {
    GetByTitle = 0x1621,
    SaveLogin = 0x1623,
    FindByPage = 0x1625,
    CheckLogin = 0x1627,
};
std::optional<RequestKind> requestKind(std::uint32_t message);

// What the login window carries so that bridges can find it.
inline constexpr char kLoginWindowClass[] = "TfrmKeyhavenLogin";
inline constexpr std::uint32_t kLoginWindowMarker = 0x12345678;

// The inputs of a request, read after the terminators were forced.
struct RequestFields {
    std::string userName;  // blanks and control characters cut at both ends
    SecretString password; // exactly as sent: blanks may belong to a password
    std::string address;   // cut like the user name
    std::uint32_t completionCode = 0;
};

// Zeroes the last byte of each text field in place, then reads the fields.
RequestFields decodeRequest(RequestBlock& block);

// The text of a field up to its first zero byte (or its end).
std::string_view fieldText(const RequestBlock& block, BlockField field);
// Writes a text into a field: cut to the field size minus one (so at most 79 characters in
// the 80-byte fields), followed by a zero; the field's last byte is always zero. Bytes
// after the terminator keep what they held.
void putFieldText(RequestBlock& block, BlockField field, std::string_view text);

std::uint32_t completionCode(const RequestBlock& block);
void setCompletionCode(RequestBlock& block, std::uint32_t code);

// The reply of a request that succeeded: the completion code becomes the message number;
// every other byte stays as the request left it (terminators forced).
void encodeReply(RequestBlock& block, RequestKind kind);
// The same with a found login in the user-name and password fields.
void encodeLoginReply(RequestBlock& block, RequestKind kind, std::string_view userName,
                      std::string_view password);

} // namespace kh::browser
