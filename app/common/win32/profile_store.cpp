#include "profile_store.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <vector>

namespace kh {

std::string Win32ProfileStore::readString(std::string_view section, std::string_view key,
                                          std::string_view fallback, std::size_t maxLength) {
    const std::string sectionText(section), keyText(key), fallbackText(fallback);
    std::vector<char> buffer(maxLength + 1, '\0');
    const DWORD length =
        GetPrivateProfileStringA(sectionText.c_str(), keyText.c_str(), fallbackText.c_str(),
                                 buffer.data(), static_cast<DWORD>(buffer.size()), path_.c_str());
    return std::string(buffer.data(), std::min<std::size_t>(length, maxLength));
}

int Win32ProfileStore::readInt(std::string_view section, std::string_view key, int fallback) {
    const std::string sectionText(section), keyText(key);
    return static_cast<int>(
        GetPrivateProfileIntA(sectionText.c_str(), keyText.c_str(), fallback, path_.c_str()));
}

bool Win32ProfileStore::writeString(std::string_view section, std::string_view key,
                                    std::string_view value) {
    const std::string sectionText(section), keyText(key), valueText(value);
    return WritePrivateProfileStringA(sectionText.c_str(), keyText.c_str(), valueText.c_str(),
                                      path_.c_str()) != FALSE;
}

bool Win32ProfileStore::deleteKey(std::string_view section, std::string_view key) {
    const std::string sectionText(section), keyText(key);
    return WritePrivateProfileStringA(sectionText.c_str(), keyText.c_str(), nullptr,
                                      path_.c_str()) != FALSE;
}

} // namespace kh
