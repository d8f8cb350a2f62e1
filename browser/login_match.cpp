#include "login_match.h"

#include "account_file.h"
#include "text_trim.h"

namespace kh::browser {
namespace {

constexpr std::string_view kSchemeMark = "://";

std::string_view skipLeadingBlanks(std::string_view text) {
    while (!text.empty() && text.front() != '\0' && isBlankOrControl(text.front()))
        text.remove_prefix(1);
    return text;
}

char foldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isSiteBoundary(char c) {
    return c == '/' || c == ':' || c == '?' || c == '#';
}

// A Description "begins with" a site form only where the form ends at the end of a host
// (or port): otherwise a page on "bank.co" would be handed the login of "bank.com". An
// empty form (an address such as "/x" or "file:///x") matches nothing, not every entry.
bool beginsWithSite(std::string_view description, std::string_view form) {
    if (form.empty() || !startsWithNoCase(description, form)) return false;
    return description.size() == form.size() || isSiteBoundary(description[form.size()]);
}

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isSchemeChar(char c) {
    return isLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// Whether an address names a site: a scheme, "://" and a host name. Only such an address
// is matched by its site or host; "https:" or "example.com/x" would otherwise begin, or be
// the host of, the stored logins of every site of that scheme or of that name.
bool namesSite(std::string_view address) {
    const std::string_view u = skipLeadingBlanks(address);
    const std::size_t mark = u.find(kSchemeMark);
    if (mark == std::string_view::npos || mark == 0 || !isLetter(u.front())) return false;
    for (std::size_t i = 0; i < mark; ++i)
        if (!isSchemeChar(u[i])) return false;
    const std::string_view host = hostPart(address);
    // A port, query or fragment right after the mark has no host name before it.
    return !host.empty() && !isSiteBoundary(host.front());
}

// A row that can answer a request: it has a record with a secret, is not deleted, and
// has a Description.
struct Candidate {
    StoredRow row;
    std::string_view description; // trimmed
};

std::optional<Candidate> qualifying(const LoginStore& store, std::size_t index) {
    std::optional<StoredRow> row = store.row(index);
    if (!row || row->data.empty() || row->fileOffset == kOffsetDeleted) return std::nullopt;
    const std::string_view description = trimBlanks(row->description);
    if (description.empty()) return std::nullopt;
    return Candidate{*row, description};
}

// The walk shared by GetByTitle and FindByPage; `userName` absent means no title test.
std::optional<FoundLogin> findLogin(LoginStore& store, std::optional<std::string_view> userName,
                                    std::string_view address) {
    const bool bySite = namesSite(address);
    const std::string_view site = sitePrefix(address);
    const std::string_view host = hostPart(address);
    std::optional<FoundLogin> found;
    const std::size_t count = store.rowCount();
    for (std::size_t i = 0; i < count; ++i) {
        const std::optional<Candidate> c = qualifying(store, i);
        if (!c) continue;
        const std::string_view title = c->row.title;
        if (userName) {
            const std::string_view n = *userName;
            // Once a candidate is held, only an exact title may replace it.
            const bool titleFits =
                title == n || (!found && (equalsNoCase(title, n) ||
                                          (n.size() < title.size() && startsWithNoCase(title, n))));
            if (!titleFits) continue;
        }
        const bool isLink = c->row.type == kEntryLink;
        bool take = false;
        if (equalsNoCase(c->description, address))
            take = !found || isLink;
        else
            take = bySite && !found && isLink &&
                   (beginsWithSite(c->description, site) || beginsWithSite(c->description, host));
        if (take) found = FoundLogin{std::string(title), SecretString(c->row.data)};
    }
    return found;
}

} // namespace

std::string_view sitePrefix(std::string_view address) {
    const std::string_view u = skipLeadingBlanks(address);
    const std::size_t scheme = u.find(kSchemeMark);
    const std::size_t slash =
        scheme == std::string_view::npos ? u.find('/') : u.find('/', scheme + kSchemeMark.size());
    return u.substr(0, slash);
}

std::string_view hostPart(std::string_view address) {
    std::string_view site = sitePrefix(address);
    const std::size_t scheme = site.find(kSchemeMark);
    if (scheme == std::string_view::npos) return site;
    return skipLeadingBlanks(site.substr(scheme + kSchemeMark.size()));
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && startsWithNoCase(a, b);
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (prefix.size() > text.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (foldAscii(text[i]) != foldAscii(prefix[i])) return false;
    return true;
}

std::optional<FoundLogin> findPasswordByTitle(LoginStore& store, std::string_view userName,
                                              std::string_view address) {
    if (!store.isLoggedIn() || address.empty() || userName.empty() || store.rowCount() == 0)
        return std::nullopt;
    return findLogin(store, userName, address);
}

std::optional<FoundLogin> findLoginByAddress(LoginStore& store, std::string_view address) {
    if (!store.isLoggedIn() || address.empty() || store.rowCount() == 0) return std::nullopt;
    std::optional<FoundLogin> found = findLogin(store, std::nullopt, address);
    if (found && found->userName.empty()) return std::nullopt;
    return found;
}

std::optional<std::size_t> findExactLogin(LoginStore& store, std::string_view userName,
                                          std::string_view address) {
    if (!store.isLoggedIn() || userName.empty() || address.empty()) return std::nullopt;
    const std::size_t count = store.rowCount();
    for (std::size_t i = 0; i < count; ++i) {
        const std::optional<Candidate> c = qualifying(store, i);
        if (c && c->row.type == kEntryLink && c->row.title == userName &&
            equalsNoCase(c->description, address))
            return i;
    }
    return std::nullopt;
}

bool storeLogin(LoginStore& store, std::string_view userName, std::string_view password,
                std::string_view address) {
    if (!store.isLoggedIn() || userName.empty() || password.empty() || address.empty())
        return false;
    const std::optional<std::size_t> row = findExactLogin(store, userName, address);
    const bool changed = row ? store.replaceData(*row, password)
                             : store.addLink(userName, password, hostPart(address), address);
    // A replaced password is saved at once too: the page has told the user it is stored,
    // and an automatic logout would otherwise drop it.
    if (!changed || !store.hasFileName()) return changed;
    return store.saveNow();
}

} // namespace kh::browser
