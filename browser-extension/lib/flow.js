// What the extension does for each user action, between the content scripts of a tab and
// the native host (khbridge). The browser's side comes in through `deps`, so that the same
// code runs under the tests:
//   openHost()                       -> { ask(request) -> Promise<reply>, close() }
//   sendToFrame(tabId, frameId, msg) -> Promise<reply | undefined>
//   broadcast(tabId, msg)            -> to every frame of the tab
//   now()                            -> milliseconds
// Logins pass through here on their way from the host to one frame and are kept nowhere:
// a password the user may still save lives in memory only, for a short while.
(function (root) {
    "use strict";

    const Rules =
        typeof module !== "undefined" && module.exports
            ? require("./rules.js")
            : root.KeyhavenRules;

    const TEXT = {
        noVault: "Keyhaven is not running.",
        loggedOut: "Keyhaven is logged out.",
        logIn: "Log in to Keyhaven to fill this page.",
        notFound: "Keyhaven has no login for this page.",
        noHost: "The Keyhaven bridge (khbridge) is not set up for this browser.",
        crossOrigin: "Keyhaven does not fill a frame of another site.",
        noForm: "There is no password field to fill here.",
        noPasswordField: "Click into a password field first.",
        saved: "Saved to Keyhaven.",
        updated: "Updated in Keyhaven.",
        notSaved: "Keyhaven did not save the login.",
        changed: "The page changed; nothing was filled.",
    };

    // A second fill request this soon after the first is the same key press seen twice
    // (the command and the page's key listener).
    const REPEAT_MS = 700;
    // A submitted login is offered again to the next page of the tab (the form's answer)
    // for this long, and can be saved for this long.
    const OFFER_AGAIN_MS = 30000;
    const OFFER_MS = 120000;
    // Longer texts are no user name or password of any form the vault could keep.
    const MAX_TEXT = 200;

    function hostText(reply) {
        switch (reply && reply.status) {
            case "no-vault":
                return TEXT.noVault;
            case "logged-out":
                return TEXT.loggedOut;
            case "not-found":
                return TEXT.notFound;
            case "no-host":
                return TEXT.noHost;
            case "error":
                return "Keyhaven: " + String(reply.message || "error");
        }
        return "Keyhaven: " + String((reply && reply.message) || "no answer");
    }

    function isText(value) {
        return typeof value === "string" && value !== "" && value.length <= MAX_TEXT;
    }

    function createFlow(deps) {
        const lastFill = new Map(); // tabId -> time
        const busy = new Set(); // tabIds with a fill under way
        const offers = new Map(); // tabId -> pending save offer
        let nextOffer = 1;

        function notice(tabId, frameId, text) {
            return deps.sendToFrame(tabId, frameId, { type: "notice", text });
        }

        // A frame the browser named: which frame, its address, and the tab's page.
        async function fill(tabId, frameId, frameUrl, topUrl) {
            const now = deps.now();
            if (busy.has(tabId) || now - (lastFill.get(tabId) || -Infinity) < REPEAT_MS)
                return "repeated";
            lastFill.set(tabId, now);
            const verdict = Rules.frameVerdict(frameId, frameUrl, topUrl);
            if (verdict === "cross-origin") {
                await notice(tabId, frameId, TEXT.crossOrigin);
                return "cross-origin";
            }
            if (verdict !== "ok") return verdict;
            busy.add(tabId);
            try {
                return await fillFrame(
                    tabId,
                    frameId,
                    Rules.pageAddress(frameUrl),
                    Rules.originOf(frameUrl),
                );
            } finally {
                busy.delete(tabId);
            }
        }

        async function fillFrame(tabId, frameId, address, origin) {
            const probe = await deps.sendToFrame(tabId, frameId, { type: "probe" });
            if (!probe || probe.origin !== origin) return "changed";
            if (!probe.password) {
                await notice(tabId, frameId, TEXT.noForm);
                return "no-form";
            }
            const host = deps.openHost();
            try {
                let reply = await host.ask({ action: "status" });
                if (reply.status === "logged-out") {
                    // The vault brings its login up with the next request and waits for it.
                    await notice(tabId, frameId, TEXT.logIn);
                } else if (reply.status !== "ok") {
                    await notice(tabId, frameId, hostText(reply));
                    return reply.status;
                }
                reply = await host.ask({ action: "find", url: address });
                if (reply.status !== "ok" || !Array.isArray(reply.logins) || !reply.logins.length) {
                    await notice(tabId, frameId, hostText(reply));
                    return reply.status;
                }
                const users = reply.logins.map((l) => l.user).filter(isText);
                let user = users[0];
                if (users.length > 1) {
                    const choice = await deps.sendToFrame(tabId, frameId, {
                        type: "choose",
                        origin,
                        users,
                    });
                    if (!choice || !users.includes(choice.user)) return "dismissed";
                    user = choice.user;
                }
                reply = await host.ask({ action: "get", url: address, user });
                if (reply.status !== "ok" || !reply.login) {
                    await notice(tabId, frameId, hostText(reply));
                    return reply.status;
                }
                const filled = await deps.sendToFrame(tabId, frameId, {
                    type: "fill",
                    origin,
                    user: reply.login.user,
                    password: reply.login.password,
                });
                if (filled && filled.filled) return "filled";
                await notice(tabId, frameId, TEXT.changed);
                return "not-filled";
            } finally {
                host.close();
            }
        }

        async function generate(tabId, frameId, frameUrl, topUrl) {
            const verdict = Rules.frameVerdict(frameId, frameUrl, topUrl);
            if (verdict === "cross-origin") {
                await notice(tabId, frameId, TEXT.crossOrigin);
                return "cross-origin";
            }
            if (verdict !== "ok") return verdict;
            const origin = Rules.originOf(frameUrl);
            const host = deps.openHost();
            let reply;
            try {
                reply = await host.ask({ action: "generate" });
            } finally {
                host.close();
            }
            if (reply.status !== "ok" || !isText(reply.password)) {
                await notice(tabId, frameId, hostText(reply));
                return reply.status;
            }
            const filled = await deps.sendToFrame(tabId, frameId, {
                type: "fill-generated",
                origin,
                password: reply.password,
            });
            if (!filled || !filled.filled) {
                await notice(tabId, frameId, filled ? TEXT.noPasswordField : TEXT.changed);
                return "not-filled";
            }
            // The user name is read from the page when the user saves.
            offer(tabId, frameId, frameUrl, "", reply.password, "new", true);
            return "filled";
        }

        function offer(tabId, frameId, frameUrl, user, password, verdict, generated) {
            const o = {
                id: nextOffer++,
                tabId,
                frameId,
                origin: Rules.originOf(frameUrl),
                address: Rules.pageAddress(frameUrl),
                user,
                password,
                verdict,
                generated,
                created: deps.now(),
            };
            offers.set(tabId, o); // one per tab: a newer login replaces an unanswered one
            deps.sendToFrame(tabId, frameId, offerMessage(o));
            return o;
        }

        function offerMessage(o) {
            return {
                type: "offer",
                origin: o.origin,
                offer: { id: o.id, user: o.user, verdict: o.verdict, generated: o.generated },
            };
        }

        function liveOffer(tabId, maxAge) {
            const o = offers.get(tabId);
            if (o && deps.now() - o.created > OFFER_MS) offers.delete(tabId);
            const live = offers.get(tabId);
            return live && deps.now() - live.created <= maxAge ? live : null;
        }

        // A form with a password field was submitted: offer to save a login the vault does
        // not have, or a changed password. Never brings up the vault's login.
        async function submitted(message, sender) {
            if (!isText(message.user) || !isText(message.password)) return "ignored";
            if (Rules.frameVerdict(sender.frameId, sender.url, sender.tab.url) !== "ok")
                return "ignored";
            const address = Rules.pageAddress(sender.url);
            const host = deps.openHost();
            let reply;
            try {
                reply = await host.ask({
                    action: "check",
                    url: address,
                    user: message.user,
                    password: message.password,
                });
            } finally {
                host.close();
            }
            if (reply.status !== "ok" || (reply.login !== "new" && reply.login !== "changed"))
                return "quiet";
            offer(
                sender.tab.id,
                sender.frameId,
                sender.url,
                message.user,
                message.password,
                reply.login,
                false,
            );
            return "offered";
        }

        // A page has loaded its content script: the answer to a form is usually a new page.
        function hello(sender) {
            const o = liveOffer(sender.tab.id, OFFER_AGAIN_MS);
            if (!o || o.frameId !== sender.frameId || Rules.originOf(sender.url) !== o.origin)
                return null;
            return offerMessage(o);
        }

        async function offerAnswer(message, sender) {
            const o = liveOffer(sender.tab.id, OFFER_MS);
            if (!o || o.id !== message.id || Rules.originOf(sender.url) !== o.origin)
                return "unknown";
            offers.delete(sender.tab.id);
            if (message.save !== true) return "dismissed";
            const user = o.generated ? message.user : o.user;
            if (!isText(user)) return "no-user";
            const host = deps.openHost();
            let reply;
            try {
                reply = await host.ask({
                    action: "save",
                    url: o.address,
                    user,
                    password: o.password,
                });
            } finally {
                host.close();
            }
            const text =
                reply.status === "ok"
                    ? reply.replaced
                        ? TEXT.updated
                        : TEXT.saved
                    : reply.status === "error"
                      ? TEXT.notSaved
                      : hostText(reply);
            await notice(sender.tab.id, sender.frameId, text);
            return reply.status === "ok" ? "saved" : reply.status;
        }

        return {
            TEXT,
            // A content script's message; the reply goes back to it.
            async onMessage(message, sender) {
                if (
                    !Rules.fromContentScript(sender, deps.extensionId) ||
                    !message ||
                    typeof message.type !== "string"
                )
                    return undefined;
                // The frame's own origin, where the browser tells it, must agree with its address.
                if (sender.origin !== undefined && sender.origin !== Rules.originOf(sender.url))
                    return undefined;
                switch (message.type) {
                    case "fill":
                        return {
                            result: await fill(
                                sender.tab.id,
                                sender.frameId,
                                sender.url,
                                sender.tab.url,
                            ),
                        };
                    case "submitted":
                        return { result: await submitted(message, sender) };
                    case "hello":
                        return { offer: hello(sender) };
                    case "offer-answer":
                        return { result: await offerAnswer(message, sender) };
                }
                return undefined;
            },
            // The keyboard command: the frame that has the focus asks for the fill itself, so
            // that its address comes from the browser as for the page's key listener.
            onCommand(command, tabId) {
                if (command === "fill-login" && typeof tabId === "number")
                    deps.broadcast(tabId, { type: "command-fill" });
            },
            onMenu(menuId, info, tab) {
                if (!tab || typeof tab.id !== "number") return Promise.resolve("no-tab");
                const frameId = typeof info.frameId === "number" ? info.frameId : 0;
                const frameUrl = info.frameUrl || info.pageUrl;
                if (menuId === "keyhaven-fill") return fill(tab.id, frameId, frameUrl, tab.url);
                if (menuId === "keyhaven-generate")
                    return generate(tab.id, frameId, frameUrl, tab.url);
                return Promise.resolve("unknown");
            },
            forgetTab(tabId) {
                offers.delete(tabId);
                lastFill.delete(tabId);
            },
        };
    }

    const api = { createFlow, TEXT };
    if (typeof module !== "undefined" && module.exports) module.exports = api;
    else root.KeyhavenFlow = api;
})(globalThis);
