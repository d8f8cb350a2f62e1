// The browsers' native messaging as far as registration goes: the host's name and manifest,
// the browser extension's ids, and the per-user registry keys through which Chrome, Edge,
// Chromium and Firefox find the manifest on Windows.
#pragma once

#include <string>
#include <string_view>

namespace kh::browser {

inline constexpr char kNativeHostName[] = "org.keyhaven.bridge";
inline constexpr char kNativeHostManifestFile[] = "org.keyhaven.bridge.json";
// The id of browser-extension/ in Chromium-based browsers, fixed by the "key" of its
// manifest: the first 32 hex digits of the SHA-256 of that public key, 0-f written a-p.
inline constexpr char kExtensionId[] = "gbfooegojfopnifhjdfajidaammekfja";
// Its id in Firefox (browser_specific_settings.gecko.id).
inline constexpr char kFirefoxAddonId[] = "bridge@keyhaven.org";

struct NativeHostKey {
    std::string_view browser;
    std::string_view subKey; // under HKEY_CURRENT_USER; the default value names the manifest
};

inline constexpr NativeHostKey kNativeHostKeys[] = {
    {"Chrome", "Software\\Google\\Chrome\\NativeMessagingHosts\\org.keyhaven.bridge"},
    {"Edge", "Software\\Microsoft\\Edge\\NativeMessagingHosts\\org.keyhaven.bridge"},
    {"Chromium", "Software\\Chromium\\NativeMessagingHosts\\org.keyhaven.bridge"},
    {"Firefox", "Software\\Mozilla\\NativeMessagingHosts\\org.keyhaven.bridge"},
};

// The manifest's JSON text, for the Chromium family (allowed_origins) and Firefox
// (allowed_extensions) at once. `hostPath` is UTF-8: the program the browsers start; on
// Windows both take a path relative to the manifest's folder.
std::string nativeHostManifest(std::string_view hostPath);

} // namespace kh::browser
