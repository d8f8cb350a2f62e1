#include "fake_login_store.h"
#include "login_match.h"

#include <gtest/gtest.h>

namespace kh::browser {
namespace {

using test::FakeLoginStore;
using test::FakeRow;
using test::link;
using test::password;

TEST(AddressForms, SitePrefixAndHostPart) {
    struct Case {
        std::string_view address, site, host;
    };
    const Case cases[] = {
        {"https://example.com/login", "https://example.com", "example.com"},
        {"https://example.com", "https://example.com", "example.com"},
        {" \t\x01http://a.example/x/y", "http://a.example", "a.example"},
        {"https://\x01 example.com:8443/x", "https://\x01 example.com:8443", "example.com:8443"},
        {"example.com/x/y", "example.com", "example.com"},
        {"example.com", "example.com", "example.com"},
        {"a/b://c/d", "a/b://c", "c"},
        {"/relative", "", ""},
        {"file:///C:/x.htm", "file://", ""},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sitePrefix(c.address), c.site) << c.address;
        EXPECT_EQ(hostPart(c.address), c.host) << c.address;
    }
}

TEST(AddressForms, CaseIsIgnoredForAToZOnly) {
    EXPECT_TRUE(equalsNoCase("HTTP://Example.COM", "http://example.com"));
    EXPECT_FALSE(equalsNoCase("\xC4", "\xE4")); // Windows-1252 A and a with diaeresis
    EXPECT_FALSE(equalsNoCase("[", "{"));       // 0x5B and 0x7B differ by the case bit
    EXPECT_TRUE(startsWithNoCase("Alice@Example", "ALICE"));
    EXPECT_FALSE(startsWithNoCase("al", "alice"));
}

struct FindCase {
    std::string_view what;
    std::vector<FakeRow> rows;
    std::string_view user;
    std::string_view address;
    std::optional<std::pair<std::string_view, std::string_view>> expected; // title, password
};

TEST(FindPasswordByTitle, Cases) {
    const std::string page = "https://example.com/login";
    FakeRow deleted = link("bob", page, "gone");
    deleted.fileOffset = kOffsetDeleted;
    FakeRow noRecord = link("bob", page, "none");
    noRecord.hasRecord = false;

    const FindCase cases[] = {
        {"user name is the start of a longer title; same site, other path",
         {link("alice@example.com", "https://example.com/login", "pw1")},
         "alice",
         "https://example.com/account/settings",
         {{"alice@example.com", "pw1"}}},
        {"Password then Link with the exact title and address: the Link wins",
         {password("bob", page, "fromPassword"), link("bob", page, "fromLink")},
         "bob",
         page,
         {{"bob", "fromLink"}}},
        {"a later Password row never replaces",
         {password("bob", page, "first"), password("bob", page, "second")},
         "bob",
         page,
         {{"bob", "first"}}},
        {"Link with a bare host matches any scheme and path on that host",
         {link("carol", "example.com", "pw")},
         "carol",
         "ftp://EXAMPLE.com/any/path?q=1",
         {{"carol", "pw"}}},
        {"a Password entry with a bare host does not",
         {password("carol", "example.com", "pw")},
         "carol",
         "https://example.com/x",
         std::nullopt},
        {"title differing in case is taken and corrects the user name",
         {link("Alice", page, "pw")},
         "alice",
         page,
         {{"Alice", "pw"}}},
        {"a title shorter than the user name does not fit",
         {link("al", page, "pw")},
         "alice",
         page,
         std::nullopt},
        {"a later exact-title Link with the exact address replaces a prefix candidate",
         {link("bob2", "https://example.com/", "prefix"), link("bob", page, "exact")},
         "bob",
         page,
         {{"bob", "exact"}}},
        {"a later exact-title Link on the same site only does not",
         {link("bob2", "https://example.com/", "first"),
          link("bob", "https://example.com/", "second")},
         "bob",
         page,
         {{"bob2", "first"}}},
        {"once a candidate is held, a case-different title cannot replace it",
         {link("bob", "https://example.com/", "held"), link("BOB", page, "other")},
         "bob",
         page,
         {{"bob", "held"}}},
        {"deleted rows, rows without a record or secret, and empty Descriptions never match",
         {deleted, noRecord, link("bob", page, ""), link("bob", " \t ", "blank")},
         "bob",
         page,
         std::nullopt},
        {"the Description is compared trimmed",
         {password("bob", "  https://EXAMPLE.com/login \t", "pw")},
         "bob",
         page,
         {{"bob", "pw"}}},
        {"letters beyond A to Z keep their case",
         {link("\xC4rger", page, "pw")},
         "\xE4rger",
         page,
         std::nullopt},
        {"a site that only begins like the stored one does not match",
         {link("bob", "https://bank.com/login", "pw")},
         "bob",
         "https://bank.co/login",
         std::nullopt},
        {"a host that only begins like the stored one does not match",
         {link("bob", "bank.com", "pw")},
         "bob",
         "http://bank.co",
         std::nullopt},
        {"an address without a host matches no site",
         {link("bob", "http://example.com/", "pw")},
         "bob",
         "http:///login",
         std::nullopt},
        {"a stored port is the end of the host",
         {link("bob", "https://example.com:8443/login", "pw")},
         "bob",
         "https://example.com",
         {{"bob", "pw"}}},
    };
    for (const FindCase& c : cases) {
        FakeLoginStore store(c.rows);
        const std::optional<FoundLogin> found = findPasswordByTitle(store, c.user, c.address);
        ASSERT_EQ(found.has_value(), c.expected.has_value()) << c.what;
        if (found) {
            EXPECT_EQ(found->userName, c.expected->first) << c.what;
            EXPECT_EQ(found->password, c.expected->second) << c.what;
        }
    }
}

TEST(FindPasswordByTitle, GivesUpWithoutLoginInputsOrRows) {
    const std::string page = "https://example.com/";
    FakeLoginStore store({link("bob", page, "pw")});
    EXPECT_TRUE(findPasswordByTitle(store, "bob", page));
    EXPECT_FALSE(findPasswordByTitle(store, "", page));
    EXPECT_FALSE(findPasswordByTitle(store, "bob", ""));
    store.loggedIn = false;
    EXPECT_FALSE(findPasswordByTitle(store, "bob", page));
    // Each request asked the session, which is what counts it as user activity.
    EXPECT_EQ(store.loggedInCalls, 4);
    FakeLoginStore empty;
    EXPECT_FALSE(findPasswordByTitle(empty, "bob", page));
}

TEST(FindLoginByAddress, Cases) {
    const std::string page = "https://example.com/login";
    const FindCase cases[] = {
        {"any title; a Link with the exact address replaces a Password row",
         {password("first", page, "p1"), link("second", page, "p2")},
         "",
         page,
         {{"second", "p2"}}},
        {"without a title test every later exact Link replaces",
         {link("first", page, "p1"), link("second", page, "p2")},
         "",
         page,
         {{"second", "p2"}}},
        {"site matches count only while nothing is held",
         {link("first", "https://example.com/", "p1"), link("second", "example.com", "p2")},
         "",
         page,
         {{"first", "p1"}}},
        {"a Password entry on the same site is no login",
         {password("first", "https://example.com/", "p1")},
         "",
         page,
         std::nullopt},
        {"another site", {link("first", "https://other.example/", "p1")}, "", page, std::nullopt},
    };
    for (const FindCase& c : cases) {
        FakeLoginStore store(c.rows);
        const std::optional<FoundLogin> found = findLoginByAddress(store, c.address);
        ASSERT_EQ(found.has_value(), c.expected.has_value()) << c.what;
        if (found) {
            EXPECT_EQ(found->userName, c.expected->first) << c.what;
            EXPECT_EQ(found->password, c.expected->second) << c.what;
        }
    }
    FakeLoginStore store({link("bob", page, "pw")});
    store.loggedIn = false;
    EXPECT_FALSE(findLoginByAddress(store, page));
}

// An address without a scheme and host ("https:", a bare "https") began every stored
// address of its scheme and was handed the first login of any site.
TEST(AddressMatching, OnlyAnAddressWithSchemeAndHostMatchesBySiteOrHost) {
    const std::vector<FakeRow> rows = {
        link("bob", "https://example.com/login", "p1"),
        link("carol", "http://other.example/", "p2"),
        link("dave", "example.com", "p3"),
        link("erin", "https:", "p4"),
    };
    struct Case {
        std::string_view address;
        std::string_view user;                 // for GetByTitle
        std::optional<std::string_view> found; // the title both requests answer with
    };
    const Case cases[] = {
        {"https", "bob", std::nullopt},
        {"http", "carol", std::nullopt},
        {"https:/", "bob", std::nullopt},
        {"https://", "bob", std::nullopt},
        {"https:///login", "bob", std::nullopt},
        {"https://:443/login", "bob", std::nullopt},
        {"https://?q=example.com", "bob", std::nullopt},
        {"://example.com/login", "bob", std::nullopt},
        {"1https://example.com/login", "dave", std::nullopt},
        {"ht tp://example.com/login", "dave", std::nullopt},
        {"example.com/login", "dave", std::nullopt},
        {" example.com/other", "dave", std::nullopt},
        // Identical addresses still match, with or without a host.
        {"https:", "erin", "erin"},
        {"example.com", "dave", "dave"},
        // And every address with a scheme and host matches as before.
        {"HTTPS://EXAMPLE.COM/other", "bob", "bob"},
        {" \thttps://example.com", "bob", "bob"},
        {"ftp://example.com/x", "dave", "dave"},
        {"git+ssh://user@other.example", "carol", std::nullopt},
        {"http://other.example/x", "carol", "carol"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        FakeLoginStore store(rows);
        const std::optional<FoundLogin> byPage = findLoginByAddress(store, c.address);
        const std::optional<FoundLogin> byTitle = findPasswordByTitle(store, c.user, c.address);
        ASSERT_EQ(byPage.has_value(), c.found.has_value());
        ASSERT_EQ(byTitle.has_value(), c.found.has_value());
        if (c.found) {
            EXPECT_EQ(byPage->userName, *c.found);
            EXPECT_EQ(byTitle->userName, *c.found);
        }
    }
}

TEST(FindExactLogin, NeedsLinkExactTitleAndAddressIgnoringCase) {
    const std::string page = "https://example.com/login";
    FakeRow deleted = link("bob", page, "old");
    deleted.fileOffset = kOffsetDeleted;
    FakeLoginStore store({
        password("bob", page, "p0"),
        link("Bob", page, "p1"),
        deleted,
        link("bob", "https://example.com/", "p3"),
        link("bob", " HTTPS://EXAMPLE.COM/LOGIN ", "p4"),
        link("bob", page, "p5"),
    });
    EXPECT_EQ(findExactLogin(store, "bob", page), 4u);
    EXPECT_EQ(findExactLogin(store, "Bob", page), 1u);
    EXPECT_FALSE(findExactLogin(store, "BOB", page));
    EXPECT_FALSE(findExactLogin(store, "bob", "https://example.com/login/"));
    EXPECT_FALSE(findExactLogin(store, "", page));
    store.loggedIn = false;
    EXPECT_FALSE(findExactLogin(store, "bob", page));
}

TEST(StoreLogin, ReplacesAnExistingLoginAndSaves) {
    const std::string page = "https://example.com/login";
    FakeLoginStore store({password("bob", page, "p0"), link("bob", page, "old")});
    EXPECT_TRUE(storeLogin(store, "bob", "new", page));
    ASSERT_EQ(store.rows.size(), 2u);
    EXPECT_EQ(store.rows[0].data, "p0");
    EXPECT_EQ(store.rows[1].data, "new");
    EXPECT_EQ(store.replaces, 1);
    EXPECT_EQ(store.saves, 1);
}

TEST(StoreLogin, AddsALinkEntryAndSavesAtOnce) {
    const std::string page = " https://example.com/login";
    FakeLoginStore store({link("bob", page, "p1")});
    EXPECT_TRUE(storeLogin(store, "alice", " pw ", page));
    ASSERT_EQ(store.rows.size(), 2u);
    const FakeRow& added = store.rows[1];
    EXPECT_EQ(added.title, "alice");
    EXPECT_EQ(added.data, " pw ");
    EXPECT_EQ(added.type, kEntryLink);
    EXPECT_EQ(added.description, page);
    EXPECT_EQ(added.fileOffset, kOffsetUnsaved);
    EXPECT_EQ(store.addedWhatsThis, "example.com");
    EXPECT_EQ(store.saves, 1);
}

TEST(StoreLogin, ResultFollowsTheSaveOrTheChange) {
    const std::string page = "https://example.com/";
    {
        FakeLoginStore store;
        store.saveSucceeds = false;
        EXPECT_FALSE(storeLogin(store, "bob", "pw", page)) << "a failed save is a failure";
        EXPECT_EQ(store.rows.size(), 1u);
    }
    {
        FakeLoginStore store;
        store.fileName = false;
        EXPECT_TRUE(storeLogin(store, "bob", "pw", page)) << "no file yet: nothing to save";
        EXPECT_EQ(store.saves, 0);
    }
    {
        FakeLoginStore store;
        store.addSucceeds = false;
        EXPECT_FALSE(storeLogin(store, "bob", "pw", page));
        EXPECT_EQ(store.saves, 0);
    }
    for (auto [user, pass, address] :
         {std::tuple{"", "pw", page.c_str()}, std::tuple{"bob", "", page.c_str()},
          std::tuple{"bob", "pw", ""}}) {
        FakeLoginStore store;
        EXPECT_FALSE(storeLogin(store, user, pass, address));
        EXPECT_TRUE(store.rows.empty());
    }
    FakeLoginStore store;
    store.loggedIn = false;
    EXPECT_FALSE(storeLogin(store, "bob", "pw", page));
    EXPECT_TRUE(store.rows.empty());
}

} // namespace
} // namespace kh::browser
