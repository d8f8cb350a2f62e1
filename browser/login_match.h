// Stored logins are Link entries: title = user name, Description = page address, secret =
// password. These are the searches and the store behind the browser requests, written
// against a small view of the entry list so that the program plugs in its real list.
#pragma once

#include "secure_memory.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kh::browser {

// The two derived forms of a page address. For "https://host/path" the site prefix is
// "https://host" and the host part is "host". Both are views into `address`.
std::string_view sitePrefix(std::string_view address);
std::string_view hostPart(std::string_view address);

// Letter case of A to Z only: the page addresses and titles of the requests are compared
// the same way whatever the system's code page.
bool equalsNoCase(std::string_view a, std::string_view b);
bool startsWithNoCase(std::string_view text, std::string_view prefix);

// One lvPassword row as the searches see it. The views stay valid until the list changes.
struct StoredRow {
    std::string_view title;
    std::string_view description; // the Details text, as shown
    std::int32_t type = 0;
    std::int64_t fileOffset = 0;
    std::string_view data; // the secret
};

// The entry list and session, as far as the browser requests need them.
class LoginStore {
  public:
    virtual ~LoginStore() = default;
    // Also counts as user activity: every request calls it.
    virtual bool isLoggedIn() = 0;
    virtual std::size_t rowCount() const = 0;
    // Row `index` of lvPassword in list order; nothing for a row without a record.
    virtual std::optional<StoredRow> row(std::size_t index) const = 0;
    // Replaces the entry's secret: the row shows as changed and the account as modified.
    virtual bool replaceData(std::size_t index, std::string_view data) = 0;
    // Adds a new, unsaved Link entry.
    virtual bool addLink(std::string_view title, std::string_view data, std::string_view whatsThis,
                         std::string_view description) = 0;
    // Whether the account has a file to save to.
    virtual bool hasFileName() const = 0;
    // Saves the account at once (no logout, the file remembered as the last account).
    virtual bool saveNow() = 0;
};

struct FoundLogin {
    std::string userName;
    SecretString password;
};

// An address is matched by its site or host only when it has a scheme, "://" and a host
// name; any other address matches only a Description equal to it.
//
// GetByTitle: the password for user name N on page U. The user name of the result is the
// title of the entry taken, which may complete or correct N.
std::optional<FoundLogin> findPasswordByTitle(LoginStore& store, std::string_view userName,
                                              std::string_view address);
// FindByPage: any login stored for page U.
std::optional<FoundLogin> findLoginByAddress(LoginStore& store, std::string_view address);
// SaveLogin and CheckLogin: the row of the Link entry with exactly this title and this
// address.
std::optional<std::size_t> findExactLogin(LoginStore& store, std::string_view userName,
                                          std::string_view address);
// SaveLogin: replaces the password of the exact login or adds a Link entry, then saves the
// account at once when it has a file. The result of the save when one was made.
bool storeLogin(LoginStore& store, std::string_view userName, std::string_view password,
                std::string_view address);

} // namespace kh::browser
