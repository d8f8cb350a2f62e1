#include "system_random.h"

#include <cerrno>
#include <sys/random.h>

namespace kh {

bool systemRandomBytes(void* out, std::size_t size) {
    auto* bytes = static_cast<unsigned char*>(out);
    while (size > 0) {
        // Blocks only until the kernel pool is first seeded; may return fewer bytes than
        // asked for, or be interrupted by a signal.
        const ssize_t got = ::getrandom(bytes, size, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (got == 0) return false;
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

} // namespace kh
