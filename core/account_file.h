// The encrypted account file (.khk): key derivation, the whole-account writer and reader,
// and the three partial readers used before an account is open. The byte layout is
// documented in docs/account-file.md.
#pragma once

#include "file_system.h"
#include "sdr_file.h"
#include "secure_memory.h"

#include <cstdint>
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

// The decrypted texts of an account are private too: they wipe themselves when they go
// (also when a vector moves them), so no released memory keeps a copy.
struct Account {
    std::string name;
    SecretString password;
    std::string accountDescription;
    std::string passwordDescription;

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
    NotOpened,        // no readable regular file at the path
    WrongCredentials, // the name or the password does not open it (the parts they protect
                      // cannot be told from damage)
    Damaged,          // no account file, or its header is damaged
};

struct LoadedAccount {
    Account account;
    std::vector<AccountEntry> entries;
    int droppedRecords = 0; // records dropped for a CRC mismatch
};

// The 16-byte key for an account name and a secret text; false (output untouched) when
// either is empty.
bool deriveKey(std::string_view name, std::string_view secret, std::uint8_t* out16);

// Writes the whole account: entries marked deleted are left out, the others are stored in
// list order. The file is built beside the old one and replaces it only when complete, so
// NotOpened and Failed both leave any previous file as it was; only Saved updates the
// entries' file offsets. A path that is a symbolic link saves the file it leads to and
// keeps the link. Another process saving the same file at that moment makes it NotOpened.
SaveOutcome writeAccountFile(const std::string& path, const Account& account,
                             std::span<AccountEntry> entries, FileSystem& fs = nativeFileSystem());

// Reads and verifies a whole account with the name and password as typed. Damaged entry
// records are dropped and counted, not fatal.
ReadOutcome readAccountFile(const std::string& path, std::string_view name,
                            std::string_view password, LoadedAccount& out);
// The same over an open file positioned anywhere (used by the fuzzer).
ReadOutcome readAccountFile(SdrFile& file, std::string_view name, std::string_view password,
                            LoadedAccount& out);

// The partial readers: false with an empty text on any failure.
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
