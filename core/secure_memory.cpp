#include "secure_memory.h"

#include <cstring>

namespace kh {

void secureWipe(void* p, std::size_t n) noexcept {
    if (p == nullptr || n == 0) return;
    std::memset(p, 0, n);
    // The empty asm takes the pointer and clobbers memory, so the stores above stay.
    __asm__ __volatile__("" : : "r"(p) : "memory");
}

} // namespace kh
