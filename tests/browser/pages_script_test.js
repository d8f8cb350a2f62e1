// The page templates' scripts, run as the browser runs them from its context menu: with
// external.menuArguments set to the clicked page's window, a bridge object, and the
// browser's alert, confirm and prompt. The slots are filled with "T1", "T2"... in order,
// so that each check also shows which text a dialog used.
"use strict";
const assert = require("assert");
const fs = require("fs");
const path = require("path");
const vm = require("vm");

const htmlDir = process.argv[2];

function filledScript(name) {
    const page = fs.readFileSync(path.join(htmlDir, name), "latin1");
    let n = 0;
    const filled = page.replace(/%([%s])/g, (_, c) => (c === "%" ? "%" : "T" + ++n));
    const m = /<script[^>]*>([\s\S]*?)<\/script>/i.exec(filled);
    assert(m, name + ": no script");
    return m[1];
}

function input(type, value) {
    return { tagName: "INPUT", type: type, value: value, form: null };
}

function loginForm(fields) {
    const form = { elements: fields };
    for (const f of fields) f.form = form;
    return form;
}

class FakeBridge {
    constructor(logins) {
        this.logins = logins; // [{user, password, url}]
        this.calls = [];
        this.UserName = "";
        this.Password = "";
    }
    GetByTitle(user, url) {
        this.calls.push(["GetByTitle", user, url]);
        return this.answer(this.logins.find((l) => l.user.startsWith(user) && l.url === url));
    }
    FindByPage(url) {
        this.calls.push(["FindByPage", url]);
        return this.answer(this.logins.find((l) => l.url === url));
    }
    answer(login) {
        if (!login) return false;
        this.UserName = login.user;
        this.Password = login.password;
        return true;
    }
    CheckLogin(user, url) {
        this.calls.push(["CheckLogin", user, url]);
        return this.logins.some((l) => l.user === user && l.url === url) ? 1 : 0;
    }
    SaveLogin(user, password, url) {
        this.calls.push(["SaveLogin", user, password, url]);
        return true;
    }
    Clear() {
        this.calls.push(["Clear"]);
        this.UserName = this.Password = "";
    }
}

// Runs a page against a clicked field. `answers` scripts confirm (booleans) and prompt
// (texts) in the order they are asked.
function runPage(name, { fields, clicked, bridge, answers = [], search = "" }) {
    const dialogs = [];
    const next = () => (answers.length ? answers.shift() : assert.fail("unexpected dialog"));
    const win = {
        document: {
            activeElement: clicked,
            getElementsByTagName: () => fields,
        },
        event: { srcElement: clicked },
        location: {
            protocol: "https:",
            host: "example.com",
            pathname: "/login",
            search: search,
            href: "https://example.com/login" + search,
        },
    };
    const sandbox = {
        external: { menuArguments: win },
        ActiveXObject: function (progId) {
            assert.strictEqual(progId, "Keyhaven.Bridge");
            if (!bridge) throw new Error("not registered");
            return bridge;
        },
        alert: (t) => dialogs.push(["alert", t]),
        confirm: (t) => (dialogs.push(["confirm", t]), next()),
        prompt: (t) => (dialogs.push(["prompt", t]), next()),
        Uint8Array: Uint8Array,
    };
    sandbox.window = { crypto: require("crypto").webcrypto };
    vm.runInNewContext(filledScript(name), sandbox);
    assert.strictEqual(answers.length, 0, name + ": scripted answers left over");
    return dialogs;
}

const page = "https://example.com/login";
const tests = [];
const test = (what, body) => tests.push([what, body]);

test("KHGet fills the login of the typed user", () => {
    const user = input("text", " alice ");
    const pass = input("password", "");
    loginForm([input("hidden", "x"), user, pass]);
    const bridge = new FakeBridge([{ user: "alice@example.com", password: "pw", url: page }]);
    const dialogs = runPage("KHGet.htm", { fields: [user, pass], clicked: pass, bridge });
    assert.deepStrictEqual(dialogs, []);
    assert.strictEqual(user.value, "alice@example.com");
    assert.strictEqual(pass.value, "pw");
    assert.deepStrictEqual(bridge.calls, [["GetByTitle", "alice", page], ["Clear"]]);
});

test("KHGet with an empty user box takes the page's login, without query or fragment", () => {
    const user = input("email", "");
    const pass = input("password", "");
    loginForm([user, pass]);
    const bridge = new FakeBridge([{ user: "bob", password: "pw-bob", url: page }]);
    runPage("KHGet.htm", { fields: [user, pass], clicked: user, bridge, search: "?sid=1" });
    assert.deepStrictEqual(bridge.calls[0], ["FindByPage", page]);
    assert.strictEqual(user.value, "bob");
    assert.strictEqual(pass.value, "pw-bob");
});

test("KHGet says so when nothing is found or there is no bridge", () => {
    const user = input("text", "carol");
    const pass = input("password", "");
    loginForm([user, pass]);
    const bridge = new FakeBridge([]);
    let dialogs = runPage("KHGet.htm", { fields: [user, pass], clicked: pass, bridge });
    assert.deepStrictEqual(dialogs, [["alert", "T2"]]);
    assert.strictEqual(user.value, "carol");
    assert.strictEqual(pass.value, "");
    dialogs = runPage("KHGet.htm", { fields: [user, pass], clicked: pass, bridge: null });
    assert.deepStrictEqual(dialogs, [["alert", "T1"]]);
});

test("KHSave stores the form's login after a confirmation that hides the password", () => {
    const user = input("text", "dave");
    const pass = input("password", "s3cret");
    loginForm([user, pass]);
    const bridge = new FakeBridge([]);
    const dialogs = runPage("KHSave.htm", {
        fields: [user, pass], clicked: pass, bridge, answers: [true],
    });
    assert.strictEqual(dialogs[0][0], "confirm");
    assert.strictEqual(dialogs[0][1], "T5\n\nT3: dave\nT4: ******\nT6: " + page);
    assert.deepStrictEqual(dialogs[1], ["alert", "T9"]);
    assert.deepStrictEqual(bridge.calls, [
        ["CheckLogin", "dave", page],
        ["SaveLogin", "dave", "s3cret", page],
    ]);
});

test("KHSave asks for what the form lacks and for leave to overwrite", () => {
    const pass = input("password", "");
    loginForm([pass]);
    const bridge = new FakeBridge([{ user: "erin", password: "old", url: page }]);
    const dialogs = runPage("KHSave.htm", {
        fields: [pass], clicked: pass, bridge, answers: [" erin ", "new", true, false],
    });
    assert.deepStrictEqual(dialogs.map((d) => d[1]).slice(0, 2), ["T1", "T2"]);
    assert.strictEqual(dialogs[3][1], "T7\nT8?");
    assert(!bridge.calls.some((c) => c[0] === "SaveLogin"), "declined overwrite saved");
});

test("KHSave refuses a password longer than the request block holds", () => {
    const user = input("text", "frank");
    const pass = input("password", "p".repeat(80));
    loginForm([user, pass]);
    const bridge = new FakeBridge([]);
    const dialogs = runPage("KHSave.htm", { fields: [user, pass], clicked: pass, bridge });
    assert.deepStrictEqual(dialogs, [["alert", "T10"]]);
    assert.deepStrictEqual(bridge.calls, []);
});

test("KHGen puts a random password into the field and saves that one", () => {
    const user = input("text", "gina");
    const pass = input("password", "");
    loginForm([user, pass]);
    const bridge = new FakeBridge([]);
    const dialogs = runPage("KHGen.htm", {
        fields: [user, pass], clicked: pass, bridge, answers: [true],
    });
    assert.match(pass.value, /^[A-HJ-NP-Za-km-z2-9]{16}$/);
    assert.strictEqual(dialogs[0][1], "T11\n\nT2: gina\nT3: ****************\nT5: " + page +
        "\n\nT12?");
    assert.deepStrictEqual(dialogs[1], ["alert", "T8"]);
    assert.deepStrictEqual(bridge.calls[1], ["SaveLogin", "gina", pass.value, page]);

    const again = input("password", "");
    loginForm([input("text", "gina"), again]);
    runPage("KHGen.htm", { fields: [again], clicked: again, bridge, answers: [false] });
    assert.notStrictEqual(again.value, pass.value, "two runs gave the same password");
    // 32 draws from 57 characters: fewer than 15 different ones is next to impossible
    // unless part of the alphabet is never drawn.
    assert(new Set(pass.value + again.value).size >= 15, "too few characters used");
});

test("KHGen asks before filling a field that is not a password box", () => {
    const user = input("text", "henry");
    loginForm([user]);
    const bridge = new FakeBridge([]);
    const dialogs = runPage("KHGen.htm", {
        fields: [user], clicked: user, bridge, answers: [false],
    });
    assert.deepStrictEqual(dialogs, [["confirm", "T10?"]]);
    assert.strictEqual(user.value, "henry");
    assert.deepStrictEqual(bridge.calls, []);
});

test("KHGen asks for a title when there is no user box, and for leave to overwrite", () => {
    const pass = input("password", "");
    loginForm([pass]);
    const bridge = new FakeBridge([{ user: "ivy", password: "old", url: page }]);
    const dialogs = runPage("KHGen.htm", {
        fields: [pass], clicked: pass, bridge, answers: [true, "ivy", true],
    });
    assert.deepStrictEqual(dialogs[1], ["prompt", "T1"]);
    assert.strictEqual(dialogs[2][1], "T4\n\nT6\nT7?");
    assert.deepStrictEqual(bridge.calls[1], ["SaveLogin", "ivy", pass.value, page]);
});

let failed = 0;
for (const [what, body] of tests) {
    try {
        body();
        console.log("ok   " + what);
    } catch (e) {
        failed++;
        console.log("FAIL " + what + "\n" + e.stack);
    }
}
process.exit(failed ? 1 : 0);
