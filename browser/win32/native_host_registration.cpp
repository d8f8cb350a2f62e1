#include "native_host_registration.h"

#include "native_host.h"

#include <windows.h>

#include <algorithm>
#include <optional>

namespace kh::browser {
namespace {

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

std::optional<std::string> defaultValue(const std::string& subKey) {
    Key key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_QUERY_VALUE, key.out()) !=
        ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key.get(), nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    std::string value(size, '\0');
    if (RegQueryValueExA(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                         &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.resize(std::min<std::size_t>(size, value.size()));
    while (!value.empty() && value.back() == '\0')
        value.pop_back();
    return value;
}

bool isEmpty(const std::string& subKey) {
    Key key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_QUERY_VALUE, key.out()) !=
        ERROR_SUCCESS)
        return false;
    DWORD subKeys = 0, values = 0;
    if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    return subKeys == 0 && values == 0;
}

} // namespace

static std::string manifestPath(const std::string& folder, const NativeHostKey& entry) {
    return folder + std::string(nativeHostManifestFile(entry.family));
}

bool registerNativeHost(const std::string& folder) {
    bool all = true;
    for (const NativeHostKey& entry : kNativeHostKeys) {
        const std::string subKey(entry.subKey);
        const std::string manifest = manifestPath(folder, entry);
        Key key;
        const bool written =
            RegCreateKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_SET_VALUE, nullptr, key.out(), nullptr) == ERROR_SUCCESS &&
            RegSetValueExA(key.get(), nullptr, 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(manifest.c_str()),
                           static_cast<DWORD>(manifest.size() + 1)) == ERROR_SUCCESS;
        all = all && written;
    }
    return all;
}

bool removeNativeHost() {
    bool all = true;
    for (const NativeHostKey& entry : kNativeHostKeys) {
        std::string subKey(entry.subKey);
        const LONG rc = RegDeleteKeyA(HKEY_CURRENT_USER, subKey.c_str());
        if (rc == ERROR_FILE_NOT_FOUND) continue;
        if (rc != ERROR_SUCCESS) {
            all = false;
            continue;
        }
        // The browser's folder of hosts, and the browser's and vendor's keys when this
        // registration was all they held.
        for (;;) {
            const std::size_t cut = subKey.rfind('\\');
            if (cut == std::string::npos) break;
            subKey.resize(cut);
            if (subKey.find('\\') == std::string::npos || !isEmpty(subKey)) break;
            RegDeleteKeyA(HKEY_CURRENT_USER, subKey.c_str());
        }
    }
    return all;
}

bool nativeHostRegistered(const std::string& folder) {
    for (const NativeHostKey& entry : kNativeHostKeys)
        if (defaultValue(std::string(entry.subKey)) != manifestPath(folder, entry)) return false;
    return true;
}

} // namespace kh::browser
