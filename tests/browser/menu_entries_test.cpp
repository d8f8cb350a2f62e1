#include "menu_entries.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace kh::browser {
namespace {

using Journal = std::vector<std::string>;

class FakeRegistry : public MenuRegistry {
  public:
    class Key : public MenuExtKey {
      public:
        explicit Key(FakeRegistry& r) : r_(r) {}
        ~Key() override { r_.journal.push_back("close"); }
        void writeEntry(std::string_view name, std::string_view page,
                        std::uint32_t contexts) override {
            if (r_.throwOnWrite) throw std::runtime_error("registry");
            r_.journal.push_back("write " + std::string(name) + " = " + std::string(page) + " / " +
                                 std::to_string(contexts));
        }
        void deleteEntry(std::string_view name) override {
            r_.journal.push_back("delete " + std::string(name));
        }

      private:
        FakeRegistry& r_;
    };

    std::unique_ptr<MenuExtKey> openMenuExt(bool create) override {
        journal.push_back(create ? "create" : "open");
        if (!opens) return nullptr;
        return std::make_unique<Key>(*this);
    }

    bool opens = true;
    bool throwOnWrite = false;
    Journal journal;
};

const MenuCaptions kEnglish = menuCaptions(MessageTable());

TEST(MenuEntries, RegisteringWritesGetGenerateSaveAndCloses) {
    FakeRegistry registry;
    registerMenuEntries(registry, "C:\\Program Files\\Keyhaven\\", kEnglish, true);
    EXPECT_EQ(
        registry.journal,
        (Journal{"create",
                 "write Get Password From Keyhaven = C:\\Program Files\\Keyhaven\\KHGet.htm / 4",
                 "write Generate Password By Keyhaven = C:\\Program "
                 "Files\\Keyhaven\\KHGen.htm / 4",
                 "write Save Password To Keyhaven = C:\\Program Files\\Keyhaven\\KHSave.htm / 4",
                 "close"}));
}

TEST(MenuEntries, RegisteringWithTheSettingOffDoesNothing) {
    FakeRegistry registry;
    registerMenuEntries(registry, "C:\\K\\", kEnglish, false);
    EXPECT_TRUE(registry.journal.empty());
}

TEST(MenuEntries, RemovingDeletesGetSaveGenerate) {
    FakeRegistry registry;
    removeMenuEntries(registry, kEnglish);
    EXPECT_EQ(registry.journal, (Journal{"open", "delete Get Password From Keyhaven",
                                         "delete Save Password To Keyhaven",
                                         "delete Generate Password By Keyhaven", "close"}));
}

TEST(MenuEntries, FailuresAreSilentAndTheKeyIsClosed) {
    FakeRegistry registry;
    registry.throwOnWrite = true;
    EXPECT_NO_THROW(registerMenuEntries(registry, "C:\\K\\", kEnglish, true));
    EXPECT_EQ(registry.journal, (Journal{"create", "close"}));

    FakeRegistry closed;
    closed.opens = false;
    EXPECT_NO_THROW(registerMenuEntries(closed, "C:\\K\\", kEnglish, true));
    EXPECT_NO_THROW(removeMenuEntries(closed, kEnglish));
    EXPECT_EQ(closed.journal, (Journal{"create", "open"}));
}

TEST(MenuEntries, CaptionsBecomeFlatKeyNames) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"Get Password From Keyhaven", "Get Password From Keyhaven"},
        {"Passwort holen (A\\B)", "Passwort holen (A/B)"},
        {"\\\\server\\share", "//server/share"},
        {"two\nlines\t", "two lines"},
        {" \t ", ""},
        {"", ""},
    };
    for (auto [caption, name] : cases)
        EXPECT_EQ(menuKeyName(caption), name) << caption;

    // A caption with nothing usable left is neither written nor removed: an empty sub-key
    // name would address the menu-extension key itself.
    FakeRegistry registry;
    const MenuCaptions odd{"a\\b", " ", "Save"};
    registerMenuEntries(registry, "C:\\K\\", odd, true);
    removeMenuEntries(registry, odd);
    EXPECT_EQ(registry.journal, (Journal{"create", "write a/b = C:\\K\\KHGet.htm / 4",
                                         "write Save = C:\\K\\KHSave.htm / 4", "close", "open",
                                         "delete a/b", "delete Save", "close"}));
}

} // namespace
} // namespace kh::browser
