#include "strong_crypto.h"

#include "secure_memory.h"

#include <gcrypt.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

namespace kh {
namespace {

// Argon2 through gcry_kdf_open arrived with this version.
constexpr const char* kMinimumVersion = "1.10.0";
// Key schedules and digest states live in this locked pool; a few of them at a time.
constexpr std::size_t kSecurePool = 64 * 1024;

bool initialiseLibrary() {
    static const bool ready = [] {
        if (gcry_check_version(kMinimumVersion) == nullptr) return false;
        // Another part of the process may have set the library up already.
        if (gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P)) return true;
        // Without the right to lock memory the pool still works, unlocked: no warning
        // on the user's console for it.
        gcry_control(GCRYCTL_DISABLE_SECMEM_WARN);
        gcry_control(GCRYCTL_INIT_SECMEM, kSecurePool, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        return true;
    }();
    return ready;
}

// Runs the lanes of one Argon2 slice on up to as many threads as there are cores; the
// library hands over one job per lane and then waits for all of them.
class LaneThreads {
  public:
    gcry_kdf_thread_ops_t ops() { return {this, &LaneThreads::dispatch, &LaneThreads::waitAll}; }

  private:
    static int dispatch(void* self, gcry_kdf_job_fn_t job, void* priv) {
        try {
            static_cast<LaneThreads*>(self)->jobs_.emplace_back(job, priv);
        } catch (...) {
            job(priv); // no room to queue it: run it now
        }
        return 0;
    }

    static int waitAll(void* self) {
        auto& jobs = static_cast<LaneThreads*>(self)->jobs_;
        std::atomic<std::size_t> next{0};
        auto work = [&]() noexcept {
            for (std::size_t i; (i = next.fetch_add(1)) < jobs.size();)
                jobs[i].first(jobs[i].second);
        };
        const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
        const std::size_t helpers = std::min(cores, jobs.size()) - (jobs.empty() ? 0 : 1);
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < helpers; ++i) {
            try {
                threads.emplace_back(work);
            } catch (...) {
                break; // the calling thread takes what is left
            }
        }
        work();
        for (std::thread& t : threads)
            t.join();
        jobs.clear();
        return 0;
    }

    std::vector<std::pair<gcry_kdf_job_fn_t, void*>> jobs_;
};

bool runArgon2id(std::span<const std::uint8_t> password, std::span<const std::uint8_t> salt,
                 std::uint32_t iterations, std::uint32_t memoryKiB, std::uint32_t lanes,
                 std::span<std::uint8_t> out, std::span<const std::uint8_t> secret,
                 std::span<const std::uint8_t> associated) {
    std::fill(out.begin(), out.end(), std::uint8_t(0));
    if (iterations == 0 || lanes == 0 || memoryKiB / 8 < lanes || out.size() < 4 || salt.size() < 8)
        return false;
    const unsigned long parameters[4] = {static_cast<unsigned long>(out.size()), iterations,
                                         memoryKiB, lanes};
    gcry_kdf_hd_t handle = nullptr;
    if (gcry_kdf_open(&handle, GCRY_KDF_ARGON2, GCRY_KDF_ARGON2ID, parameters, 4, password.data(),
                      password.size(), salt.data(), salt.size(),
                      secret.empty() ? nullptr : secret.data(), secret.size(),
                      associated.empty() ? nullptr : associated.data(), associated.size()) != 0)
        return false;
    LaneThreads threads;
    const gcry_kdf_thread_ops_t ops = threads.ops();
    // The library wipes its memory blocks and state when the handle closes.
    const bool ok = gcry_kdf_compute(handle, lanes > 1 ? &ops : nullptr) == 0 &&
                    gcry_kdf_final(handle, out.size(), out.data()) == 0;
    gcry_kdf_close(handle);
    if (!ok) secureWipe(out.data(), out.size());
    return ok;
}

bool runSha256(std::span<const std::uint8_t> data, std::span<std::uint8_t, 32> out) {
    gcry_md_hd_t md = nullptr;
    // A secure context: the input may be key material.
    if (gcry_md_open(&md, GCRY_MD_SHA256, GCRY_MD_FLAG_SECURE) != 0) return false;
    if (!data.empty()) gcry_md_write(md, data.data(), data.size());
    const unsigned char* digest = gcry_md_read(md, GCRY_MD_SHA256);
    if (digest != nullptr) std::memcpy(out.data(), digest, 32);
    gcry_md_close(md);
    return digest != nullptr;
}

// An AES-256-GCM context with key, nonce and associated data set.
gcry_cipher_hd_t openGcm(std::span<const std::uint8_t, 32> key,
                         std::span<const std::uint8_t, 12> nonce,
                         std::span<const std::uint8_t> associated) {
    gcry_cipher_hd_t hd = nullptr;
    if (gcry_cipher_open(&hd, GCRY_CIPHER_AES256, GCRY_CIPHER_MODE_GCM, GCRY_CIPHER_SECURE) != 0)
        return nullptr;
    if (gcry_cipher_setkey(hd, key.data(), 32) != 0 ||
        gcry_cipher_setiv(hd, nonce.data(), 12) != 0 ||
        (!associated.empty() &&
         gcry_cipher_authenticate(hd, associated.data(), associated.size()) != 0)) {
        gcry_cipher_close(hd);
        return nullptr;
    }
    return hd;
}

bool runSeal(std::span<const std::uint8_t, 32> key, std::span<const std::uint8_t, 12> nonce,
             std::span<const std::uint8_t> associated, std::span<std::uint8_t> data,
             std::span<std::uint8_t, 16> tag) {
    gcry_cipher_hd_t hd = openGcm(key, nonce, associated);
    if (hd == nullptr) return false;
    const bool ok =
        (data.empty() || gcry_cipher_encrypt(hd, data.data(), data.size(), nullptr, 0) == 0) &&
        gcry_cipher_gettag(hd, tag.data(), 16) == 0;
    gcry_cipher_close(hd);
    return ok;
}

GcmOpen runOpen(std::span<const std::uint8_t, 32> key, std::span<const std::uint8_t, 12> nonce,
                std::span<const std::uint8_t> associated, std::span<std::uint8_t> data,
                std::span<const std::uint8_t, 16> tag) {
    GcmOpen result = GcmOpen::Failed;
    if (gcry_cipher_hd_t hd = openGcm(key, nonce, associated)) {
        if (data.empty() || gcry_cipher_decrypt(hd, data.data(), data.size(), nullptr, 0) == 0) {
            const gcry_error_t check = gcry_cipher_checktag(hd, tag.data(), 16);
            if (check == 0)
                result = GcmOpen::Authentic;
            else if (gcry_err_code(check) == GPG_ERR_CHECKSUM)
                result = GcmOpen::Forged;
        }
        gcry_cipher_close(hd);
    }
    // Unauthenticated plaintext never leaves.
    if (result != GcmOpen::Authentic && !data.empty()) secureWipe(data.data(), data.size());
    return result;
}

// Known answers, checked once before the first real use.
bool knownAnswers() {
    // SHA-256 of "abc" (FIPS 180-2, appendix B.1).
    static const std::uint8_t abcDigest[32] = {0xba, 0x78, 0x16, 0xbf, 0x8f, 0x01, 0xcf, 0xea,
                                               0x41, 0x41, 0x40, 0xde, 0x5d, 0xae, 0x22, 0x23,
                                               0xb0, 0x03, 0x61, 0xa3, 0x96, 0x17, 0x7a, 0x9c,
                                               0xb4, 0x10, 0xff, 0x61, 0xf2, 0x00, 0x15, 0xad};
    std::uint8_t digest[32];
    const std::uint8_t abc[3] = {'a', 'b', 'c'};
    if (!runSha256(abc, digest) || std::memcmp(digest, abcDigest, 32) != 0) return false;

    // AES-256-GCM, test case 14 of the GCM submission: zero key and nonce, one zero block.
    const std::uint8_t zeroKey[32] = {};
    const std::uint8_t zeroNonce[12] = {};
    static const std::uint8_t cipher14[16] = {0xce, 0xa7, 0x40, 0x3d, 0x4d, 0x60, 0x6b, 0x6e,
                                              0x07, 0x4e, 0xc5, 0xd3, 0xba, 0xf3, 0x9d, 0x18};
    static const std::uint8_t tag14[16] = {0xd0, 0xd1, 0xc8, 0xa7, 0x99, 0x99, 0x6b, 0xf0,
                                           0x26, 0x5b, 0x98, 0xb5, 0xd4, 0x8a, 0xb9, 0x19};
    std::uint8_t block[16] = {};
    std::uint8_t tag[16];
    if (!runSeal(zeroKey, zeroNonce, {}, block, tag) || std::memcmp(block, cipher14, 16) != 0 ||
        std::memcmp(tag, tag14, 16) != 0)
        return false;
    if (runOpen(zeroKey, zeroNonce, {}, block, tag) != GcmOpen::Authentic ||
        std::any_of(std::begin(block), std::end(block), [](std::uint8_t b) { return b != 0; }))
        return false;
    tag[15] ^= 1;
    if (runOpen(zeroKey, zeroNonce, {}, block, tag) != GcmOpen::Forged) return false;

    // Argon2id, RFC 9106 section 5.3.
    std::uint8_t password[32], salt[16], secret[8], associated[12], out[32];
    std::memset(password, 1, sizeof password);
    std::memset(salt, 2, sizeof salt);
    std::memset(secret, 3, sizeof secret);
    std::memset(associated, 4, sizeof associated);
    static const std::uint8_t rfcTag[32] = {0x0d, 0x64, 0x0d, 0xf5, 0x8d, 0x78, 0x76, 0x6c,
                                            0x08, 0xc0, 0x37, 0xa3, 0x4a, 0x8b, 0x53, 0xc9,
                                            0xd0, 0x1e, 0xf0, 0x45, 0x2d, 0x75, 0xb6, 0x5e,
                                            0xb5, 0x25, 0x20, 0xe9, 0x6b, 0x01, 0xe6, 0x59};
    return runArgon2id(password, salt, 3, 32, 4, out, secret, associated) &&
           std::memcmp(out, rfcTag, 32) == 0;
}

} // namespace

bool strongCryptoReady() {
    static const bool ready = initialiseLibrary() && knownAnswers();
    return ready;
}

bool argon2id(std::span<const std::uint8_t> password, std::span<const std::uint8_t> salt,
              std::uint32_t iterations, std::uint32_t memoryKiB, std::uint32_t lanes,
              std::span<std::uint8_t> out, std::span<const std::uint8_t> secret,
              std::span<const std::uint8_t> associated) {
    if (!strongCryptoReady()) {
        std::fill(out.begin(), out.end(), std::uint8_t(0));
        return false;
    }
    return runArgon2id(password, salt, iterations, memoryKiB, lanes, out, secret, associated);
}

bool sha256(std::span<const std::uint8_t> data, std::span<std::uint8_t, 32> out) {
    return strongCryptoReady() && runSha256(data, out);
}

bool aes256GcmSeal(std::span<const std::uint8_t, 32> key, std::span<const std::uint8_t, 12> nonce,
                   std::span<const std::uint8_t> associated, std::span<std::uint8_t> data,
                   std::span<std::uint8_t, 16> tag) {
    return strongCryptoReady() && runSeal(key, nonce, associated, data, tag);
}

GcmOpen aes256GcmOpen(std::span<const std::uint8_t, 32> key,
                      std::span<const std::uint8_t, 12> nonce,
                      std::span<const std::uint8_t> associated, std::span<std::uint8_t> data,
                      std::span<const std::uint8_t, 16> tag) {
    if (!strongCryptoReady()) {
        if (!data.empty()) secureWipe(data.data(), data.size());
        return GcmOpen::Failed;
    }
    return runOpen(key, nonce, associated, data, tag);
}

bool strongRandomBytes(std::span<std::uint8_t> out) {
    if (!strongCryptoReady()) return false;
    if (!out.empty()) gcry_randomize(out.data(), out.size(), GCRY_STRONG_RANDOM);
    return true;
}

bool sameBytes(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) noexcept {
    if (a.size() != b.size()) return false;
    std::uint8_t difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<std::uint8_t>(a[i] ^ b[i]);
    return difference == 0;
}

} // namespace kh
