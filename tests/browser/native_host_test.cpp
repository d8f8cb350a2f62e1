#include "json.h"
#include "native_host.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace kh::browser {
namespace {

std::optional<json::Value> parseFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return json::parse(text.str());
}

// The manifests the build puts beside khbridge.exe are the ones the program writes, each
// with the one key its browser family reads.
TEST(NativeHostManifest, TheShippedFilesAreTheProgramsManifests) {
    struct Case {
        BrowserFamily family;
        const char* key;
        std::string allowed;
        const char* otherKey;
    };
    const Case cases[] = {
        {BrowserFamily::Chromium, "allowed_origins",
         std::string("chrome-extension://") + kExtensionId + "/", "allowed_extensions"},
        {BrowserFamily::Firefox, "allowed_extensions", kFirefoxAddonId, "allowed_origins"},
    };
    for (const Case& c : cases) {
        const std::string file(nativeHostManifestFile(c.family));
        const std::optional<json::Value> shipped =
            parseFile(KH_SOURCE_DIR "/tools/khbridge/" + file);
        ASSERT_TRUE(shipped) << file;
        const std::optional<json::Value> written =
            json::parse(nativeHostManifest(c.family, "khbridge.exe"));
        ASSERT_TRUE(written) << file;
        EXPECT_EQ(json::serialize(*written), json::serialize(*shipped)) << file;
        const json::Value* allowed = written->find(c.key);
        ASSERT_TRUE(allowed && allowed->asArray() && allowed->asArray()->size() == 1) << file;
        EXPECT_EQ(*(*allowed->asArray())[0].asString(), c.allowed);
        EXPECT_EQ(written->find(c.otherKey), nullptr) << file;
        EXPECT_EQ(*written->stringAt("name"), kNativeHostName);
    }
}

TEST(NativeHostManifest, AFullPathSurvivesTheText) {
    for (const std::string path : {"C:\\Program Files\\Keyhaven\\khbridge.exe",
                                   "C:\\Users\\J\xC3\xBCrgen \"J\" <x>\\khbridge.exe",
                                   "/home/u/.local/share/keyhaven/khbridge-host"}) {
        const std::optional<json::Value> manifest =
            json::parse(nativeHostManifest(BrowserFamily::Firefox, path));
        ASSERT_TRUE(manifest && manifest->stringAt("path")) << path;
        EXPECT_EQ(*manifest->stringAt("path"), path);
    }
}

} // namespace
} // namespace kh::browser
