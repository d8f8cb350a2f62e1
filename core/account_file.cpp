#include "account_file.h"

#include "crypto.h"
#include "strong_format.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace kh {
namespace {

// The nine characters that open the derivation block of deriveKey. Files are readable
// only by implementations that use the same nine (see docs/account-file.md).
constexpr char kDerivationConstant[9] = {'K', 'H', 'V', 'K', 'D', 'F', '-', '0', '1'};
// The secret text behind the constant key and the account key.
constexpr std::string_view kKeyConstant = "ZQQKEYHAVENJJJJ";

// Header layout.
constexpr std::size_t kOffVersion = 4;
constexpr std::size_t kOffFileSize = 8;
constexpr std::size_t kOffName = 12;
constexpr std::size_t kNameField = 160;
constexpr std::size_t kOffAccountDescription = 172;
constexpr std::size_t kAccountTextField = 192;
constexpr std::size_t kOffHeaderRecord = 364;
constexpr std::size_t kOffPasswordDescription = 844;
constexpr std::size_t kOffRecordCount = 1036;
constexpr std::size_t kOffRecordBytes = 1040;
constexpr std::size_t kOffLayerMarkers = 1044;
constexpr std::size_t kOffLayerMarker = 1064;
constexpr std::size_t kOffHeaderCrc = 1320;
constexpr std::uint8_t kFormatVersion = 1;

// Header record and entry record layout (both 480 bytes).
constexpr std::size_t kOffType = 0;
constexpr std::size_t kOffTitle = 4;
constexpr std::size_t kOffWhatsThis = 84;
constexpr std::size_t kOffData = 164;
constexpr std::size_t kDataField = 80;
constexpr std::size_t kOffDescription = 244;
constexpr std::size_t kCrcCovered = 436;
constexpr std::size_t kOffCrc = 452;
constexpr std::size_t kOffRecordName = 4;
constexpr std::size_t kOffRecordPassword = 164;
constexpr std::size_t kOffRecordHint = 244;

// Every size and offset is a signed 32-bit value on disk.
constexpr std::int64_t kMaxRecords = (INT32_MAX - std::int64_t(kHeaderSize)) / kRecordSize;
// Records are moved and transformed in batches of this many.
constexpr std::size_t kBatchRecords = 64;
// While saving, the system is asked to start writing to the device after this many bytes.
constexpr std::int64_t kWriteBackBytes = std::int64_t(1) << 20;

using Key = WipedBytes<16>;
using Header = WipedBytes<kHeaderSize>;

// A typed or stored text as the format sees it: up to its first NUL, cut to `max` bytes.
std::string_view cutText(std::string_view text, std::size_t max = std::string_view::npos) {
    const auto nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);
    return text.substr(0, std::min(text.size(), max));
}

// Copies a text into a zeroed field, leaving at least one NUL.
void putText(std::uint8_t* field, std::string_view text, std::size_t max) {
    text = cutText(text, max);
    std::memcpy(field, text.data(), text.size());
}

std::string_view fieldText(const std::uint8_t* field, std::size_t fieldSize) {
    const auto* begin = reinterpret_cast<const char*>(field);
    return {begin, static_cast<std::size_t>(std::find(begin, begin + fieldSize, '\0') - begin)};
}

void putInt32(std::uint8_t* p, std::int64_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t getUint32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

std::int32_t getInt32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(getUint32(p));
}

void md5Of(Key& out, std::string_view text) {
    md5Digest(out.data(), text.data(), text.size());
}

bool setKey(TurboDes2& cipher, const Key& key, int mode) {
    return cipher.setKey({key.data(), key.size()}, mode);
}

void crypt(TurboDes2& cipher, std::uint8_t* bytes, std::size_t length) {
    cryptBuffer(&cipher, bytes, length);
}

// Transforms the secret field of `records` consecutive records in one cryptBuffer call
// (gathered into `fields` and put back): the cipher works best on long buffers.
void cryptDataFields(TurboDes2& cipher, std::uint8_t* records, std::size_t count,
                     std::uint8_t* fields) {
    for (std::size_t r = 0; r < count; ++r)
        std::memcpy(fields + r * kDataField, records + r * kRecordSize + kOffData, kDataField);
    crypt(cipher, fields, count * kDataField);
    for (std::size_t r = 0; r < count; ++r)
        std::memcpy(records + r * kRecordSize + kOffData, fields + r * kDataField, kDataField);
}

// Reads the header from the start of the file and checks its fixed fields.
bool readHeader(SdrFile& file, Header& header) {
    if (file.read(header.data(), kHeaderSize, 0) != static_cast<long long>(kHeaderSize))
        return false;
    if (std::memcmp(header.data(), "KHVF", 4) != 0 || header[kOffVersion] != kFormatVersion)
        return false;
    const std::int64_t fileSize = getInt32(header.data() + kOffFileSize);
    const std::int64_t recordCount = getInt32(header.data() + kOffRecordCount);
    const std::int64_t recordBytes = getInt32(header.data() + kOffRecordBytes);
    if (recordCount < 0 || fileSize - recordBytes != std::int64_t(kHeaderSize) ||
        recordCount * std::int64_t(kRecordSize) != recordBytes)
        return false;
    // A further cipher layer over the header record, which this format does not cover.
    const std::uint8_t* markers = header.data() + kOffLayerMarkers;
    if (markers[0] == 1 && markers[1] == 1 && markers[2] == 1 && markers[3] == 1 &&
        header[kOffLayerMarker] == 0x59)
        return false;
    return true;
}

std::string decodeAccountDescription(Header& header) {
    Key constantKey;
    md5Of(constantKey, kKeyConstant);
    TurboDes2 writeCipher;
    setKey(writeCipher, constantKey, kEncrypt);
    std::uint8_t* field = header.data() + kOffAccountDescription;
    invertBytes(field, kAccountTextField);
    crypt(writeCipher, field, kAccountTextField);
    field[kAccountTextField - 1] = 0;
    return std::string(fieldText(field, kAccountTextField));
}

// Decodes the stored name with the account key of the typed name and, when they match,
// the password description. `cipher` keeps the account key for the entry data.
bool decodeNameAndHint(Header& header, std::string_view typedName, TurboDes2& cipher,
                       std::string& storedName, std::string& passwordDescription) {
    Key accountKey;
    if (!deriveKey(typedName, kKeyConstant, accountKey.data())) return false;
    setKey(cipher, accountKey, kDecrypt);

    std::uint8_t* name = header.data() + kOffName;
    crypt(cipher, name, kNameField);
    invertBytes(name, kNameField);
    name[kNameField - 1] = 0;
    storedName = std::string(fieldText(name, kNameField));
    if (storedName != typedName) return false;

    std::uint8_t* hint = header.data() + kOffPasswordDescription;
    crypt(cipher, hint, kAccountTextField);
    hint[kAccountTextField - 1] = 0;
    passwordDescription = std::string(fieldText(hint, kAccountTextField));
    return true;
}

// Decrypts and verifies the header record with the keys of the typed password. On success
// `cipher` holds the password key (decryption) for the entry records.
bool verifyHeaderRecord(Header& header, std::string_view typedName, std::string_view typedPassword,
                        const std::string& storedName, TurboDes2& cipher, SecretString& password) {
    Key passwordKey, secondKey;
    if (!deriveKey(typedName, typedPassword, passwordKey.data())) return false;
    md5Digest(secondKey.data(), passwordKey.data(), passwordKey.size());

    std::uint8_t* record = header.data() + kOffHeaderRecord;
    setKey(cipher, secondKey, kDecrypt);
    crypt(cipher, record, kRecordSize);
    setKey(cipher, passwordKey, kDecrypt);
    crypt(cipher, record, kRecordSize);
    record[kOffRecordPassword - 1] = 0;
    record[kOffRecordHint - 1] = 0;
    record[kCrcCovered - 1] = 0;

    const std::uint32_t headerCrc = getUint32(header.data() + kOffHeaderCrc);
    if (headerCrc != getUint32(record + kOffCrc)) return false;
    if (fieldText(record + kOffRecordName, kNameField) != storedName) return false;
    const std::string_view storedPassword = fieldText(record + kOffRecordPassword, kDataField);
    if (storedPassword != typedPassword) return false;
    if (crc32(0, record, kCrcCovered) != headerCrc) return false;
    password.assign(storedPassword);
    return true;
}

// Turns a decrypted entry record into an entry; false when its CRC does not match.
bool decodeEntry(std::uint8_t* record, std::int64_t offset, std::vector<AccountEntry>& entries) {
    record[kOffWhatsThis - 1] = 0;
    record[kOffData - 1] = 0;
    record[kOffDescription - 1] = 0;
    record[kCrcCovered - 1] = 0;
    if (crc32(0, record, kCrcCovered) != getUint32(record + kOffCrc)) return false;
    AccountEntry& entry = entries.emplace_back();
    entry.type = getInt32(record + kOffType);
    entry.title = fieldText(record + kOffTitle, kOffWhatsThis - kOffTitle);
    entry.whatsThis = fieldText(record + kOffWhatsThis, kOffData - kOffWhatsThis);
    entry.data.assign(fieldText(record + kOffData, kDataField));
    entry.description = fieldText(record + kOffDescription, kCrcCovered - kOffDescription);
    entry.fileOffset = offset;
    return true;
}

// Fills a record in clear; its secret field is encrypted later, with the batch.
void encodeEntry(const AccountEntry& entry, std::uint8_t* record) {
    std::memset(record, 0, kRecordSize);
    putInt32(record + kOffType, entry.type);
    putText(record + kOffTitle, entry.title, kMaxEntryTitle);
    putText(record + kOffWhatsThis, entry.whatsThis, kMaxEntryWhatsThis);
    putText(record + kOffDescription, entry.description, kMaxEntryDescription);
    putText(record + kOffData, entry.data.view(), kMaxEntryData);
    putInt32(record + kOffCrc, crc32(0, record, kCrcCovered));
}

// Writes header placeholder, records and header to a file open for writing; `offsets`
// receives the new file offset of every entry (deleted entries keep theirs).
bool writeAccountTo(SdrFile& file, FileSystem& fs, const Account& account,
                    std::span<const AccountEntry> entries, std::vector<std::int64_t>& offsets) {
    const std::string_view name = cutText(account.name, kMaxAccountName);
    const std::string_view password = cutText(account.password.view(), kMaxAccountPassword);

    Header header;
    std::uint8_t* h = header.data();
    putText(h + kOffName, name, kMaxAccountName);
    putText(h + kOffAccountDescription, account.accountDescription, kMaxAccountText);
    putText(h + kOffPasswordDescription, account.passwordDescription, kMaxAccountText);

    Key passwordKey, constantKey, accountKey, secondKey;
    if (!deriveKey(name, password, passwordKey.data())) return false;

    TurboDes2 writeCipher, readCipher, accountCipher;
    md5Of(constantKey, kKeyConstant);
    setKey(readCipher, constantKey, kDecrypt);
    crypt(readCipher, h + kOffAccountDescription, kAccountTextField);
    invertBytes(h + kOffAccountDescription, kAccountTextField);

    setKey(writeCipher, passwordKey, kEncrypt);
    if (!deriveKey(name, kKeyConstant, accountKey.data())) return false;
    setKey(accountCipher, accountKey, kEncrypt);

    // Reserve the header; it is written for real once everything else is in place.
    static const std::uint8_t kPlaceholder[kHeaderSize] = {};
    if (file.write(kPlaceholder, kHeaderSize, 0) != static_cast<long long>(kHeaderSize))
        return false;

    offsets.resize(entries.size());
    WipedBuffer batch(kBatchRecords * kRecordSize);
    WipedBuffer fields(kBatchRecords * kDataField);
    std::int64_t recordCount = 0;
    std::int64_t batchStart = kHeaderSize;
    std::size_t inBatch = 0;
    auto writeBatch = [&]() {
        const std::size_t bytes = inBatch * kRecordSize;
        cryptDataFields(accountCipher, batch.data(), inBatch, fields.data());
        crypt(writeCipher, batch.data(), bytes);
        const bool ok = file.write(batch.data(), static_cast<long long>(bytes), batchStart) ==
                        static_cast<long long>(bytes);
        if (batchStart / kWriteBackBytes != (batchStart + std::int64_t(bytes)) / kWriteBackBytes)
            fs.startWriteBack(file);
        batchStart += static_cast<std::int64_t>(bytes);
        inBatch = 0;
        return ok;
    };
    for (std::size_t i = 0; i < entries.size(); ++i) {
        offsets[i] = entries[i].fileOffset;
        if (entries[i].fileOffset == kOffsetDeleted) continue;
        if (recordCount == kMaxRecords) return false;
        encodeEntry(entries[i], batch.data() + inBatch * kRecordSize);
        offsets[i] = std::int64_t(kHeaderSize) + recordCount * std::int64_t(kRecordSize);
        ++recordCount;
        if (++inBatch == kBatchRecords && !writeBatch()) return false;
    }
    if (inBatch > 0 && !writeBatch()) return false;

    h[0] = 'K';
    h[1] = 'H';
    h[2] = 'V';
    h[3] = 'F';
    h[kOffVersion] = kFormatVersion;
    putInt32(h + kOffRecordCount, recordCount);
    putInt32(h + kOffRecordBytes, recordCount * std::int64_t(kRecordSize));
    putInt32(h + kOffFileSize, std::int64_t(kHeaderSize) + recordCount * std::int64_t(kRecordSize));

    std::uint8_t* record = h + kOffHeaderRecord;
    putText(record + kOffRecordName, name, kMaxAccountName);
    putText(record + kOffRecordHint, account.passwordDescription, kMaxAccountText);
    putText(record + kOffRecordPassword, password, kMaxAccountPassword);
    const std::uint32_t crc = crc32(0, record, kCrcCovered);
    putInt32(record + kOffCrc, crc);
    putInt32(h + kOffHeaderCrc, crc);

    invertBytes(h + kOffName, kNameField);
    crypt(accountCipher, h + kOffName, kNameField);
    crypt(accountCipher, h + kOffPasswordDescription, kAccountTextField);
    crypt(writeCipher, record, kRecordSize);
    md5Digest(secondKey.data(), passwordKey.data(), passwordKey.size());
    setKey(writeCipher, secondKey, kEncrypt);
    crypt(writeCipher, record, kRecordSize);

    return file.write(h, kHeaderSize, 0) == static_cast<long long>(kHeaderSize);
}

bool openForReading(const std::string& path, SdrFile& file) {
    // Only regular files: some C libraries open a folder for reading, and a pipe or a
    // device could block the read forever.
    return openRegularFile(path, file);
}

// The format is told by the first bytes; everything else goes to the compatible reader,
// which refuses what is not its own.
bool isStrongFile(SdrFile& file) {
    std::uint8_t start[kStrongMagic.size()];
    const long long got = file.read(start, sizeof start, 0);
    return got == static_cast<long long>(sizeof start) && startsStrong(start);
}

} // namespace

std::string describeProtection(const AccountProtection& protection) {
    if (!protection.isStrong()) return "compatible";
    const StrongParameters& p = protection.strong;
    return "strong (Argon2id, t=" + std::to_string(p.iterations) +
           ", m=" + std::to_string(p.memoryKiB) + " KiB, p=" + std::to_string(p.lanes) +
           "; AES-256-GCM)";
}

bool deriveKey(std::string_view name, std::string_view secret, std::uint8_t* out16) {
    name = cutText(name);
    secret = cutText(secret);
    if (name.empty() || secret.empty() || out16 == nullptr) return false;
    std::memset(out16, 0, 16);

    WipedBytes<16> block;
    std::memcpy(block.data(), kDerivationConstant, sizeof kDerivationConstant);
    block[9] = 0x01;
    const auto first = static_cast<std::uint8_t>(name[0]);
    const auto second = name.size() > 1 ? static_cast<std::uint8_t>(name[1]) : std::uint8_t(0);
    for (std::size_t i = 10; i < 16; i += 2) {
        block[i] = first;
        block[i + 1] = second;
    }

    Key a, b, c, d;
    md5Of(b, secret);
    md5Digest(c.data(), block.data(), block.size());
    invertBytes(c.data(), c.size());
    md5Of(a, name);

    TurboDes2 keyCipher;
    setKey(keyCipher, a, kEncrypt);
    keyCipher.cryptDoubleBlock(c.data(), d.data());
    invertBytes(b.data(), b.size());
    setKey(keyCipher, d, kEncrypt);
    keyCipher.cryptDoubleBlock(b.data(), out16);
    return true;
}

SaveOutcome writeAccountFile(const std::string& path, const Account& account,
                             std::span<AccountEntry> entries, FileSystem& fs) {
    std::vector<std::int64_t> offsets;
    const WriteOutcome outcome = writeWholeFile(fs, path, true, [&](SdrFile& file) {
        if (account.protection.isStrong())
            return writeStrongAccount(file, fs, account, entries, offsets);
        return writeAccountTo(file, fs, account, entries, offsets);
    });
    switch (outcome) {
    case WriteOutcome::Written:
        break;
    case WriteOutcome::NotOpened:
        return SaveOutcome::NotOpened;
    case WriteOutcome::Failed:
        return SaveOutcome::Failed;
    }
    for (std::size_t i = 0; i < entries.size(); ++i)
        entries[i].fileOffset = offsets[i];
    return SaveOutcome::Saved;
}

ReadOutcome readAccountFile(const std::string& path, std::string_view name,
                            std::string_view password, LoadedAccount& out) {
    out = LoadedAccount{};
    SdrFile file;
    if (!openForReading(path, file)) return ReadOutcome::NotOpened;
    return readAccountFile(file, name, password, out);
}

ReadOutcome readAccountFile(SdrFile& file, std::string_view name, std::string_view password,
                            LoadedAccount& out) {
    out = LoadedAccount{};
    if (isStrongFile(file)) return readStrongAccount(file, name, password, out);
    name = cutText(name, kMaxAccountName);
    password = cutText(password, kMaxAccountPassword);

    Header header;
    if (!readHeader(file, header)) return ReadOutcome::Damaged;
    LoadedAccount loaded;
    loaded.account.accountDescription = decodeAccountDescription(header);

    TurboDes2 accountCipher, readCipher;
    if (!decodeNameAndHint(header, name, accountCipher, loaded.account.name,
                           loaded.account.passwordDescription))
        return ReadOutcome::WrongCredentials;
    if (!verifyHeaderRecord(header, name, password, loaded.account.name, readCipher,
                            loaded.account.password))
        return ReadOutcome::WrongCredentials;

    // The record count in the header does not bound the records: read to the end of the
    // file (or to the largest size the format can describe); a partial record is ignored.
    WipedBuffer batch(kBatchRecords * kRecordSize);
    WipedBuffer fields(kBatchRecords * kDataField);
    constexpr auto kRecord = static_cast<std::int64_t>(kRecordSize);
    constexpr std::int64_t kEndLimit = std::int64_t(kHeaderSize) + kMaxRecords * kRecord;
    std::int64_t offset = kHeaderSize;
    for (;;) {
        const std::int64_t want = std::min(static_cast<std::int64_t>(batch.size()),
                                           (kEndLimit - offset) / kRecord * kRecord);
        if (want <= 0) break;
        const long long got = file.read(batch.data(), want, offset);
        if (got < static_cast<long long>(kRecordSize)) break;
        const std::size_t records = static_cast<std::size_t>(got) / kRecordSize;
        crypt(readCipher, batch.data(), records * kRecordSize);
        cryptDataFields(accountCipher, batch.data(), records, fields.data());
        for (std::size_t r = 0; r < records; ++r) {
            std::uint8_t* record = batch.data() + r * kRecordSize;
            if (!decodeEntry(record, offset, loaded.entries)) ++loaded.droppedRecords;
            offset += kRecordSize;
        }
        if (got < want) break;
    }
    out = std::move(loaded);
    return ReadOutcome::Loaded;
}

bool readAccountDescription(const std::string& path, std::string& description) {
    description.clear();
    SdrFile file;
    return openForReading(path, file) && readAccountDescription(file, description);
}

std::optional<AccountProtection> readAccountProtection(const std::string& path) {
    SdrFile file;
    if (!openForReading(path, file)) return std::nullopt;
    return readAccountProtection(file);
}

std::optional<AccountProtection> readAccountProtection(SdrFile& file) {
    if (isStrongFile(file)) {
        StrongHeader header;
        std::int64_t fileSize = 0;
        if (!readStrongHeader(file, header, fileSize)) return std::nullopt;
        return AccountProtection::strongWith(header.parameters);
    }
    Header header;
    if (!readHeader(file, header)) return std::nullopt;
    return AccountProtection::compatible();
}

bool readAccountDescription(SdrFile& file, std::string& description) {
    description.clear();
    if (isStrongFile(file)) {
        StrongHeader header;
        std::int64_t fileSize = 0;
        if (!readStrongHeader(file, header, fileSize)) return false;
        description = std::move(header.accountDescription);
        return true;
    }
    Header header;
    if (!readHeader(file, header)) return false;
    description = decodeAccountDescription(header);
    return true;
}

bool readPasswordDescription(const std::string& path, std::string_view name,
                             std::string& description) {
    description.clear();
    if (cutText(name).empty()) return false;
    SdrFile file;
    return openForReading(path, file) && readPasswordDescription(file, name, description);
}

bool readPasswordDescription(SdrFile& file, std::string_view name, std::string& description) {
    description.clear();
    name = cutText(name, kMaxAccountName);
    if (name.empty()) return false;
    if (isStrongFile(file)) {
        // The hint is stored in clear; the name is part of the key and only the password
        // can confirm it.
        StrongHeader header;
        std::int64_t fileSize = 0;
        if (!readStrongHeader(file, header, fileSize)) return false;
        description = std::move(header.passwordDescription);
        return true;
    }
    Header header;
    if (!readHeader(file, header)) return false;
    file.close();
    TurboDes2 readCipher;
    std::string storedName, hint;
    if (!decodeNameAndHint(header, name, readCipher, storedName, hint)) return false;
    description = std::move(hint);
    return true;
}

bool checkAccountCredentials(const std::string& path, std::string_view name,
                             std::string_view password, std::string& passwordDescription) {
    passwordDescription.clear();
    if (cutText(password).empty()) return false;
    SdrFile file;
    return openForReading(path, file) &&
           checkAccountCredentials(file, name, password, passwordDescription);
}

bool checkAccountCredentials(SdrFile& file, std::string_view name, std::string_view password,
                             std::string& passwordDescription) {
    passwordDescription.clear();
    name = cutText(name, kMaxAccountName);
    password = cutText(password, kMaxAccountPassword);
    if (password.empty()) return false;
    if (isStrongFile(file)) {
        // The whole file is checked: the key alone would vouch for a file whose entries
        // then fail to load.
        LoadedAccount loaded;
        if (readStrongAccount(file, name, password, loaded) != ReadOutcome::Loaded) return false;
        passwordDescription = std::move(loaded.account.passwordDescription);
        return true;
    }
    Header header;
    if (!readHeader(file, header)) return false;
    file.close();
    TurboDes2 readCipher;
    std::string storedName, hint;
    SecretString storedPassword;
    if (!decodeNameAndHint(header, name, readCipher, storedName, hint) ||
        !verifyHeaderRecord(header, name, password, storedName, readCipher, storedPassword))
        return false;
    passwordDescription = std::move(hint);
    return true;
}

} // namespace kh
