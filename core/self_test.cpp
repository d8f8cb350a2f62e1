#include "self_test.h"

#include "crypto.h"

#include <cstring>

namespace kh {

bool cryptoSelfTest() {
    // FIPS 81 example: "Now is t" under 0123456789ABCDEF.
    const std::uint8_t key[8] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    const std::uint8_t plain[8] = {0x4E, 0x6F, 0x77, 0x20, 0x69, 0x73, 0x20, 0x74};
    const std::uint8_t cipher[8] = {0x3F, 0xA4, 0x0E, 0x8A, 0x98, 0x4D, 0x48, 0x15};
    std::uint8_t out[16];
    TurboDes des;
    des.setKey({key, 8}, kEncrypt);
    des.cryptBlock(plain, out);
    if (std::memcmp(out, cipher, 8) != 0) return false;

    // The 16-byte unit transform, as worked out by the format document's reference code.
    const std::uint8_t doubleKey[16] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                                        0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10};
    const std::uint8_t unit[16] = {'N', 'o', 'w', ' ', 'i', 's', ' ', 't',
                                   'h', 'e', ' ', 't', 'i', 'm', 'e', ' '};
    const std::uint8_t unitCipher[16] = {0xAB, 0x70, 0xE6, 0xFE, 0xFC, 0x07, 0x1B, 0xE2,
                                         0x65, 0xF3, 0x2D, 0x3A, 0x5B, 0xFC, 0x2B, 0x06};
    TurboDes2 des2;
    des2.setKey({doubleKey, 16}, kEncrypt);
    des2.cryptDoubleBlock(unit, out);
    if (std::memcmp(out, unitCipher, 16) != 0) return false;
    des2.setKey({doubleKey, 16}, kDecrypt);
    des2.cryptDoubleBlock(out, out);
    if (std::memcmp(out, unit, 16) != 0) return false;

    // The engine of cryptBuffer on this CPU against the table engine, over more than one
    // batch of the widest kernel, so that every lane of it is checked.
    constexpr std::size_t kUnits = 300;
    std::uint8_t bulk[16 * kUnits], table[16 * kUnits];
    for (std::size_t i = 0; i < sizeof bulk; ++i)
        bulk[i] = std::uint8_t(i * 151 + (i >> 8) * 7 + 3);
    des2.setKey({doubleKey, 16}, kEncrypt);
    des2.cryptUnits(bulk, table, kUnits);
    if (cryptBuffer(&des2, bulk, sizeof bulk) != sizeof bulk) return false;
    if (std::memcmp(bulk, table, sizeof bulk) != 0) return false;

    const std::uint8_t md5Abc[16] = {0x90, 0x01, 0x50, 0x98, 0x3c, 0xd2, 0x4f, 0xb0,
                                     0xd6, 0x96, 0x3f, 0x7d, 0x28, 0xe1, 0x7f, 0x72};
    md5Digest(out, "abc", 3);
    if (std::memcmp(out, md5Abc, 16) != 0) return false;

    return crc32(0, "123456789", 9) == 0xCBF43926u;
}

} // namespace kh
