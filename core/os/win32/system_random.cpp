#include "system_random.h"

#include <limits>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <bcrypt.h>

namespace kh {

bool systemRandomBytes(void* out, std::size_t size) {
    auto* bytes = static_cast<unsigned char*>(out);
    while (size > 0) {
        const ULONG chunk = size > std::numeric_limits<ULONG>::max()
                                ? std::numeric_limits<ULONG>::max()
                                : static_cast<ULONG>(size);
        if (!BCRYPT_SUCCESS(
                BCryptGenRandom(nullptr, bytes, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
            return false;
        bytes += chunk;
        size -= chunk;
    }
    return true;
}

} // namespace kh
