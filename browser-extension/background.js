// The extension's background: Chrome runs it as a service worker (which loads the two
// libraries itself), Firefox as an event page with the libraries listed before it.
"use strict";
if (typeof importScripts === "function") importScripts("lib/rules.js", "lib/flow.js");

const ext = globalThis.browser || globalThis.chrome;
const HOST = "org.keyhaven.bridge";

// One connection to the host for one user action; its requests are answered in order.
function openHost() {
    let port;
    let gone = null;
    const waiting = [];
    const finish = (reply) => {
        const next = waiting.shift();
        if (next) next(reply);
    };
    try {
        port = ext.runtime.connectNative(HOST);
    } catch (e) {
        gone = String(e && e.message ? e.message : e);
    }
    if (port) {
        port.onMessage.addListener((reply) =>
            finish(reply && typeof reply === "object" ? reply : { status: "error" }),
        );
        port.onDisconnect.addListener((p) => {
            const error = (p && p.error) || ext.runtime.lastError;
            gone = (error && error.message) || "the bridge ended";
            while (waiting.length) finish({ status: "no-host", message: gone });
        });
    }
    return {
        ask(request) {
            if (gone !== null) return Promise.resolve({ status: "no-host", message: gone });
            return new Promise((resolve) => {
                waiting.push(resolve);
                port.postMessage(request);
            });
        },
        close() {
            if (port && gone === null) port.disconnect();
            gone = gone || "closed";
        },
    };
}

const flow = KeyhavenFlow.createFlow({
    extensionId: ext.runtime.id,
    openHost,
    sendToFrame: (tabId, frameId, message) =>
        Promise.resolve(ext.tabs.sendMessage(tabId, message, { frameId })).catch(() => undefined),
    broadcast: (tabId, message) => {
        Promise.resolve(ext.tabs.sendMessage(tabId, message)).catch(() => undefined);
    },
    now: () => Date.now(),
});

// Created at every start: Firefox keeps no menu of an event page across restarts.
Promise.resolve(ext.contextMenus.removeAll()).then(() => {
    const pages = ["http://*/*", "https://*/*"];
    ext.contextMenus.create({
        id: "keyhaven-fill",
        title: "Fill login from Keyhaven",
        contexts: ["page", "editable", "frame"],
        documentUrlPatterns: pages,
    });
    ext.contextMenus.create({
        id: "keyhaven-generate",
        title: "Generate password",
        contexts: ["editable"],
        documentUrlPatterns: pages,
    });
});

ext.contextMenus.onClicked.addListener((info, tab) => {
    flow.onMenu(info.menuItemId, info, tab);
});

ext.commands.onCommand.addListener(async (command, tab) => {
    // Some browsers leave the tab out; the command is meant for the active one.
    if (!tab) [tab] = await ext.tabs.query({ active: true, lastFocusedWindow: true });
    flow.onCommand(command, tab && tab.id);
});

ext.runtime.onMessage.addListener((message, sender, sendResponse) => {
    flow.onMessage(message, sender).then(sendResponse, () => sendResponse(undefined));
    return true; // answered later
});

ext.tabs.onRemoved.addListener((tabId) => flow.forgetTab(tabId));
