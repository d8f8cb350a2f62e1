#include "win32_registry.h"

#include <windows.h>

#include <vector>

namespace kh {
namespace {

class Key {
  public:
    Key() = default;
    ~Key() {
        if (key_) RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

HKEY rootOf(Hive hive) {
    return hive == Hive::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

} // namespace

std::optional<std::string> Win32Registry::readString(Hive hive, std::string_view key,
                                                     std::string_view name) {
    Key opened;
    if (RegOpenKeyExA(rootOf(hive), std::string(key).c_str(), 0, KEY_QUERY_VALUE, opened.out()) !=
        ERROR_SUCCESS)
        return std::nullopt;
    const std::string valueName(name);
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(opened.get(), valueName.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    std::vector<char> data(size + 1u, '\0');
    if (RegQueryValueExA(opened.get(), valueName.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
        return std::nullopt;
    // A value written without its terminating zero is still read whole.
    return std::string(data.data());
}

bool Win32Registry::writeString(Hive hive, std::string_view key, std::string_view name,
                                std::string_view value, bool create) {
    Key opened;
    const std::string path(key);
    const LONG rc =
        create ? RegCreateKeyExA(rootOf(hive), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_SET_VALUE, nullptr, opened.out(), nullptr)
               : RegOpenKeyExA(rootOf(hive), path.c_str(), 0, KEY_SET_VALUE, opened.out());
    if (rc != ERROR_SUCCESS) return false;
    const std::string data(value);
    return RegSetValueExA(opened.get(), std::string(name).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
}

bool Win32Registry::deleteValue(Hive hive, std::string_view key, std::string_view name) {
    Key opened;
    const LONG rc =
        RegOpenKeyExA(rootOf(hive), std::string(key).c_str(), 0, KEY_SET_VALUE, opened.out());
    if (rc == ERROR_FILE_NOT_FOUND) return true;
    if (rc != ERROR_SUCCESS) return false;
    const LONG deleted = RegDeleteValueA(opened.get(), std::string(name).c_str());
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

} // namespace kh
