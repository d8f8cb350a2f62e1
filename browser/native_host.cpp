#include "native_host.h"

#include "json.h"

namespace kh::browser {

std::string_view nativeHostManifestFile(BrowserFamily family) {
    return family == BrowserFamily::Firefox ? "org.keyhaven.bridge.firefox.json"
                                            : "org.keyhaven.bridge.json";
}

std::string nativeHostManifest(BrowserFamily family, std::string_view hostPath) {
    json::Value manifest = json::Value::object();
    manifest.set("name", json::Value::string(kNativeHostName));
    manifest.set("description", json::Value::string("Keyhaven browser bridge"));
    manifest.set("path", json::Value::string(hostPath));
    manifest.set("type", json::Value::string("stdio"));
    if (family == BrowserFamily::Firefox)
        manifest.set("allowed_extensions",
                     json::Value::array({json::Value::string(kFirefoxAddonId)}));
    else
        manifest.set("allowed_origins",
                     json::Value::array({json::Value::string(std::string("chrome-extension://") +
                                                             kExtensionId + "/")}));
    return json::serialize(manifest) + "\n";
}

} // namespace kh::browser
