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

// The manifest the build puts beside khbridge.exe is the one the program writes.
TEST(NativeHostManifest, TheShippedFileIsTheProgramsManifest) {
    const std::optional<json::Value> shipped =
        parseFile(KH_SOURCE_DIR "/tools/khbridge/org.keyhaven.bridge.json");
    ASSERT_TRUE(shipped);
    const std::optional<json::Value> written = json::parse(nativeHostManifest("khbridge.exe"));
    ASSERT_TRUE(written);
    EXPECT_EQ(json::serialize(*written), json::serialize(*shipped));
    const json::Value* origins = written->find("allowed_origins");
    ASSERT_TRUE(origins && origins->asArray() && origins->asArray()->size() == 1);
    EXPECT_EQ(*(*origins->asArray())[0].asString(),
              std::string("chrome-extension://") + kExtensionId + "/");
}

TEST(NativeHostManifest, AFullPathSurvivesTheText) {
    for (const std::string path : {"C:\\Program Files\\Keyhaven\\khbridge.exe",
                                   "C:\\Users\\J\xC3\xBCrgen \"J\" <x>\\khbridge.exe",
                                   "/home/u/.local/share/keyhaven/khbridge-host"}) {
        const std::optional<json::Value> manifest = json::parse(nativeHostManifest(path));
        ASSERT_TRUE(manifest) << path;
        ASSERT_TRUE(manifest->stringAt("path")) << path;
        EXPECT_EQ(*manifest->stringAt("path"), path);
        EXPECT_EQ(*manifest->stringAt("name"), kNativeHostName);
    }
}

} // namespace
} // namespace kh::browser
