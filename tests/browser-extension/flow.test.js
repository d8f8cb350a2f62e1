// What the extension does for each user action, with the browser and the native host
// replaced by fakes that record what reaches them.
"use strict";
const test = require("node:test");
const assert = require("node:assert/strict");
const { createFlow, TEXT } = require("../../browser-extension/lib/flow.js");

const ID = "gbfooegojfopnifhjdfajidaammekfja";
const PAGE = "https://shop.example/login?next=%2Fcart#pw";
const ADDRESS = "https://shop.example/login";
const ORIGIN = "https://shop.example";

// The host answers by action; `script` holds a reply or a function of the request.
function fakeHost(script) {
    const host = { requests: [], opened: 0, closed: 0 };
    host.open = () => {
        host.opened++;
        return {
            ask(request) {
                host.requests.push(request);
                const reply = script[request.action];
                return Promise.resolve(
                    typeof reply === "function"
                        ? reply(request)
                        : reply || { status: "error", message: "unscripted" },
                );
            },
            close() {
                host.closed++;
            },
        };
    };
    return host;
}

// The frames of the tabs: each message is recorded; answers come from `answer`.
function fakeFrames(answer = {}) {
    const frames = { sent: [], broadcasts: [] };
    frames.send = (tabId, frameId, message) => {
        frames.sent.push({ tabId, frameId, ...message });
        const reply = answer[message.type];
        return Promise.resolve(typeof reply === "function" ? reply(message, frameId) : reply);
    };
    frames.broadcast = (tabId, message) => frames.broadcasts.push({ tabId, ...message });
    frames.of = (type) => frames.sent.filter((m) => m.type === type);
    return frames;
}

const pageAnswers = {
    probe: { origin: ORIGIN, password: true },
    fill: (m) => ({ filled: m.origin === ORIGIN }),
    "fill-generated": { filled: true },
    offer: { shown: true },
};

function setUp(script, answers = pageAnswers) {
    const host = fakeHost(script);
    const frames = fakeFrames(answers);
    const clock = { t: 1000000 };
    const flow = createFlow({
        extensionId: ID,
        openHost: host.open,
        sendToFrame: frames.send,
        broadcast: frames.broadcast,
        now: () => clock.t,
    });
    return { flow, host, frames, clock };
}

function sender(url, frameId = 0, topUrl = url, tabId = 7) {
    return { id: ID, tab: { id: tabId, url: topUrl }, frameId, url, origin: new URL(url).origin };
}

const oneLogin = {
    status: { status: "ok" },
    find: { status: "ok", logins: [{ user: "alice" }] },
    get: (r) => ({ status: "ok", login: { user: r.user, password: "pw-" + r.user } }),
};

test("Ctrl+Shift+U fills the page's login: names first, the password of the one login only", async () => {
    const { flow, host, frames } = setUp(oneLogin);
    const reply = await flow.onMessage({ type: "fill" }, sender(PAGE));
    assert.deepEqual(reply, { result: "filled" });
    assert.deepEqual(host.requests, [
        { action: "status" },
        { action: "find", url: ADDRESS },
        { action: "get", url: ADDRESS, user: "alice" },
    ]);
    assert.equal(host.closed, host.opened);
    assert.deepEqual(frames.of("fill"), [
        { tabId: 7, frameId: 0, type: "fill", origin: ORIGIN, user: "alice", password: "pw-alice" },
    ]);
});

test("several logins: the chooser shows user names only, the picked one is filled", async () => {
    const script = {
        ...oneLogin,
        find: { status: "ok", logins: [{ user: "alice" }, { user: "bob" }] },
    };
    const cases = [
        { pick: "bob", result: "filled", got: ["bob"] },
        { pick: null, result: "dismissed", got: [] },
        { pick: "mallory", result: "dismissed", got: [] }, // no name of the list
    ];
    for (const c of cases) {
        const { flow, host, frames } = setUp(script, { ...pageAnswers, choose: { user: c.pick } });
        assert.deepEqual(await flow.onMessage({ type: "fill" }, sender(PAGE)), {
            result: c.result,
        });
        const chooser = frames.of("choose");
        assert.equal(chooser.length, 1);
        assert.deepEqual(chooser[0].users, ["alice", "bob"]);
        assert.ok(!JSON.stringify(chooser[0]).includes("pw-"), "no password in the chooser");
        assert.deepEqual(
            host.requests.filter((r) => r.action === "get").map((r) => r.user),
            c.got,
        );
        assert.equal(frames.of("fill").length, c.got.length);
    }
});

test("frames: the top page and frames of its origin only", async () => {
    const framed = "https://shop.example/embedded/login";
    const cases = [
        {
            what: "a same-origin frame",
            sender: sender(framed, 5, "https://shop.example/account"),
            result: "filled",
        },
        {
            what: "the login page framed by another site",
            sender: sender(framed, 5, "https://evil.example/"),
            result: "cross-origin",
        },
        {
            what: "another site's frame inside the page",
            sender: sender("https://evil.example/login", 5, "https://shop.example/"),
            result: "cross-origin",
        },
        {
            what: "a page that is no web page",
            sender: { ...sender(PAGE), url: "about:blank", origin: undefined },
            result: "not-web",
        },
    ];
    for (const c of cases) {
        const { flow, host, frames } = setUp(oneLogin);
        assert.deepEqual(
            await flow.onMessage({ type: "fill" }, c.sender),
            { result: c.result },
            c.what,
        );
        if (c.result === "filled") {
            assert.equal(frames.of("fill")[0].frameId, 5, c.what);
        } else {
            assert.equal(host.opened, 0, c.what + ": the vault is not asked");
            assert.equal(frames.of("fill").length + frames.of("probe").length, 0, c.what);
        }
        if (c.result === "cross-origin")
            assert.deepEqual(
                frames.of("notice").map((m) => m.text),
                [TEXT.crossOrigin],
            );
    }
});

test("no login, no vault, logged out, no bridge: a notice and nothing filled", async () => {
    const cases = [
        {
            what: "not found",
            script: { ...oneLogin, find: { status: "not-found" } },
            notices: [TEXT.notFound],
        },
        { what: "no vault", script: { status: { status: "no-vault" } }, notices: [TEXT.noVault] },
        {
            what: "logged out and the user does not log in",
            script: { status: { status: "logged-out" }, find: { status: "logged-out" } },
            notices: [TEXT.logIn, TEXT.loggedOut],
        },
        {
            what: "no bridge",
            script: { status: { status: "no-host", message: "not found" } },
            notices: [TEXT.noHost],
        },
        {
            what: "the vault refuses the address",
            script: { ...oneLogin, find: { status: "error", message: "the address is longer" } },
            notices: ["Keyhaven: the address is longer"],
        },
    ];
    for (const c of cases) {
        const { flow, frames } = setUp(c.script);
        await flow.onMessage({ type: "fill" }, sender(PAGE));
        assert.deepEqual(
            frames.of("notice").map((m) => m.text),
            c.notices,
            c.what,
        );
        assert.equal(frames.of("fill").length, 0, c.what);
    }

    // Logged out and the user logs in when the vault asks: the fill goes on.
    const { flow, frames } = setUp({ ...oneLogin, status: { status: "logged-out" } });
    assert.deepEqual(await flow.onMessage({ type: "fill" }, sender(PAGE)), { result: "filled" });
    assert.deepEqual(
        frames.of("notice").map((m) => m.text),
        [TEXT.logIn],
    );
});

test("the page decides nothing: no form, a page that moved on, a second key press", async () => {
    let s = setUp(oneLogin, { ...pageAnswers, probe: { origin: ORIGIN, password: false } });
    assert.deepEqual(await s.flow.onMessage({ type: "fill" }, sender(PAGE)), { result: "no-form" });
    assert.equal(s.host.opened, 0);

    s = setUp(oneLogin, {
        ...pageAnswers,
        probe: { origin: "https://evil.example", password: true },
    });
    assert.deepEqual(await s.flow.onMessage({ type: "fill" }, sender(PAGE)), { result: "changed" });
    assert.equal(s.host.opened, 0);

    // The fill message itself is checked by the frame against the origin it carries.
    s = setUp(oneLogin, { ...pageAnswers, fill: { filled: false } });
    assert.deepEqual(await s.flow.onMessage({ type: "fill" }, sender(PAGE)), {
        result: "not-filled",
    });

    s = setUp(oneLogin);
    assert.deepEqual(await s.flow.onMessage({ type: "fill" }, sender(PAGE)), { result: "filled" });
    s.clock.t += 300;
    assert.deepEqual(await s.flow.onMessage({ type: "fill" }, sender(PAGE)), {
        result: "repeated",
    });
    s.clock.t += 1000;
    assert.deepEqual(await s.flow.onMessage({ type: "fill" }, sender(PAGE)), { result: "filled" });
});

test("messages that are not the extension's own content scripts' are ignored", async () => {
    const { flow, host } = setUp(oneLogin);
    const cases = [
        { ...sender(PAGE), id: "another-extension" },
        { ...sender(PAGE), tab: undefined },
        { ...sender(PAGE), origin: "https://evil.example" }, // the frame's origin disagrees with its address
    ];
    for (const s of cases) assert.equal(await flow.onMessage({ type: "fill" }, s), undefined);
    assert.equal(await flow.onMessage({ type: "unknown" }, sender(PAGE)), undefined);
    assert.equal(await flow.onMessage(null, sender(PAGE)), undefined);
    assert.equal(host.opened, 0);
});

test("the command asks every frame; the focused one asks for its fill itself", () => {
    const { flow, frames } = setUp(oneLogin);
    flow.onCommand("fill-login", 7);
    flow.onCommand("other", 7);
    assert.deepEqual(frames.broadcasts, [{ tabId: 7, type: "command-fill" }]);
});

test("context menu: fill and generate in the clicked frame", async () => {
    const script = {
        ...oneLogin,
        generate: { status: "ok", password: "Gen3rated#Pw" },
        save: { status: "ok", replaced: false },
    };
    const { flow, frames, host, clock } = setUp(script);
    const tab = { id: 9, url: "https://shop.example/" };
    assert.equal(await flow.onMenu("keyhaven-fill", { frameId: 0, pageUrl: PAGE }, tab), "filled");
    clock.t += 1000;
    assert.equal(
        await flow.onMenu(
            "keyhaven-fill",
            { frameId: 2, frameUrl: "https://evil.example/", pageUrl: PAGE },
            tab,
        ),
        "cross-origin",
    );
    assert.equal(
        await flow.onMenu("keyhaven-generate", { frameId: 0, pageUrl: PAGE, editable: true }, tab),
        "filled",
    );
    assert.deepEqual(frames.of("fill-generated"), [
        { tabId: 9, frameId: 0, type: "fill-generated", origin: ORIGIN, password: "Gen3rated#Pw" },
    ]);
    // The generated password is offered for saving; the user name comes from the page then.
    const [offer] = frames.of("offer");
    assert.deepEqual(offer.offer, { id: 1, user: "", verdict: "new", generated: true });
    const answer = await flow.onMessage(
        { type: "offer-answer", id: 1, save: true, user: "alice" },
        sender(PAGE, 0, PAGE, 9),
    );
    assert.deepEqual(answer, { result: "saved" });
    assert.deepEqual(host.requests.at(-1), {
        action: "save",
        url: ADDRESS,
        user: "alice",
        password: "Gen3rated#Pw",
    });
});

test("a submitted login the vault does not have is offered, and saved where it was typed", async () => {
    const saves = [];
    const script = {
        check: (r) => ({
            status: "ok",
            login: r.user === "known" ? (r.password === "same" ? "same" : "changed") : "new",
        }),
        save: (r) => {
            saves.push(r);
            return { status: "ok", replaced: r.user === "known" };
        },
    };
    const { flow, frames, host, clock } = setUp(script);
    const page = sender(PAGE);

    assert.deepEqual(
        await flow.onMessage({ type: "submitted", user: "known", password: "same" }, page),
        { result: "quiet" },
    );
    assert.deepEqual(
        await flow.onMessage({ type: "submitted", user: "carol", password: "n3w" }, page),
        { result: "offered" },
    );
    assert.deepEqual(host.requests.at(-1), {
        action: "check",
        url: ADDRESS,
        user: "carol",
        password: "n3w",
    });
    const shown = frames.of("offer");
    assert.equal(shown.length, 1);
    assert.ok(!JSON.stringify(shown[0]).includes("n3w"), "the password stays in the background");

    // The form's answer page of the same site gets the offer again; others do not.
    const next = sender("https://shop.example/welcome");
    assert.deepEqual((await flow.onMessage({ type: "hello" }, next)).offer.offer, {
        id: 1,
        user: "carol",
        verdict: "new",
        generated: false,
    });
    assert.equal(
        (await flow.onMessage({ type: "hello" }, sender("https://evil.example/"))).offer,
        null,
    );
    assert.equal(
        (await flow.onMessage({ type: "hello" }, sender("https://shop.example/", 0, PAGE, 8)))
            .offer,
        null,
        "another tab",
    );
    assert.equal(
        (await flow.onMessage({ type: "hello" }, sender("https://shop.example/x", 3, PAGE))).offer,
        null,
        "another frame",
    );

    // Only the offer's own page answers it.
    assert.deepEqual(await flow.onMessage({ type: "offer-answer", id: 2, save: true }, next), {
        result: "unknown",
    });
    assert.deepEqual(
        await flow.onMessage(
            { type: "offer-answer", id: 1, save: true },
            sender("https://evil.example/"),
        ),
        {
            result: "unknown",
        },
    );
    assert.equal(saves.length, 0);
    assert.deepEqual(
        await flow.onMessage({ type: "offer-answer", id: 1, save: true, user: "mallory" }, next),
        { result: "saved" },
    );
    assert.deepEqual(saves, [{ action: "save", url: ADDRESS, user: "carol", password: "n3w" }]);
    assert.deepEqual(
        frames.of("notice").map((m) => m.text),
        [TEXT.saved],
    );
    assert.deepEqual(
        await flow.onMessage({ type: "offer-answer", id: 1, save: true }, next),
        { result: "unknown" },
        "saved once",
    );

    // A changed password offers "Update"; "Not now" saves nothing; an old offer is gone.
    await flow.onMessage({ type: "submitted", user: "known", password: "other" }, page);
    assert.equal(frames.of("offer").at(-1).offer.verdict, "changed");
    assert.deepEqual(await flow.onMessage({ type: "offer-answer", id: 2, save: false }, page), {
        result: "dismissed",
    });
    await flow.onMessage({ type: "submitted", user: "dave", password: "pw" }, page);
    clock.t += 121000;
    assert.equal((await flow.onMessage({ type: "hello" }, page)).offer, null);
    assert.deepEqual(await flow.onMessage({ type: "offer-answer", id: 3, save: true }, page), {
        result: "unknown",
    });
    assert.equal(saves.length, 1);

    // Nothing to offer from a frame of another site, or without a user name.
    assert.deepEqual(
        await flow.onMessage(
            { type: "submitted", user: "eve", password: "x" },
            sender("https://evil.example/", 2, PAGE),
        ),
        { result: "ignored" },
    );
    assert.deepEqual(await flow.onMessage({ type: "submitted", user: "", password: "x" }, page), {
        result: "ignored",
    });
});

test("a submitted login while the vault is logged out or away brings up nothing", async () => {
    for (const status of ["logged-out", "no-vault", "no-host"]) {
        const { flow, frames } = setUp({ check: { status } });
        assert.deepEqual(
            await flow.onMessage(
                { type: "submitted", user: "carol", password: "pw" },
                sender(PAGE),
            ),
            {
                result: "quiet",
            },
        );
        assert.equal(frames.sent.length, 0, status);
    }
});
