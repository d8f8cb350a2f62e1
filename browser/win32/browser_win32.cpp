#include "browser_win32.h"

#include <windows.h>

#include <optional>
#include <vector>

namespace kh::browser {
namespace {

class Handle {
  public:
    explicit Handle(HANDLE h) : h_(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (h_) CloseHandle(h_);
    }
    HANDLE get() const { return h_; }

  private:
    HANDLE h_;
};

// The pages around `address` in `process`, as the system tells them.
std::optional<MemoryRegion> regionAt(HANDLE process, std::uintptr_t address) {
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQueryEx(process, reinterpret_cast<LPCVOID>(address), &info, sizeof info) !=
        sizeof info)
        return std::nullopt;
    MemoryRegion region;
    region.base = reinterpret_cast<std::uintptr_t>(info.BaseAddress);
    region.size = info.RegionSize;
    region.committed = info.State == MEM_COMMIT;
    region.privateMemory = info.Type == MEM_PRIVATE;
    region.protection = info.Protect;
    return region;
}

// NtWriteVirtualMemory writes into pages as they are. WriteProcessMemory first makes the
// pages writable, which would need PROCESS_VM_OPERATION and could write into a page that
// its owner made read-only.
using WriteVirtualMemory = LONG(NTAPI*)(HANDLE, PVOID, const void*, SIZE_T, SIZE_T*);

WriteVirtualMemory writeVirtualMemory() {
    static const WriteVirtualMemory function = [] {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        void* found = ntdll ? reinterpret_cast<void*>(GetProcAddress(ntdll, "NtWriteVirtualMemory"))
                            : nullptr;
        return reinterpret_cast<WriteVirtualMemory>(found);
    }();
    return function;
}

class WindowsBridgeProcess : public BridgeProcess {
  public:
    explicit WindowsBridgeProcess(HANDLE process) : process_(process) {}

    // The pages are asked for before every transfer: a block that was fine for the read
    // may have been unmapped or protected by the time of the write.
    std::size_t read(std::uintptr_t address, std::span<std::uint8_t> into) override {
        if (!blockAllowed(address, into.size())) return 0;
        SIZE_T done = 0;
        if (!ReadProcessMemory(process_.get(), reinterpret_cast<LPCVOID>(address), into.data(),
                               into.size(), &done))
            return 0;
        return done;
    }

    std::size_t write(std::uintptr_t address, std::span<const std::uint8_t> from) override {
        const WriteVirtualMemory write = writeVirtualMemory();
        if (write == nullptr || !blockAllowed(address, from.size())) return 0;
        SIZE_T done = 0;
        if (write(process_.get(), reinterpret_cast<PVOID>(address), from.data(), from.size(),
                  &done) < 0)
            return 0;
        return done;
    }

  private:
    bool blockAllowed(std::uintptr_t address, std::size_t size) const {
        const std::optional<MemoryRegion> region = regionAt(process_.get(), address);
        return region && mayTouchBlock(*region, address, size);
    }

    Handle process_;
};

// The TOKEN_USER of a process's token; empty when it cannot be read.
std::vector<std::uint8_t> tokenUser(HANDLE process) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return {};
    Handle owned(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<std::uint8_t> user(size);
    if (size == 0 || !GetTokenInformation(token, TokenUser, user.data(), size, &size)) return {};
    return user;
}

// Whether `process` runs as the user this program runs as: a program of another user (or
// a service) is no bridge of this user's vault.
bool runsAsThisUser(HANDLE process) {
    const std::vector<std::uint8_t> theirs = tokenUser(process);
    const std::vector<std::uint8_t> ours = tokenUser(GetCurrentProcess());
    if (theirs.empty() || ours.empty()) return false;
    return EqualSid(reinterpret_cast<const TOKEN_USER*>(theirs.data())->User.Sid,
                    reinterpret_cast<const TOKEN_USER*>(ours.data())->User.Sid) != FALSE;
}

class Key {
  public:
    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (h_) RegCloseKey(h_);
    }
    HKEY* out() { return &h_; }
    HKEY get() const { return h_; }

  private:
    HKEY h_ = nullptr;
};

class WindowsMenuExtKey : public MenuExtKey {
  public:
    WindowsMenuExtKey() = default;
    HKEY* out() { return key_.out(); }

    void writeEntry(std::string_view keyName, std::string_view page,
                    std::uint32_t contexts) override {
        const std::string name(keyName);
        Key entry;
        if (RegCreateKeyExA(key_.get(), name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_SET_VALUE, nullptr, entry.out(), nullptr) != ERROR_SUCCESS)
            return;
        // The size leaves the terminating zero out, as the browser has always found it.
        const std::string value(page);
        RegSetValueExA(entry.get(), nullptr, 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size()));
        const DWORD dword = contexts;
        RegSetValueExA(entry.get(), "Contexts", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dword),
                       sizeof dword);
    }

    void deleteEntry(std::string_view keyName) override {
        const std::string name(keyName);
        RegDeleteKeyA(key_.get(), name.c_str());
    }

  private:
    Key key_;
};

} // namespace

std::unique_ptr<BridgeProcess> WindowsProcessMemory::open(std::uint32_t processId) {
    HANDLE process = OpenProcess(kProcessMemoryAccess, FALSE, processId);
    if (process == nullptr) return nullptr;
    auto bridge = std::make_unique<WindowsBridgeProcess>(process);
    if (!runsAsThisUser(process)) return nullptr;
    return bridge;
}

std::unique_ptr<MenuExtKey> WindowsMenuRegistry::openMenuExt(bool create) {
    auto key = std::make_unique<WindowsMenuExtKey>();
    const LONG rc =
        create
            ? RegCreateKeyExA(HKEY_CURRENT_USER, kMenuExtKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_CREATE_SUB_KEY | KEY_SET_VALUE, nullptr, key->out(), nullptr)
            : RegOpenKeyExA(HKEY_CURRENT_USER, kMenuExtKey, 0,
                            KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS | DELETE, key->out());
    if (rc != ERROR_SUCCESS) return nullptr;
    return key;
}

void registerMenuEntries(const std::string& programFolder, const MenuCaptions& captions,
                         bool withIE) {
    WindowsMenuRegistry registry;
    registerMenuEntries(registry, programFolder, captions, withIE);
}

void removeMenuEntries(const MenuCaptions& captions) {
    WindowsMenuRegistry registry;
    removeMenuEntries(registry, captions);
}

namespace {

BOOL CALLBACK matchLoginWindow(HWND window, LPARAM found) {
    if (static_cast<std::uint32_t>(GetWindowLongPtrA(window, GWLP_USERDATA)) != kLoginWindowMarker)
        return TRUE;
    char name[128] = {};
    if (GetClassNameA(window, name, sizeof name) == 0) return TRUE;
    if (std::string_view(name) != kLoginWindowClass) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

} // namespace

HWND findLoginWindow() {
    HWND found = nullptr;
    EnumWindows(matchLoginWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

} // namespace kh::browser
