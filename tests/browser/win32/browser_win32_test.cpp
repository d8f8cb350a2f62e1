// The Windows half against the real system: the menu-extension key in the registry and the
// memory of a running process.
#include "browser_win32.h"
#include "fake_login_store.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

namespace kh::browser {
namespace {

// HKCU\...\MenuExt\name, when it exists.
struct OpenedEntry {
    HKEY key = nullptr;
    explicit OpenedEntry(const std::string& name) {
        const std::string path = std::string(kMenuExtKey) + "\\" + name;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            key = nullptr;
    }
    ~OpenedEntry() {
        if (key) RegCloseKey(key);
    }
};

bool entryExists(const std::string& name) {
    return OpenedEntry(name).key != nullptr;
}

TEST(MenuRegistryWin32, EntriesAreWrittenReadBackAndRemoved) {
    // Captions of this test only, so that nothing of a real installation is touched.
    const MenuCaptions captions{"KH test Get", "KH test Gen\\erate", "KH test Save"};
    const std::string folder = "C:\\Program Files\\Keyhaven\\";
    removeMenuEntries(captions);

    registerMenuEntries(folder, captions, false);
    EXPECT_FALSE(entryExists("KH test Get")) << "WithIE off registers nothing";

    registerMenuEntries(folder, captions, true);
    const std::pair<std::string, std::string> expected[] = {
        {"KH test Get", folder + "KHGet.htm"},
        {"KH test Gen/erate", folder + "KHGen.htm"},
        {"KH test Save", folder + "KHSave.htm"},
    };
    for (const auto& [name, page] : expected) {
        OpenedEntry entry(name);
        ASSERT_TRUE(entry.key) << name;
        char value[MAX_PATH] = {};
        DWORD type = 0, size = sizeof value;
        ASSERT_EQ(RegQueryValueExA(entry.key, nullptr, nullptr, &type,
                                   reinterpret_cast<BYTE*>(value), &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(std::string(value, strnlen(value, size)), page);
        // (Whether the size counted the terminating zero cannot be seen from here: the
        // registry under Wine adds one to a string stored without it.)

        DWORD contexts = 0;
        size = sizeof contexts;
        ASSERT_EQ(RegQueryValueExA(entry.key, "Contexts", nullptr, &type,
                                   reinterpret_cast<BYTE*>(&contexts), &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(contexts, 4u);
    }
    EXPECT_FALSE(entryExists("KH test Gen")) << "a \\ in a caption must not nest keys";

    removeMenuEntries(captions);
    for (const auto& [name, page] : expected)
        EXPECT_FALSE(entryExists(name)) << name;
    HKEY menuExt = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kMenuExtKey, 0, KEY_READ, &menuExt), ERROR_SUCCESS)
        << "the menu-extension key itself stays";
    RegCloseKey(menuExt);
}

TEST(ProcessMemoryWin32, ReadsAndWritesExactlyOneBlockOfARunningProcess) {
    WindowsProcessMemory memory;
    std::unique_ptr<BridgeProcess> process = memory.open(GetCurrentProcessId());
    ASSERT_TRUE(process);

    RequestBlock source;
    for (std::size_t i = 0; i < kBlockSize; ++i)
        source[i] = static_cast<std::uint8_t>(i * 7);
    RequestBlock copy;
    const auto address = reinterpret_cast<std::uintptr_t>(source.data());
    EXPECT_EQ(process->read(address, std::span(copy.data(), kBlockSize)), kBlockSize);
    EXPECT_EQ(std::memcmp(copy.data(), source.data(), kBlockSize), 0);

    copy[0] = 0xAB;
    EXPECT_EQ(process->write(address, std::span<const std::uint8_t>(copy.data(), kBlockSize)),
              kBlockSize);
    EXPECT_EQ(source[0], 0xAB);

    // Memory that is not there is a failed read, not a crash.
    EXPECT_EQ(process->read(1, std::span(copy.data(), kBlockSize)), 0u);
}

TEST(ProcessMemoryWin32, AProcessThatDoesNotExistIsNotOpened) {
    WindowsProcessMemory memory;
    EXPECT_FALSE(memory.open(0xFFFFFFF0u));
}

class AlwaysLoggedIn : public RequestHost {
  public:
    bool isLoggedIn() override { return true; }
    bool ensureLoggedIn() override { return true; }
    void endRequest() override { ++ended; }
    int ended = 0;
};

TEST(RequestServerWin32, ServesABlockInTheBridgesMemory) {
    test::FakeLoginStore store({test::link("alice@example.com", "https://example.com/", "pw")});
    AlwaysLoggedIn host;
    WindowsProcessMemory memory;
    RequestServer server(store, host, memory);

    RequestBlock block;
    putFieldText(block, kUserNameField, "alice");
    putFieldText(block, kAddressField, "https://example.com/login");
    EXPECT_EQ(
        server.serve(0x1621, GetCurrentProcessId(), reinterpret_cast<std::uintptr_t>(block.data())),
        1);
    EXPECT_EQ(fieldText(block, kUserNameField), "alice@example.com");
    EXPECT_EQ(fieldText(block, kPasswordField), "pw");
    EXPECT_EQ(completionCode(block), 0x1621u);
    EXPECT_EQ(host.ended, 1);
}

} // namespace
} // namespace kh::browser
