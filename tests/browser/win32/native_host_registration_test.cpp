// The native-messaging host's registry keys, written to and read back from the real
// registry (Wine's, under the tests).
#include "native_host.h"
#include "native_host_registration.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>

namespace kh::browser {
namespace {

const std::string kOtherHost = "Software\\Google\\Chrome\\NativeMessagingHosts\\com.example.other";

bool exists(const std::string& subKey) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::optional<std::string> defaultValue(const std::string& subKey) {
    char value[1024] = {};
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_CURRENT_USER, subKey.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value,
                     &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::string(value);
}

void setDefaultValue(const std::string& subKey, const std::string& value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
}

TEST(NativeHostRegistration, WrittenReadBackAndRemovedWithoutLeftovers) {
    // Another program's host beside ours, and the keys above ours as they are now.
    ASSERT_TRUE(removeNativeHost());
    setDefaultValue(kOtherHost, "C:\\Other\\host.json");
    const char* const ancestors[] = {
        "Software\\Chromium",        "Software\\Chromium\\NativeMessagingHosts",
        "Software\\Mozilla",         "Software\\Mozilla\\NativeMessagingHosts",
        "Software\\Microsoft\\Edge", "Software\\Microsoft\\Edge\\NativeMessagingHosts"};
    std::vector<bool> existedBefore;
    for (const char* key : ancestors)
        existedBefore.push_back(exists(key));

    const std::string folder = "C:\\Program Files\\Keyhaven\\";
    ASSERT_TRUE(registerNativeHost("C:\\Old\\"));
    ASSERT_TRUE(registerNativeHost(folder)) << "a second registration takes the new place";
    for (const NativeHostKey& key : kNativeHostKeys)
        EXPECT_EQ(defaultValue(std::string(key.subKey)),
                  key.family == BrowserFamily::Firefox ? folder + "org.keyhaven.bridge.firefox.json"
                                                       : folder + "org.keyhaven.bridge.json")
            << key.browser;
    EXPECT_TRUE(nativeHostRegistered(folder));
    EXPECT_FALSE(nativeHostRegistered("C:\\Old\\"));

    // One browser's key pointing elsewhere is no registration of this manifest.
    setDefaultValue(std::string(kNativeHostKeys[3].subKey), "C:\\Elsewhere.json");
    EXPECT_FALSE(nativeHostRegistered(folder));

    ASSERT_TRUE(removeNativeHost());
    for (const NativeHostKey& key : kNativeHostKeys)
        EXPECT_FALSE(exists(std::string(key.subKey))) << key.browser;
    EXPECT_FALSE(nativeHostRegistered(folder));
    for (std::size_t i = 0; i < std::size(ancestors); ++i)
        EXPECT_EQ(exists(ancestors[i]), existedBefore[i]) << ancestors[i];
    EXPECT_EQ(defaultValue(kOtherHost), "C:\\Other\\host.json") << "another host stays";
    EXPECT_TRUE(removeNativeHost()) << "nothing left to remove is no failure";

    RegDeleteKeyA(HKEY_CURRENT_USER, kOtherHost.c_str());
}

} // namespace
} // namespace kh::browser
