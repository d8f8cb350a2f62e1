// The encrypted account file (.khk) in its two formats, behind one interface: the
// compatible format (DES-based, the layout other programs share) and the strong format
// (Argon2id and AES-256-GCM). Readers tell the format by the file's first bytes; writers
// use the account's protection. Also the compatible key derivation and the three partial
// readers used before an account is open. Both layouts are documented in
// docs/account-file.md.
#pragma once

#include "file_system.h"
#include "sdr_file.h"
#include "secure_memory.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kh {

// Entry types as stored; other values are kept as they are.
inline constexpr std::int32_t kEntryPassword = 1;
inline constexpr std::int32_t kEntryLink = 2;
inline constexpr std::int32_t kEntryText = 3;

// `fileOffset` values that are not offsets.
inline constexpr std::int64_t kOffsetUnsaved = -1;
inline constexpr std::int64_t kOffsetDeleted = -2;

// Stored field capacities (the field size minus its NUL).
inline constexpr std::size_t kMaxAccountName = 159;
inline constexpr std::size_t kMaxAccountPassword = 79;
inline constexpr std::size_t kMaxAccountText = 191;
inline constexpr std::size_t kMaxEntryTitle = 79;
inline constexpr std::size_t kMaxEntryWhatsThis = 79;
inline constexpr std::size_t kMaxEntryData = 79;
inline constexpr std::size_t kMaxEntryDescription = 191;

inline constexpr std::size_t kHeaderSize = 1340;
inline constexpr std::size_t kRecordSize = 480;

// The cost of the strong format's Argon2id key derivation.
struct StrongParameters {
    std::uint32_t iterations = 3;
    std::uint32_t memoryKiB = 65536;
    std::uint32_t lanes = 2;

    friend bool operator==(const StrongParameters&, const StrongParameters&) = default;
};

// What a reader accepts (and a writer writes): anything else is refused before any key is
// derived, so that no file can make the program take a gigabyte or spin for minutes.
inline constexpr std::uint32_t kMinStrongIterations = 1;
inline constexpr std::uint32_t kMaxStrongIterations = 64;
inline constexpr std::uint32_t kMinStrongMemoryKiB = 8192;
inline constexpr std::uint32_t kMaxStrongMemoryKiB = 1048576;
inline constexpr std::uint32_t kMinStrongLanes = 1;
inline constexpr std::uint32_t kMaxStrongLanes = 16;

inline constexpr bool strongParametersAccepted(const StrongParameters& p) {
    return p.iterations >= kMinStrongIterations && p.iterations <= kMaxStrongIterations &&
           p.memoryKiB >= kMinStrongMemoryKiB && p.memoryKiB <= kMaxStrongMemoryKiB &&
           p.lanes >= kMinStrongLanes && p.lanes <= kMaxStrongLanes;
}

enum class ProtectionKind { Compatible, Strong };

// The format an account is stored in. Loading sets it from the file, saving writes it, so
// every save, backup and Save As keeps an account's format until the user changes it.
struct AccountProtection {
    ProtectionKind kind = ProtectionKind::Compatible;
    StrongParameters strong; // used only when kind is Strong

    static AccountProtection compatible() { return {}; }
    static AccountProtection strongWith(StrongParameters parameters = {}) {
        return {ProtectionKind::Strong, parameters};
    }
    bool isStrong() const { return kind == ProtectionKind::Strong; }

    friend bool operator==(const AccountProtection& a, const AccountProtection& b) {
        return a.kind == b.kind && (a.kind == ProtectionKind::Compatible || a.strong == b.strong);
    }
};

// "strong (Argon2id, t=3, m=65536 KiB, p=2; AES-256-GCM)" or "compatible".
std::string describeProtection(const AccountProtection& protection);

// The decrypted texts of an account are private too: they wipe themselves when they go
// (also when a vector moves them), so no released memory keeps a copy.
struct Account {
    std::string name;
    SecretString password;
    std::string accountDescription;
    std::string passwordDescription;
    AccountProtection protection;

    Account() = default;
    Account(const Account&) = default;
    Account(Account&&) = default;
    Account& operator=(const Account&) = default;
    Account& operator=(Account&&) = default;
    ~Account() {
        wipeString(name);
        wipeString(accountDescription);
        wipeString(passwordDescription);
    }
};

struct AccountEntry {
    std::int32_t type = kEntryPassword;
    std::string title;
    std::string whatsThis;
    SecretString data;
    std::string description;
    std::int64_t fileOffset = kOffsetUnsaved;

    AccountEntry() = default;
    AccountEntry(const AccountEntry&) = default;
    AccountEntry(AccountEntry&&) = default;
    AccountEntry& operator=(const AccountEntry&) = default;
    AccountEntry& operator=(AccountEntry&&) = default;
    ~AccountEntry() {
        wipeString(title);
        wipeString(whatsThis);
        wipeString(description);
    }
};

enum class SaveOutcome { Saved, NotOpened, Failed };

enum class ReadOutcome {
    Loaded,
    // The file could not be opened (missing, a folder or a device), or the strong key
    // derivation could not get its memory.
    NotOpened,
    // The name or the password does not open the account. In the compatible format damage
    // to the encrypted name, to the CRC at 1320 or to the header record's last unit looks
    // the same.
    WrongCredentials,
    // Not an account file, or one whose header (or, in the strong format, any byte) is
    // damaged. Nothing is loaded.
    Damaged,
};

struct LoadedAccount {
    Account account; // its protection is the file's
    std::vector<AccountEntry> entries;
    int droppedRecords = 0; // compatible format: records dropped for a CRC mismatch
};

// The 16-byte key for an account name and a secret text; false (output untouched) when
// either is empty.
bool deriveKey(std::string_view name, std::string_view secret, std::uint8_t* out16);

// Writes the whole account in the format of `account.protection`: entries marked deleted
// are left out, the others are stored in list order. The file is built beside the old one
// and replaces it only when complete, so NotOpened and Failed both leave any previous file
// as it was; only Saved updates the entries' file offsets. A path that is a symbolic link
// saves the file it leads to and keeps the link. Another process saving the same file at
// that moment makes it NotOpened. A strong save derives a new key from a new salt every
// time (a fraction of a second at the default cost); strong parameters outside the
// accepted ranges make it Failed.
SaveOutcome writeAccountFile(const std::string& path, const Account& account,
                             std::span<AccountEntry> entries, FileSystem& fs = nativeFileSystem());

// Reads and verifies a whole account, in either format, with the name and password as
// typed. Compatible format: damaged entry records are dropped and counted, not fatal.
// Strong format: any damage refuses the whole file. Entries get increasing non-negative
// file offsets (where their bytes begin); the loaded account carries the file's protection.
ReadOutcome readAccountFile(const std::string& path, std::string_view name,
                            std::string_view password, LoadedAccount& out);
// The same over an open file positioned anywhere (used by the fuzzer).
ReadOutcome readAccountFile(SdrFile& file, std::string_view name, std::string_view password,
                            LoadedAccount& out);

// The format of an account file, from its header alone; none when the file cannot be read
// or its header is not one of an account file.
std::optional<AccountProtection> readAccountProtection(const std::string& path);
std::optional<AccountProtection> readAccountProtection(SdrFile& file);

// The partial readers: false with an empty text on any failure. In the strong format both
// descriptions are stored in clear, so readPasswordDescription checks only that a name was
// typed (the name is part of the key and cannot be checked without the password);
// checkAccountCredentials reads the whole file as a login would (key check, tag, entries).
bool readAccountDescription(const std::string& path, std::string& description);
bool readAccountDescription(SdrFile& file, std::string& description);
bool readPasswordDescription(const std::string& path, std::string_view name,
                             std::string& description);
bool readPasswordDescription(SdrFile& file, std::string_view name, std::string& description);
bool checkAccountCredentials(const std::string& path, std::string_view name,
                             std::string_view password, std::string& passwordDescription);
bool checkAccountCredentials(SdrFile& file, std::string_view name, std::string_view password,
                             std::string& passwordDescription);

} // namespace kh
