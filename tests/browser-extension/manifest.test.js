// The extension's manifest against the host's: the fixed key gives the id the host lets in.
"use strict";
const test = require("node:test");
const assert = require("node:assert/strict");
const crypto = require("node:crypto");
const fs = require("node:fs");
const path = require("node:path");

const root = path.join(__dirname, "..", "..");
const read = (p) => fs.readFileSync(path.join(root, p), "utf8");
const manifest = JSON.parse(read("browser-extension/manifest.json"));
const chromium = JSON.parse(read("tools/khbridge/org.keyhaven.bridge.json"));
const firefox = JSON.parse(read("tools/khbridge/org.keyhaven.bridge.firefox.json"));

// Chromium's id of an extension: the SHA-256 of its public key, 32 hex digits as a to p.
function extensionId(keyBase64) {
    const digest = crypto
        .createHash("sha256")
        .update(Buffer.from(keyBase64, "base64"))
        .digest("hex");
    return [...digest.slice(0, 32)].map((c) => String.fromCharCode(97 + parseInt(c, 16))).join("");
}

test("the host lets in exactly this extension, in Chromium and in Firefox", () => {
    const id = extensionId(manifest.key);
    assert.deepEqual(chromium.allowed_origins, [`chrome-extension://${id}/`]);
    assert.deepEqual(firefox.allowed_extensions, [manifest.browser_specific_settings.gecko.id]);
    assert.match(read("browser/native_host.h"), new RegExp(`kExtensionId\\[\\] = "${id}"`));
    assert.equal(chromium.name, "org.keyhaven.bridge");
    assert.equal(firefox.name, "org.keyhaven.bridge");
    assert.match(read("browser-extension/background.js"), /const HOST = "org\.keyhaven\.bridge"/);
});

test("the background loads the same libraries in both browsers; no storage is asked for", () => {
    const { service_worker: worker, scripts } = manifest.background;
    const imported = /importScripts\(([^)]*)\)/.exec(read("browser-extension/" + worker))[1];
    const libraries = [...imported.matchAll(/"([^"]+)"/g)].map((m) => m[1]);
    assert.deepEqual(scripts, [...libraries, worker]);
    for (const file of [...scripts, ...manifest.content_scripts[0].js])
        assert.ok(fs.existsSync(path.join(root, "browser-extension", file)), file);
    assert.deepEqual(manifest.permissions.sort(), ["contextMenus", "nativeMessaging"]);
    assert.equal(manifest.commands["fill-login"].suggested_key.default, "Ctrl+Shift+U");
});
