// The browsers' native messaging as far as registration goes: the host's name and
// manifests, the browser extension's ids, and the per-user registry keys through which
// Chrome, Edge, Chromium and Firefox find a manifest on Windows.
#pragma once

#include <string>
#include <string_view>

namespace kh::browser {

inline constexpr char kNativeHostName[] = "org.keyhaven.bridge";
// The id of browser-extension/ in Chromium-based browsers, fixed by the "key" of its
// manifest: the first 32 hex digits of the SHA-256 of that public key, 0-f written a-p.
inline constexpr char kExtensionId[] = "gbfooegojfopnifhjdfajidaammekfja";
// Its id in Firefox (browser_specific_settings.gecko.id).
inline constexpr char kFirefoxAddonId[] = "bridge@keyhaven.org";

// The Chromium family names the extensions it lets in with "allowed_origins", Firefox with
// "allowed_extensions", and Firefox refuses a manifest with a key it does not know: each
// family has a manifest of its own.
enum class BrowserFamily { Chromium, Firefox };

// The manifests' file names, beside khbridge.exe.
std::string_view nativeHostManifestFile(BrowserFamily family);

// A manifest's JSON text. `hostPath` is UTF-8: the program the browser starts; on Windows
// both families take a path relative to the manifest's folder.
std::string nativeHostManifest(BrowserFamily family, std::string_view hostPath);

struct NativeHostKey {
    std::string_view browser;
    BrowserFamily family;
    std::string_view subKey; // under HKEY_CURRENT_USER; the default value names the manifest
};

inline constexpr NativeHostKey kNativeHostKeys[] = {
    {"Chrome", BrowserFamily::Chromium,
     "Software\\Google\\Chrome\\NativeMessagingHosts\\org.keyhaven.bridge"},
    {"Edge", BrowserFamily::Chromium,
     "Software\\Microsoft\\Edge\\NativeMessagingHosts\\org.keyhaven.bridge"},
    {"Chromium", BrowserFamily::Chromium,
     "Software\\Chromium\\NativeMessagingHosts\\org.keyhaven.bridge"},
    {"Firefox", BrowserFamily::Firefox,
     "Software\\Mozilla\\NativeMessagingHosts\\org.keyhaven.bridge"},
};

} // namespace kh::browser
