// The modern primitives behind the strong account file: Argon2id, AES-256-GCM, SHA-256 and
// random bytes, all from libgcrypt. The library is initialised on first use (version check,
// a small locked pool for key material, quiet) and its answers are checked against known
// vectors once; when either fails, every function here reports failure, so nothing is ever
// written or read with a broken primitive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kh {

// True once libgcrypt is initialised and has given the known answers.
bool strongCryptoReady();

// Argon2id (version 0x13, RFC 9106) of `password` with `salt` into all of `out`.
// `memoryKiB` must be at least 8 x `lanes`. `secret` and `associated` are the optional key
// and associated data of the RFC. Lanes run on the processor's cores. False when the
// arguments are refused or the memory cannot be had; `out` is then zero.
bool argon2id(std::span<const std::uint8_t> password, std::span<const std::uint8_t> salt,
              std::uint32_t iterations, std::uint32_t memoryKiB, std::uint32_t lanes,
              std::span<std::uint8_t> out, std::span<const std::uint8_t> secret = {},
              std::span<const std::uint8_t> associated = {});

// SHA-256 of `data`.
bool sha256(std::span<const std::uint8_t> data, std::span<std::uint8_t, 32> out);

// Encrypts `data` in place with AES-256-GCM (96-bit nonce) and gives the 16-byte tag over
// `associated` and the ciphertext.
bool aes256GcmSeal(std::span<const std::uint8_t, 32> key, std::span<const std::uint8_t, 12> nonce,
                   std::span<const std::uint8_t> associated, std::span<std::uint8_t> data,
                   std::span<std::uint8_t, 16> tag);

enum class GcmOpen {
    Authentic, // `data` holds the plaintext
    Forged,    // the tag does not match: `data` is zeroed
    Failed,    // the library could not run: `data` is zeroed
};

// Decrypts `data` in place and checks the tag.
GcmOpen aes256GcmOpen(std::span<const std::uint8_t, 32> key,
                      std::span<const std::uint8_t, 12> nonce,
                      std::span<const std::uint8_t> associated, std::span<std::uint8_t> data,
                      std::span<const std::uint8_t, 16> tag);

// Fills `out` from libgcrypt's strong random generator.
bool strongRandomBytes(std::span<std::uint8_t> out);

// True when the two byte runs are equal, in time that does not depend on where they differ.
bool sameBytes(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) noexcept;

} // namespace kh
