// The per-user registration of the native-messaging host for Chrome, Edge, Chromium and
// Firefox: one key per browser under HKEY_CURRENT_USER whose default value is the full path
// of its family's manifest (kNativeHostKeys, nativeHostManifestFile).
#pragma once

#include <string>

namespace kh::browser {

// Writes every browser's key, naming the manifests in `folder` (ending with "\", the
// folder of khbridge.exe). False when one could not be written; the others stay written
// (removeNativeHost takes them away again).
bool registerNativeHost(const std::string& folder);

// Deletes every browser's key, and the keys above it that are left empty by that (up to,
// not including, "Software"), so that a browser that is not installed keeps nothing of
// ours. False when a key that exists could not be deleted.
bool removeNativeHost();

// Whether every browser's key names its manifest in `folder`.
bool nativeHostRegistered(const std::string& folder);

} // namespace kh::browser
