// The strong account file: an Argon2id key over the name and password, the entries in one
// AES-256-GCM payload whose tag also covers the clear header. Reached through
// account_file.h; the pieces are public for the fuzzers, the benchmark and the tests.
// Layout: docs/account-file.md, "The strong format".
#pragma once

#include "account_file.h"
#include "sdr_file.h"
#include "secure_memory.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kh {

inline constexpr std::array<std::uint8_t, 8> kStrongMagic = {'K',  'H',  'K',  '2',
                                                             '\r', '\n', 0x1A, '\n'};
inline constexpr std::size_t kStrongFixedHeader = 104; // the header without its two texts
inline constexpr std::size_t kStrongMaxHeader = kStrongFixedHeader + 2 * kMaxAccountText;
inline constexpr std::size_t kStrongSaltSize = 32;
inline constexpr std::size_t kStrongNonceSize = 12;
inline constexpr std::size_t kStrongKeyCheckSize = 16;
inline constexpr std::size_t kStrongTagSize = 16;
// As many entries as the compatible format holds, so that either converts to the other.
inline constexpr std::uint32_t kMaxStrongEntries = 4473921;
// An entry's type and four length-prefixed texts at their longest.
inline constexpr std::size_t kMaxStrongEntrySize =
    20 + kMaxEntryTitle + kMaxEntryWhatsThis + kMaxEntryData + kMaxEntryDescription;

// K: bytes 0-31 are the AES key, bytes 32-63 give the key check.
using StrongKey = WipedBytes<64>;

struct StrongHeader {
    StrongParameters parameters;
    std::array<std::uint8_t, kStrongSaltSize> salt{};
    std::array<std::uint8_t, kStrongNonceSize> nonce{};
    std::array<std::uint8_t, kStrongKeyCheckSize> keyCheck{};
    std::string accountDescription;
    std::string passwordDescription;
    std::vector<std::uint8_t> bytes; // the header as stored: the payload's associated data
};

// True when `start` begins with the strong format's magic.
bool startsStrong(std::span<const std::uint8_t> start);

// Checks and takes apart the header at the start of `bytes`. False when any field is out of
// range, a text holds a NUL byte, or the header is longer than `bytes`.
bool parseStrongHeader(std::span<const std::uint8_t> bytes, StrongHeader& header);

// Reads the header of an open file and the file's size, which must leave room for the
// entry count and the tag and not exceed the largest payload. Derives nothing.
bool readStrongHeader(SdrFile& file, StrongHeader& header, std::int64_t& fileSize);

// K for the name and password as typed (cut as in the compatible format: at a NUL, then to
// 159 and 79 bytes). False for an empty name or password, parameters out of range, or
// when the derivation cannot run.
bool deriveStrongKey(std::string_view name, std::string_view password,
                     std::span<const std::uint8_t, kStrongSaltSize> salt,
                     const StrongParameters& parameters, StrongKey& key);

// The first 16 bytes of SHA-256(K[32..63]).
bool strongKeyCheck(const StrongKey& key, std::span<std::uint8_t, kStrongKeyCheckSize> check);

// The plain payload: the entry count, then per entry its type and four length-prefixed
// texts. Entries marked deleted are left out; `offsets` gets, for each entry, where its
// bytes begin in the file (payload start `firstOffset` plus its place), deleted ones
// keeping theirs. False for more entries than the format holds.
bool encodeStrongPayload(std::span<const AccountEntry> entries, std::int64_t firstOffset,
                         std::vector<std::uint8_t, WipingAllocator<std::uint8_t>>& payload,
                         std::vector<std::int64_t>& offsets);

// Parses a plain payload into entries with their file offsets. False (and no entries) for
// any length beyond its field, a NUL byte in a text, a count the bytes cannot hold, or
// bytes left over.
bool parseStrongPayload(std::span<const std::uint8_t> payload, std::int64_t firstOffset,
                        std::vector<AccountEntry>& entries);

// Decrypts and parses what follows a header already read and checked, with K already
// derived and its key check compared.
ReadOutcome readStrongBody(SdrFile& file, const StrongHeader& header, std::int64_t fileSize,
                           const StrongKey& key, LoadedAccount& out);

// The whole strong reader behind readAccountFile.
ReadOutcome readStrongAccount(SdrFile& file, std::string_view name, std::string_view password,
                              LoadedAccount& out);

// Writes the whole strong file (fresh salt and nonce) to a file open for writing.
bool writeStrongAccount(SdrFile& file, FileSystem& fs, const Account& account,
                        std::span<const AccountEntry> entries, std::vector<std::int64_t>& offsets);

} // namespace kh
