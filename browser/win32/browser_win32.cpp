#include "browser_win32.h"

#include <windows.h>

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

class WindowsBridgeProcess : public BridgeProcess {
  public:
    explicit WindowsBridgeProcess(HANDLE process) : process_(process) {}

    std::size_t read(std::uintptr_t address, std::span<std::uint8_t> into) override {
        SIZE_T done = 0;
        if (!ReadProcessMemory(process_.get(), reinterpret_cast<LPCVOID>(address), into.data(),
                               into.size(), &done))
            return 0;
        return done;
    }

    std::size_t write(std::uintptr_t address, std::span<const std::uint8_t> from) override {
        SIZE_T done = 0;
        if (!WriteProcessMemory(process_.get(), reinterpret_cast<LPVOID>(address), from.data(),
                                from.size(), &done))
            return 0;
        return done;
    }

  private:
    Handle process_;
};

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
    return std::make_unique<WindowsBridgeProcess>(process);
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
