// Looks into memory the program gives back. While a FreedMemoryWatch exists, every block
// released through operator delete (std::string, std::vector, every container, new and
// delete) is searched for the watched byte strings before it goes back to the allocator:
// a secret found there is a copy that escaped the wipe. Blocks the C library frees itself
// (stdio buffers, say) are not seen.
//
// The binary's operators new and delete are replaced for this, in exactly one of its
// source files:
//
//     #define KH_HEAP_SCAN_ALLOCATOR
//     #include "heap_scan.h"
//
// Every other file includes the header plainly.
//
// What the C library keeps is looked at directly: streamBufferHolds searches the buffer of
// a stdio stream (stdin, stdout), which keeps what went through it until the program ends. The
// replacement keeps a small header in front of each block (size and kind), hands out every block
// cleared (so only what its own owner wrote can be found in it) and aborts on a mismatched release
// (delete of a block from new[], say), so it does not hide faults a sanitizer would have caught
// there.
#pragma once

#include <cstddef>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

namespace kh::test {

// Whether the buffer of a C library stream holds `needle`; false while it has none.
inline bool streamBufferHolds(std::FILE* stream, std::string_view needle) {
#if defined(__GLIBC__)
    const char* begin = stream->_IO_buf_base;
    const char* end = stream->_IO_buf_end;
#elif defined(__MSVCRT__)
    const char* begin = stream->_base;
    const char* end = begin == nullptr || stream->_bufsiz <= 0 ? begin : begin + stream->_bufsiz;
#else
#error "where does this C library keep a stream's buffer?"
#endif
    if (begin == nullptr || end <= begin) return false;
    return std::string_view(begin, static_cast<std::size_t>(end - begin)).find(needle) !=
           std::string_view::npos;
}

class FreedMemoryWatch {
  public:
    static constexpr std::size_t kMaxNeedles = 8;
    static constexpr std::size_t kMaxNeedleSize = 128;

    // Starts watching for each needle (at most kMaxNeedles, each 1 to kMaxNeedleSize
    // bytes; others are refused with an exception). Only one watch at a time.
    explicit FreedMemoryWatch(std::initializer_list<std::string_view> needles);
    ~FreedMemoryWatch();
    FreedMemoryWatch(const FreedMemoryWatch&) = delete;
    FreedMemoryWatch& operator=(const FreedMemoryWatch&) = delete;

    // Ends the watch before the object goes; the counts stay.
    void stop();
    // Blocks released while watching: more than none shows the replacement is in place.
    std::size_t releasedBlocks() const;
    // Blocks released while watching that held a needle.
    std::size_t blocksWithNeedle() const;
    // The first few hits, one line each: block size, which needle, where, and the bytes
    // before and after it (printable ones as they are; the needle itself is not repeated,
    // so that the report is no copy of the secret). Empty when there was none.
    std::string report() const;
};

} // namespace kh::test

#ifdef KH_HEAP_SCAN_ALLOCATOR

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

namespace kh::test::heap_scan {

// In front of every block; 32 bytes keep the block as aligned as malloc's.
struct Header {
    void* raw;
    std::size_t size;
    std::uint64_t tag;
    std::uint64_t unused;
};
static_assert(sizeof(Header) == 32);

constexpr std::uint64_t kMagic = 0x4B48534341'4E0000ull; // "KHSCAN" and the kind
constexpr std::uint64_t kScalar = 1;
constexpr std::uint64_t kArray = 2;

struct Hit {
    std::size_t blockSize;
    std::size_t needle;
    std::size_t offset;
    unsigned char before[16];
    std::size_t beforeSize;
    unsigned char after[16];
    std::size_t afterSize;
};

struct State {
    std::atomic<bool> watching{false};
    std::atomic<bool> inUse{false};
    unsigned char needles[FreedMemoryWatch::kMaxNeedles][FreedMemoryWatch::kMaxNeedleSize]{};
    std::size_t needleSizes[FreedMemoryWatch::kMaxNeedles]{};
    std::size_t needleCount = 0;
    std::atomic<std::size_t> released{0};
    std::atomic<std::size_t> hits{0};
    Hit firstHits[8]{};
};

// Constant-initialised: operator new runs before any dynamic initialisation.
constinit State state;

const unsigned char* find(const unsigned char* block, std::size_t size, const unsigned char* needle,
                          std::size_t needleSize) {
    if (needleSize == 0 || size < needleSize) return nullptr;
    const unsigned char* end = block + (size - needleSize) + 1;
    for (const unsigned char* p = block; p < end; ++p) {
        p = static_cast<const unsigned char*>(std::memchr(p, needle[0], std::size_t(end - p)));
        if (p == nullptr) return nullptr;
        if (std::memcmp(p, needle, needleSize) == 0) return p;
    }
    return nullptr;
}

void scan(const void* block, std::size_t size) {
    state.released.fetch_add(1, std::memory_order_relaxed);
    const auto* bytes = static_cast<const unsigned char*>(block);
    for (std::size_t n = 0; n < state.needleCount; ++n) {
        const unsigned char* at = find(bytes, size, state.needles[n], state.needleSizes[n]);
        if (at == nullptr) continue;
        const std::size_t index = state.hits.fetch_add(1, std::memory_order_relaxed);
        if (index < std::size(state.firstHits)) {
            Hit& hit = state.firstHits[index];
            hit.blockSize = size;
            hit.needle = n;
            hit.offset = std::size_t(at - bytes);
            hit.beforeSize = std::min(sizeof hit.before, hit.offset);
            std::memcpy(hit.before, at - hit.beforeSize, hit.beforeSize);
            const std::size_t end = hit.offset + state.needleSizes[n];
            hit.afterSize = std::min(sizeof hit.after, size - end);
            std::memcpy(hit.after, bytes + end, hit.afterSize);
        }
        return; // one count per block
    }
}

void* allocate(std::size_t size, std::size_t alignment, std::uint64_t kind) noexcept {
    if (size == 0) size = 1;
    // malloc gives the default alignment; more is made by moving the block up.
    const bool realign = alignment > __STDCPP_DEFAULT_NEW_ALIGNMENT__;
    const std::size_t extra = sizeof(Header) + (realign ? alignment : 0);
    if (size > SIZE_MAX - extra) return nullptr;
    void* raw = std::malloc(size + extra);
    if (raw == nullptr) return nullptr;
    std::uintptr_t user = reinterpret_cast<std::uintptr_t>(raw) + sizeof(Header);
    if (realign) user = (user + alignment - 1) & ~(alignment - 1);
    // Cleared, so that what an earlier owner left in this memory is not taken for a copy
    // made by the new one.
    std::memset(reinterpret_cast<void*>(user), 0, size);
    Header* header = reinterpret_cast<Header*>(user) - 1;
    header->raw = raw;
    header->size = size;
    header->tag = kMagic | kind;
    return reinterpret_cast<void*>(user);
}

void release(void* p, std::uint64_t kind) noexcept {
    if (p == nullptr) return;
    Header* header = static_cast<Header*>(p) - 1;
    // A block from another allocator, or a delete that does not match its new.
    if (header->tag != (kMagic | kind)) std::abort();
    if (state.watching.load(std::memory_order_acquire)) scan(p, header->size);
    header->tag = 0;
    std::free(header->raw);
}

void* allocateOrThrow(std::size_t size, std::size_t alignment, std::uint64_t kind) {
    void* p = allocate(size, alignment, kind);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

} // namespace kh::test::heap_scan

namespace kh::test {

FreedMemoryWatch::FreedMemoryWatch(std::initializer_list<std::string_view> needles) {
    using heap_scan::state;
    if (state.inUse.exchange(true)) throw std::logic_error("one FreedMemoryWatch at a time");
    if (needles.size() > kMaxNeedles) throw std::invalid_argument("too many needles");
    state.needleCount = 0;
    for (std::string_view needle : needles) {
        if (needle.empty() || needle.size() > kMaxNeedleSize)
            throw std::invalid_argument("needle size");
        std::memcpy(state.needles[state.needleCount], needle.data(), needle.size());
        state.needleSizes[state.needleCount++] = needle.size();
    }
    state.released = 0;
    state.hits = 0;
    state.watching.store(true, std::memory_order_release);
}

FreedMemoryWatch::~FreedMemoryWatch() {
    stop();
    heap_scan::state.inUse = false;
}

void FreedMemoryWatch::stop() {
    heap_scan::state.watching.store(false, std::memory_order_release);
}

std::size_t FreedMemoryWatch::releasedBlocks() const {
    return heap_scan::state.released.load();
}

std::size_t FreedMemoryWatch::blocksWithNeedle() const {
    return heap_scan::state.hits.load();
}

std::string FreedMemoryWatch::report() const {
    using heap_scan::state;
    // Taken while not watching, so that building the text is not scanned itself.
    const bool was = state.watching.exchange(false);
    std::string out;
    const std::size_t shown = std::min(state.hits.load(), std::size(state.firstHits));
    for (std::size_t i = 0; i < shown; ++i) {
        const heap_scan::Hit& hit = state.firstHits[i];
        out += "block of " + std::to_string(hit.blockSize) + " bytes holds needle " +
               std::to_string(hit.needle) + " at " + std::to_string(hit.offset) + ": ";
        const auto append = [&out](const unsigned char* bytes, std::size_t size) {
            static const char* const kHex = "0123456789ABCDEF";
            for (std::size_t b = 0; b < size; ++b) {
                if (bytes[b] >= 32 && bytes[b] < 127) {
                    out.push_back(static_cast<char>(bytes[b]));
                } else {
                    out += "\\x";
                    out.push_back(kHex[bytes[b] >> 4]);
                    out.push_back(kHex[bytes[b] & 15]);
                }
            }
        };
        append(hit.before, hit.beforeSize);
        out += "[needle " + std::to_string(hit.needle) + "]";
        append(hit.after, hit.afterSize);
        out.push_back('\n');
    }
    state.watching.store(was);
    return out;
}

} // namespace kh::test

// The replaceable allocation functions of the language, all routed to the scanned ones.
void* operator new(std::size_t size) {
    return kh::test::heap_scan::allocateOrThrow(size, 0, kh::test::heap_scan::kScalar);
}
void* operator new[](std::size_t size) {
    return kh::test::heap_scan::allocateOrThrow(size, 0, kh::test::heap_scan::kArray);
}
void* operator new(std::size_t size, std::align_val_t a) {
    return kh::test::heap_scan::allocateOrThrow(size, std::size_t(a), kh::test::heap_scan::kScalar);
}
void* operator new[](std::size_t size, std::align_val_t a) {
    return kh::test::heap_scan::allocateOrThrow(size, std::size_t(a), kh::test::heap_scan::kArray);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return kh::test::heap_scan::allocate(size, 0, kh::test::heap_scan::kScalar);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return kh::test::heap_scan::allocate(size, 0, kh::test::heap_scan::kArray);
}
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return kh::test::heap_scan::allocate(size, std::size_t(a), kh::test::heap_scan::kScalar);
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return kh::test::heap_scan::allocate(size, std::size_t(a), kh::test::heap_scan::kArray);
}
void operator delete(void* p) noexcept {
    kh::test::heap_scan::release(p, kh::test::heap_scan::kScalar);
}
void operator delete[](void* p) noexcept {
    kh::test::heap_scan::release(p, kh::test::heap_scan::kArray);
}
void operator delete(void* p, std::size_t) noexcept {
    kh::test::heap_scan::release(p, kh::test::heap_scan::kScalar);
}
void operator delete[](void* p, std::size_t) noexcept {
    kh::test::heap_scan::release(p, kh::test::heap_scan::kArray);
}
void operator delete(void* p, std::align_val_t) noexcept {
    kh::test::heap_scan::release(p, kh::test::heap_scan::kScalar);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    kh::test::heap_scan::release(p, kh::test::heap_scan::kArray);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    kh::test::heap_scan::release(p, kh::test::heap_scan::kScalar);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    kh::test::heap_scan::release(p, kh::test::heap_scan::kArray);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    kh::test::heap_scan::release(p, kh::test::heap_scan::kScalar);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    kh::test::heap_scan::release(p, kh::test::heap_scan::kArray);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    kh::test::heap_scan::release(p, kh::test::heap_scan::kScalar);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    kh::test::heap_scan::release(p, kh::test::heap_scan::kArray);
}

#endif // KH_HEAP_SCAN_ALLOCATOR
