#include "strong_format.h"

#include "strong_crypto.h"

#include <algorithm>
#include <cstring>

namespace kh {
namespace {

// Header layout (all integers 32-bit little-endian).
constexpr std::size_t kOffHeaderLength = 8;
constexpr std::size_t kOffVersion = 12;
constexpr std::size_t kOffKdf = 16;
constexpr std::size_t kOffIterations = 20;
constexpr std::size_t kOffMemory = 24;
constexpr std::size_t kOffLanes = 28;
constexpr std::size_t kOffSalt = 32;
constexpr std::size_t kOffCipher = 64;
constexpr std::size_t kOffNonce = 68;
constexpr std::size_t kOffKeyCheck = 80;
constexpr std::size_t kOffAccountText = 96;

constexpr std::uint32_t kVersion = 1;
constexpr std::uint32_t kKdfArgon2id = 1;
constexpr std::uint32_t kCipherAes256Gcm = 1;

constexpr std::size_t kKeySize = 64;
constexpr std::size_t kAesKeySize = 32;

// The largest file a reader takes in: the longest header and payload, and the tag.
constexpr std::int64_t kMaxPayload =
    4 + std::int64_t(kMaxStrongEntries) * std::int64_t(kMaxStrongEntrySize);

// While saving, the system is asked to start writing to the device after this many bytes.
constexpr std::size_t kWriteChunk = std::size_t(1) << 20;

using Payload = std::vector<std::uint8_t, WipingAllocator<std::uint8_t>>;

// A typed or stored text as both formats see it: up to its first NUL, cut to `max` bytes.
std::string_view cutText(std::string_view text, std::size_t max) {
    const auto nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);
    return text.substr(0, std::min(text.size(), max));
}

std::uint32_t getU32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

void putU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void appendU32(Payload& out, std::uint32_t v) {
    std::uint8_t bytes[4];
    putU32(bytes, v);
    out.insert(out.end(), bytes, bytes + 4);
}

void appendText(Payload& out, std::string_view text, std::size_t max) {
    text = cutText(text, max);
    appendU32(out, static_cast<std::uint32_t>(text.size()));
    out.insert(out.end(), text.begin(), text.end());
}

bool hasNul(std::span<const std::uint8_t> text) {
    return std::find(text.begin(), text.end(), std::uint8_t(0)) != text.end();
}

std::string_view asText(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Reads one length-prefixed text of at most `max` bytes at `pos`.
bool takeText(std::span<const std::uint8_t> payload, std::size_t& pos, std::size_t max,
              std::string_view& text) {
    if (payload.size() - pos < 4) return false;
    const std::uint32_t length = getU32(payload.data() + pos);
    pos += 4;
    if (length > max || payload.size() - pos < length) return false;
    const auto bytes = payload.subspan(pos, length);
    if (hasNul(bytes)) return false;
    text = asText(bytes);
    pos += length;
    return true;
}

// The derivation's secret: name bytes, one zero byte, password bytes.
bool derive(std::string_view name, std::string_view password,
            std::span<const std::uint8_t, kStrongSaltSize> salt, const StrongParameters& parameters,
            StrongKey& key) {
    key.clear();
    name = cutText(name, kMaxAccountName);
    password = cutText(password, kMaxAccountPassword);
    if (name.empty() || password.empty() || !strongParametersAccepted(parameters)) return false;
    WipedBytes<kMaxAccountName + 1 + kMaxAccountPassword> secret;
    std::memcpy(secret.data(), name.data(), name.size());
    std::memcpy(secret.data() + name.size() + 1, password.data(), password.size());
    return argon2id({secret.data(), name.size() + 1 + password.size()}, salt, parameters.iterations,
                    parameters.memoryKiB, parameters.lanes, {key.data(), kKeySize});
}

std::span<const std::uint8_t, kAesKeySize> aesKey(const StrongKey& key) {
    return std::span<const std::uint8_t, kAesKeySize>(key.data(), kAesKeySize);
}

bool writeAll(SdrFile& file, FileSystem& fs, const std::uint8_t* bytes, std::size_t size,
              std::int64_t& position) {
    while (size > 0) {
        const std::size_t chunk = std::min(size, kWriteChunk);
        if (file.write(bytes, static_cast<long long>(chunk), position) !=
            static_cast<long long>(chunk))
            return false;
        position += static_cast<std::int64_t>(chunk);
        bytes += chunk;
        size -= chunk;
        if (size > 0) fs.startWriteBack(file);
    }
    return true;
}

} // namespace

bool startsStrong(std::span<const std::uint8_t> start) {
    return start.size() >= kStrongMagic.size() &&
           std::equal(kStrongMagic.begin(), kStrongMagic.end(), start.begin());
}

bool parseStrongHeader(std::span<const std::uint8_t> bytes, StrongHeader& header) {
    header = StrongHeader{};
    if (bytes.size() < kStrongFixedHeader || !startsStrong(bytes)) return false;
    const std::uint8_t* h = bytes.data();
    StrongParameters parameters{getU32(h + kOffIterations), getU32(h + kOffMemory),
                                getU32(h + kOffLanes)};
    if (getU32(h + kOffVersion) != kVersion || getU32(h + kOffKdf) != kKdfArgon2id ||
        !strongParametersAccepted(parameters) || getU32(h + kOffCipher) != kCipherAes256Gcm)
        return false;
    const std::uint32_t accountLength = getU32(h + kOffAccountText);
    if (accountLength > kMaxAccountText) return false;
    const std::size_t offHint = kOffAccountText + 4 + accountLength;
    if (bytes.size() < offHint + 4) return false;
    const std::uint32_t hintLength = getU32(h + offHint);
    if (hintLength > kMaxAccountText) return false;
    const std::size_t length = kStrongFixedHeader + accountLength + hintLength;
    if (getU32(h + kOffHeaderLength) != length || bytes.size() < length) return false;
    const auto account = bytes.subspan(kOffAccountText + 4, accountLength);
    const auto hint = bytes.subspan(offHint + 4, hintLength);
    if (hasNul(account) || hasNul(hint)) return false;

    header.parameters = parameters;
    std::copy_n(h + kOffSalt, kStrongSaltSize, header.salt.begin());
    std::copy_n(h + kOffNonce, kStrongNonceSize, header.nonce.begin());
    std::copy_n(h + kOffKeyCheck, kStrongKeyCheckSize, header.keyCheck.begin());
    header.accountDescription = asText(account);
    header.passwordDescription = asText(hint);
    header.bytes.assign(h, h + length);
    return true;
}

bool readStrongHeader(SdrFile& file, StrongHeader& header, std::int64_t& fileSize) {
    fileSize = 0;
    std::uint8_t bytes[kStrongMaxHeader];
    const long long got = file.read(bytes, sizeof bytes, 0);
    if (got <= 0 || !parseStrongHeader({bytes, static_cast<std::size_t>(got)}, header))
        return false;
    if (!file.seekEnd()) return false;
    const long long size = file.tell();
    const auto headerLength = static_cast<std::int64_t>(header.bytes.size());
    if (size < headerLength + 4 + std::int64_t(kStrongTagSize) ||
        size - headerLength - std::int64_t(kStrongTagSize) > kMaxPayload)
        return false;
    fileSize = size;
    return true;
}

bool deriveStrongKey(std::string_view name, std::string_view password,
                     std::span<const std::uint8_t, kStrongSaltSize> salt,
                     const StrongParameters& parameters, StrongKey& key) {
    return derive(name, password, salt, parameters, key);
}

bool strongKeyCheck(const StrongKey& key, std::span<std::uint8_t, kStrongKeyCheckSize> check) {
    WipedBytes<32> digest;
    if (!sha256({key.data() + kAesKeySize, kKeySize - kAesKeySize},
                std::span<std::uint8_t, 32>(digest.data(), 32)))
        return false;
    std::copy_n(digest.data(), kStrongKeyCheckSize, check.begin());
    return true;
}

bool encodeStrongPayload(std::span<const AccountEntry> entries, std::int64_t firstOffset,
                         Payload& payload, std::vector<std::int64_t>& offsets) {
    payload.clear();
    offsets.assign(entries.size(), kOffsetUnsaved);
    std::uint32_t count = 0;
    std::size_t size = 4;
    for (const AccountEntry& e : entries) {
        if (e.fileOffset == kOffsetDeleted) continue;
        if (count == kMaxStrongEntries) return false;
        ++count;
        size += 20 + cutText(e.title, kMaxEntryTitle).size() +
                cutText(e.whatsThis, kMaxEntryWhatsThis).size() +
                cutText(e.data.view(), kMaxEntryData).size() +
                cutText(e.description, kMaxEntryDescription).size();
    }
    payload.reserve(size);
    appendU32(payload, count);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const AccountEntry& e = entries[i];
        offsets[i] = e.fileOffset;
        if (e.fileOffset == kOffsetDeleted) continue;
        offsets[i] = firstOffset + static_cast<std::int64_t>(payload.size());
        appendU32(payload, static_cast<std::uint32_t>(e.type));
        appendText(payload, e.title, kMaxEntryTitle);
        appendText(payload, e.whatsThis, kMaxEntryWhatsThis);
        appendText(payload, e.data.view(), kMaxEntryData);
        appendText(payload, e.description, kMaxEntryDescription);
    }
    return true;
}

bool parseStrongPayload(std::span<const std::uint8_t> payload, std::int64_t firstOffset,
                        std::vector<AccountEntry>& entries) {
    entries.clear();
    if (payload.size() < 4) return false;
    const std::uint32_t count = getU32(payload.data());
    // Every entry takes at least its five length and type fields.
    if (count > kMaxStrongEntries || (payload.size() - 4) / 20 < count) return false;
    std::vector<AccountEntry> parsed;
    parsed.reserve(count);
    std::size_t pos = 4;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t start = pos;
        if (payload.size() - pos < 4) return false;
        const auto type = static_cast<std::int32_t>(getU32(payload.data() + pos));
        pos += 4;
        std::string_view title, whatsThis, data, description;
        if (!takeText(payload, pos, kMaxEntryTitle, title) ||
            !takeText(payload, pos, kMaxEntryWhatsThis, whatsThis) ||
            !takeText(payload, pos, kMaxEntryData, data) ||
            !takeText(payload, pos, kMaxEntryDescription, description))
            return false;
        AccountEntry& e = parsed.emplace_back();
        e.type = type;
        e.title = title;
        e.whatsThis = whatsThis;
        e.data.assign(data);
        e.description = description;
        e.fileOffset = firstOffset + static_cast<std::int64_t>(start);
    }
    if (pos != payload.size()) return false;
    entries = std::move(parsed);
    return true;
}

ReadOutcome readStrongBody(SdrFile& file, const StrongHeader& header, std::int64_t fileSize,
                           const StrongKey& key, LoadedAccount& out) {
    out = LoadedAccount{};
    const auto headerLength = static_cast<std::int64_t>(header.bytes.size());
    const auto sealed = static_cast<std::size_t>(fileSize - headerLength);
    const std::size_t payloadSize = sealed - kStrongTagSize;
    WipedBuffer body(sealed);
    if (file.read(body.data(), static_cast<long long>(sealed), headerLength) !=
        static_cast<long long>(sealed))
        return ReadOutcome::Damaged; // shorter than a moment ago
    std::uint8_t tag[kStrongTagSize];
    std::memcpy(tag, body.data() + payloadSize, kStrongTagSize);
    switch (
        aes256GcmOpen(aesKey(key), header.nonce, header.bytes, {body.data(), payloadSize}, tag)) {
    case GcmOpen::Authentic:
        break;
    case GcmOpen::Forged:
        return ReadOutcome::Damaged;
    case GcmOpen::Failed:
        return ReadOutcome::NotOpened;
    }
    LoadedAccount loaded;
    if (!parseStrongPayload({body.data(), payloadSize}, headerLength, loaded.entries))
        return ReadOutcome::Damaged;
    loaded.account.accountDescription = header.accountDescription;
    loaded.account.passwordDescription = header.passwordDescription;
    loaded.account.protection = AccountProtection::strongWith(header.parameters);
    out = std::move(loaded);
    return ReadOutcome::Loaded;
}

ReadOutcome readStrongAccount(SdrFile& file, std::string_view name, std::string_view password,
                              LoadedAccount& out) {
    out = LoadedAccount{};
    name = cutText(name, kMaxAccountName);
    password = cutText(password, kMaxAccountPassword);
    StrongHeader header;
    std::int64_t fileSize = 0;
    // Everything that can be checked without the key is checked before the derivation.
    if (!readStrongHeader(file, header, fileSize)) return ReadOutcome::Damaged;
    if (name.empty() || password.empty()) return ReadOutcome::WrongCredentials;
    StrongKey key;
    std::array<std::uint8_t, kStrongKeyCheckSize> check{};
    if (!derive(name, password, header.salt, header.parameters, key) || !strongKeyCheck(key, check))
        return ReadOutcome::NotOpened;
    if (!sameBytes(check, header.keyCheck)) return ReadOutcome::WrongCredentials;
    const ReadOutcome outcome = readStrongBody(file, header, fileSize, key, out);
    if (outcome == ReadOutcome::Loaded) {
        out.account.name = name;
        out.account.password.assign(password);
    }
    return outcome;
}

bool writeStrongAccount(SdrFile& file, FileSystem& fs, const Account& account,
                        std::span<const AccountEntry> entries, std::vector<std::int64_t>& offsets) {
    const StrongParameters& parameters = account.protection.strong;
    const std::string_view description = cutText(account.accountDescription, kMaxAccountText);
    const std::string_view hint = cutText(account.passwordDescription, kMaxAccountText);
    const std::size_t headerLength = kStrongFixedHeader + description.size() + hint.size();

    std::vector<std::uint8_t> header(headerLength, 0);
    std::uint8_t* h = header.data();
    std::copy(kStrongMagic.begin(), kStrongMagic.end(), h);
    putU32(h + kOffHeaderLength, static_cast<std::uint32_t>(headerLength));
    putU32(h + kOffVersion, kVersion);
    putU32(h + kOffKdf, kKdfArgon2id);
    putU32(h + kOffIterations, parameters.iterations);
    putU32(h + kOffMemory, parameters.memoryKiB);
    putU32(h + kOffLanes, parameters.lanes);
    putU32(h + kOffCipher, kCipherAes256Gcm);
    putU32(h + kOffAccountText, static_cast<std::uint32_t>(description.size()));
    std::memcpy(h + kOffAccountText + 4, description.data(), description.size());
    const std::size_t offHint = kOffAccountText + 4 + description.size();
    putU32(h + offHint, static_cast<std::uint32_t>(hint.size()));
    std::memcpy(h + offHint + 4, hint.data(), hint.size());

    // A new salt on every save: a changed password or cost never meets an old salt.
    const std::span<std::uint8_t, kStrongSaltSize> salt(h + kOffSalt, kStrongSaltSize);
    const std::span<std::uint8_t, kStrongNonceSize> nonce(h + kOffNonce, kStrongNonceSize);
    StrongKey key;
    if (!strongRandomBytes(salt) || !strongRandomBytes(nonce) ||
        !derive(account.name, account.password.view(), salt, parameters, key) ||
        !strongKeyCheck(key, std::span<std::uint8_t, kStrongKeyCheckSize>(h + kOffKeyCheck,
                                                                          kStrongKeyCheckSize)))
        return false;

    Payload payload;
    if (!encodeStrongPayload(entries, static_cast<std::int64_t>(headerLength), payload, offsets))
        return false;
    std::uint8_t tag[kStrongTagSize];
    if (!aes256GcmSeal(aesKey(key), nonce, header, payload, tag)) return false;

    std::int64_t position = 0;
    return writeAll(file, fs, header.data(), header.size(), position) &&
           writeAll(file, fs, payload.data(), payload.size(), position) &&
           writeAll(file, fs, tag, sizeof tag, position);
}

} // namespace kh
