// The address the vault is asked for and the frame rules.
"use strict";
const test = require("node:test");
const assert = require("node:assert/strict");
const Rules = require("../../browser-extension/lib/rules.js");

test("the page address: scheme, host and path of http and https pages only", () => {
    const cases = [
        ["https://shop.example/login?next=/cart#top", "https://shop.example/login"],
        ["HTTPS://Shop.Example:443/a/b", "https://shop.example/a/b"],
        ["http://127.0.0.1:8080/", "http://127.0.0.1:8080/"],
        ["https://shop.example", "https://shop.example/"],
        ["https://b\u00fccher.example/k\u00f6nto", "https://xn--bcher-kva.example/k%C3%B6nto"],
        ["https://user:pw@shop.example/", null], // an address that carries a login itself
        ["https://user@shop.example/", null],
        ["ftp://shop.example/", null],
        ["file:///home/u/login.html", null],
        ["about:blank", null],
        ["data:text/html,<form>", null],
        ["javascript:alert(1)", null],
        ["chrome-extension://abc/page.html", null],
        ["not an address", null],
        [undefined, null],
        ["https://shop.example/" + "a".repeat(170), "https://shop.example/" + "a".repeat(170)],
        ["https://shop.example/" + "a".repeat(171), null], // 192 characters: the vault would cut it
    ];
    for (const [url, address] of cases) assert.equal(Rules.pageAddress(url), address, String(url));
});

test("a frame is filled only as the top page or a frame of exactly its origin", () => {
    const top = "https://shop.example/checkout";
    const cases = [
        [0, "https://shop.example/login", top, "ok"],
        [4, "https://shop.example/embedded/login", top, "ok"],
        [4, "https://evil.example/login", top, "cross-origin"],
        [4, "https://shop.example/login", "https://evil.example/", "cross-origin"], // a login page framed by another site
        [4, "http://shop.example/login", top, "cross-origin"], // another scheme is another origin
        [4, "https://shop.example:8443/login", top, "cross-origin"],
        [4, "https://login.shop.example/", top, "cross-origin"], // a subdomain is another origin
        [4, "https://shop.example/login", undefined, "cross-origin"], // the top page is unknown
        [4, "about:blank", top, "not-web"],
        [0, "file:///x.html", "file:///x.html", "not-web"],
        [0, "https://u:p@shop.example/", "https://u:p@shop.example/", "not-web"],
    ];
    for (const [frameId, frameUrl, topUrl, verdict] of cases)
        assert.equal(
            Rules.frameVerdict(frameId, frameUrl, topUrl),
            verdict,
            `${frameId} ${frameUrl} in ${topUrl}`,
        );
});

test("only the extension's own content scripts are heard", () => {
    const own = { id: "me", tab: { id: 3 }, frameId: 0, url: "https://a.example/" };
    assert.equal(Rules.fromContentScript(own, "me"), true);
    const cases = [
        { ...own, id: "other" }, // another extension
        { ...own, tab: undefined }, // not from a tab (a page of the extension, or a host)
        { ...own, frameId: undefined },
        { ...own, url: undefined },
        null,
    ];
    for (const sender of cases)
        assert.equal(Rules.fromContentScript(sender, "me"), false, JSON.stringify(sender));
});
