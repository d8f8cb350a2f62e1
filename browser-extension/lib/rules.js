// Which page may get which login: the page address the vault is asked for, and the frame
// rules. Every address here comes from the browser (the sender of a content script's
// message, the clicked frame of a context menu), never from a page's own scripts.
(function (root) {
    "use strict";

    // The vault's address field holds 191 characters; a longer address would be cut and
    // then match another page.
    const MAX_ADDRESS = 191;

    function parse(url) {
        try {
            return new URL(url);
        } catch (e) {
            return null;
        }
    }

    function isWeb(u) {
        return (
            u !== null && (u.protocol === "http:" || u.protocol === "https:") && u.hostname !== ""
        );
    }

    // The address the vault stores and is asked for: scheme, host and path. Query and
    // fragment often carry session tokens and are not stored. None for anything but an
    // http or https page with a host, for an address with a user name or password in it,
    // and for one too long for the vault.
    function pageAddress(url) {
        const u = parse(url);
        if (!isWeb(u) || u.username !== "" || u.password !== "") return null;
        const address = u.protocol + "//" + u.host + u.pathname;
        return address.length <= MAX_ADDRESS ? address : null;
    }

    function originOf(url) {
        const u = parse(url);
        return isWeb(u) ? u.origin : null;
    }

    // Whether the frame at frameUrl may be filled while topUrl is the tab's page: only the
    // top frame or a frame of exactly the top page's origin. A frame of another site inside
    // a page is how a page would make the user fill a login into something it controls.
    // Returns "ok", "not-web" (nothing to fill there) or "cross-origin".
    function frameVerdict(frameId, frameUrl, topUrl) {
        const frameOrigin = originOf(frameUrl);
        if (frameOrigin === null || pageAddress(frameUrl) === null) return "not-web";
        if (frameId === 0) return "ok";
        return originOf(topUrl) === frameOrigin ? "ok" : "cross-origin";
    }

    // A message is the extension's own only when it comes from one of its content scripts:
    // this extension, inside a tab, from a frame with a known address.
    function fromContentScript(sender, extensionId) {
        return (
            !!sender &&
            sender.id === extensionId &&
            !!sender.tab &&
            typeof sender.tab.id === "number" &&
            typeof sender.frameId === "number" &&
            typeof sender.url === "string"
        );
    }

    const api = { MAX_ADDRESS, pageAddress, originOf, frameVerdict, fromContentScript };
    if (typeof module !== "undefined" && module.exports) module.exports = api;
    else root.KeyhavenRules = api;
})(globalThis);
