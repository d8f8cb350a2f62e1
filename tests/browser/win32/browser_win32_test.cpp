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

// A block in the program's own image: data of the program, not a block of its sender.
alignas(16) std::uint8_t imageBlock[kBlockSize];

DWORD protectionAt(const void* address) {
    MEMORY_BASIC_INFORMATION info{};
    VirtualQuery(address, &info, sizeof info);
    return info.Protect;
}

// A request placed in every kind of memory this process can make: only committed private
// read-write memory is read or written, every other block stays exactly as it was, and no
// page changes its protection.
TEST(RequestServerWin32, TouchesOnlyCommittedPrivateReadWriteMemory) {
    test::FakeLoginStore store({test::link("alice@example.com", "https://example.com/", "pw")});
    AlwaysLoggedIn host;
    WindowsProcessMemory memory;
    RequestServer server(store, host, memory);
    RequestBlock request;
    putFieldText(request, kUserNameField, "alice");
    putFieldText(request, kAddressField, "https://example.com/login");

    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    const std::size_t page = system.dwPageSize;
    const auto pages = [page](std::size_t count, DWORD type = MEM_COMMIT | MEM_RESERVE) {
        return static_cast<std::uint8_t*>(
            VirtualAlloc(nullptr, count * page, type, PAGE_READWRITE));
    };
    HANDLE mapping =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, DWORD(page), nullptr);
    ASSERT_TRUE(mapping);
    auto* view = static_cast<std::uint8_t*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, page));
    auto heap = std::make_unique<RequestBlock>();
    std::uint8_t* twoPages = pages(2);

    struct Place {
        const char* what;
        std::uint8_t* block;
        DWORD protection; // given after the request is in place; 0: as allocated
        bool allowed;
        std::uint8_t* protect = nullptr; // the page to protect, when not the block's
    };
    const Place places[] = {
        {"a heap block", heap->data(), 0, true},
        {"a page of its own", pages(1), 0, true},
        {"a read-only page", pages(1), PAGE_READONLY, false},
        {"a guard page", pages(1), PAGE_READWRITE | PAGE_GUARD, false},
        {"an executable page", pages(1), PAGE_EXECUTE_READWRITE, false},
        {"a block running into a read-only page", twoPages + page - 100, PAGE_READONLY, false,
         twoPages + page},
        {"a mapped view", view, 0, false},
        {"the program's image", imageBlock, 0, false},
        {"reserved, not committed", pages(1, MEM_RESERVE), 0, false},
    };
    for (const Place& p : places) {
        SCOPED_TRACE(p.what);
        ASSERT_TRUE(p.block);
        const bool committed = std::string_view(p.what) != "reserved, not committed";
        if (committed) std::memcpy(p.block, request.data(), kBlockSize);
        DWORD old = 0;
        if (p.protection != 0)
            ASSERT_TRUE(VirtualProtect(p.protect ? p.protect : p.block, page, p.protection, &old));
        const DWORD before = protectionAt(p.protect ? p.protect : p.block);

        const std::intptr_t result =
            server.serve(0x1621, GetCurrentProcessId(), reinterpret_cast<std::uintptr_t>(p.block));
        EXPECT_EQ(result, p.allowed ? 1 : 0);
        EXPECT_EQ(protectionAt(p.protect ? p.protect : p.block), before);
        if (!committed) continue;
        if (p.protection != 0)
            ASSERT_TRUE(
                VirtualProtect(p.protect ? p.protect : p.block, page, PAGE_READWRITE, &old));
        RequestBlock after;
        std::memcpy(after.data(), p.block, kBlockSize);
        if (p.allowed) {
            EXPECT_EQ(fieldText(after, kPasswordField), "pw");
            EXPECT_EQ(completionCode(after), 0x1621u);
        } else {
            EXPECT_EQ(std::memcmp(after.data(), request.data(), kBlockSize), 0);
        }
    }
    UnmapViewOfFile(view);
    CloseHandle(mapping);
}

} // namespace
} // namespace kh::browser
