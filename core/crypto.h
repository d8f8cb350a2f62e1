// The cipher and digest primitives every protected byte of an account file goes through:
// a DES engine with a 16-byte block transform, an in-place buffer transform over whole
// 16-byte units, MD5, CRC-32 and a bytewise complement. All of it is bit-exact: another
// implementation must produce the same files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kh {

namespace bitslice {
enum class Width;
}

// Key modes: 0 builds an encryption schedule, 1 a decryption schedule.
inline constexpr int kEncrypt = 0;
inline constexpr int kDecrypt = 1;

// One DES key schedule: the 16 round subkeys, each packed as two words whose 6-bit groups
// line up with the rotated right half (see crypto.cpp).
struct DesSchedule {
    std::uint32_t words[32];
};

// Single DES over schedule 1. TurboDes2 adds the two further stages.
class TurboDes {
  public:
    TurboDes() noexcept;
    TurboDes(const TurboDes&) = delete;
    TurboDes& operator=(const TurboDes&) = delete;
    virtual ~TurboDes();

    // One pass over an 8-byte block.
    virtual void cryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept;
    // Builds the schedules from a key of the class's size (8 bytes here) for mode 0 or 1.
    // False, and nothing changed, for a key of the wrong size or another mode.
    virtual bool setKey(std::span<const std::uint8_t> key, int mode) noexcept;

    // Zeroes all three schedules (the state of a new object).
    void clearKey() noexcept;

  protected:
    DesSchedule schedule1_;
    DesSchedule schedule2_;
    DesSchedule schedule3_;
};

// Two-key triple DES: stage keys K1, K2 (opposite mode), K1.
//
// The unit transforms (cryptDoubleBlock, cryptUnits, cryptBuffer) depend on the three
// schedules alone, never on the virtual cryptBlock: so a subclass gets the same result
// from every engine of cryptBuffer, whatever its setKey put into the schedules.
class TurboDes2 : public TurboDes {
  public:
    void cryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept override;
    // Takes a 16-byte key: bytes 0-7 are K1, bytes 8-15 K2.
    bool setKey(std::span<const std::uint8_t> key, int mode) noexcept override;

    // The 16-byte unit transform used by every stored field: each stage runs over both
    // 8-byte halves, and between the stages bytes 4-7 trade places with bytes 8-11.
    // Computed by the engine cryptBuffer uses (in may equal out).
    void cryptDoubleBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept;
    // The same over `units` consecutive 16-byte units (in may equal out), always by the
    // table-driven engine: the yardstick the bitsliced one is measured against.
    void cryptUnits(const std::uint8_t* in, std::uint8_t* out, std::size_t units) const noexcept;

  private:
    friend std::size_t cryptBuffer(const TurboDes2* cipher, std::uint8_t* buffer,
                                   std::size_t length);
    void cryptBitsliced(bitslice::Width width, const std::uint8_t* in, std::uint8_t* out,
                        std::size_t units) const noexcept;
};

// Transforms the whole 16-byte units of the buffer in place and returns the number of
// bytes transformed; the last (length mod 16) bytes are left as they were. A null cipher
// transforms nothing. The thread's scratch buffer grows to the length as before (the
// table engine goes through it; the bitsliced one works in place).
std::size_t cryptBuffer(const TurboDes2* cipher, std::uint8_t* buffer, std::size_t length);

// How cryptBuffer and cryptDoubleBlock compute. Auto: the bitsliced engine at the widest
// width this CPU runs (constant time: no lookup by key or data). The others force one
// engine, for comparison: the table-driven one of cryptUnits, or a bitsliced width.
enum class CipherEngine { Auto, Table, Bitsliced64, Bitsliced256 };

// Chooses the engine of every later cryptBuffer in the process; false, and nothing changed,
// for a width this CPU cannot run.
bool setCipherEngine(CipherEngine engine) noexcept;
CipherEngine cipherEngine() noexcept;

// Size of the scratch buffer (0 before the first cryptBuffer).
std::size_t cryptScratchSize() noexcept;

// RFC 1321 MD5 of `length` bytes.
void md5Digest(std::uint8_t* out16, const void* buffer, std::size_t length) noexcept;

// CRC-32/ISO-HDLC continuing from `running` (pass 0 for a fresh checksum); 0 for null.
std::uint32_t crc32(std::uint32_t running, const void* buffer, std::size_t length) noexcept;

// Replaces each byte by its complement, in place.
void invertBytes(void* buffer, std::size_t length) noexcept;

} // namespace kh
