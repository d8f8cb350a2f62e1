// Finding the login fields on a table of login forms as sites build them.
"use strict";
const test = require("node:test");
const assert = require("node:assert/strict");
const Fields = require("../../browser-extension/lib/fields.js");

// A field record: a type and optional attributes; visible, enabled and in form 0 unless said.
function f(type, attrs = {}) {
    return {
        type,
        name: "",
        id: "",
        autocomplete: "",
        visible: true,
        enabled: true,
        form: 0,
        value: "",
        ...attrs,
    };
}

// Each form: its fields, the focused field (or none), and the fields to fill (by name).
const loginForms = [
    {
        what: "user name and password",
        fields: [f("text", { name: "username" }), f("password", { name: "password" })],
        expect: ["username", "password"],
    },
    {
        what: "e-mail sign-in below a search box of the page header, with remember-me",
        fields: [
            f("text", { name: "q", form: 0 }),
            f("email", { name: "email", autocomplete: "email", form: 1 }),
            f("password", { name: "pass", form: 1 }),
            f("checkbox", { name: "remember", form: 1 }),
        ],
        expect: ["email", "pass"],
    },
    {
        what: "a hidden honeypot user field before the real one",
        fields: [
            f("text", { name: "username", visible: false }),
            f("text", { name: "login" }),
            f("password", { name: "pw" }),
        ],
        expect: ["login", "pw"],
    },
    {
        what: "a hidden decoy password field",
        fields: [
            f("text", { name: "user" }),
            f("password", { name: "trap", visible: false }),
            f("password", { name: "pw" }),
        ],
        expect: ["user", "pw"],
    },
    {
        what: "the user name marked by autocomplete, after the password",
        fields: [
            f("password", { name: "pw", autocomplete: "current-password" }),
            f("text", { name: "account", autocomplete: "username" }),
        ],
        expect: ["account", "pw"],
    },
    {
        what: "no form element at all (a single-page application)",
        fields: [
            f("text", { id: "user", form: null }),
            f("password", { id: "secret", form: null }),
        ],
        expect: ["user", "secret"],
    },
    {
        what: "a one-time-code field between user name and password",
        fields: [
            f("text", { name: "username" }),
            f("text", { name: "otp_code" }),
            f("password", { name: "password" }),
        ],
        expect: ["username", "password"],
    },
    {
        what: "a read-only and a disabled field before the user name",
        fields: [
            f("text", { name: "tenant", enabled: false }),
            f("text", { name: "user" }),
            f("text", { name: "locked", enabled: false }),
            f("password", { name: "password" }),
        ],
        expect: ["user", "password"],
    },
    {
        what: "a telephone number as the user name",
        fields: [f("tel", { name: "phone" }), f("password", { name: "pin" })],
        expect: ["phone", "pin"],
    },
    {
        what: "two forms: the one with the focus is filled",
        fields: [
            f("text", { name: "user-a", form: 0 }),
            f("password", { name: "pw-a", form: 0 }),
            f("email", { name: "user-b", form: 1 }),
            f("password", { name: "pw-b", form: 1 }),
        ],
        focused: 2,
        expect: ["user-b", "pw-b"],
    },
    {
        what: "sign-in beside sign-up: the current password, not a new one",
        fields: [
            f("email", { name: "new-email", form: 0 }),
            f("password", { name: "new-pw", autocomplete: "new-password", form: 0 }),
            f("email", { name: "email", form: 1 }),
            f("password", { name: "pw", autocomplete: "current-password", form: 1 }),
        ],
        expect: ["email", "pw"],
    },
    {
        what: "change of password with the account name hidden: only the current password",
        fields: [
            f("text", { name: "username", autocomplete: "username", visible: false }),
            f("password", { name: "current", autocomplete: "current-password" }),
            f("password", { name: "new", autocomplete: "new-password" }),
            f("password", { name: "confirm", autocomplete: "new-password" }),
        ],
        expect: [null, "current"],
    },
    {
        what: "a user-name-first step: no password field, nothing to fill",
        fields: [f("email", { name: "identifier" }), f("text", { name: "q" })],
        expect: null,
    },
    {
        what: "a password field that is not shown",
        fields: [f("text", { name: "user" }), f("password", { name: "pw", visible: false })],
        expect: null,
    },
];

function name(fields, index) {
    return index === null ? null : fields[index].name || fields[index].id;
}

test("login fields on real-world forms", () => {
    for (const form of loginForms) {
        const found = Fields.loginFields(form.fields, form.focused ?? null);
        const got = found && [name(form.fields, found.user), name(form.fields, found.password)];
        assert.deepEqual(got, form.expect, form.what);
    }
});

test("the login of a submitted form", () => {
    const cases = [
        {
            what: "user name and password, blanks around the name dropped",
            fields: [
                f("text", { name: "u", value: " alice " }),
                f("password", { name: "p", value: " pw " }),
            ],
            expect: { user: "alice", password: " pw " },
        },
        {
            what: "no user name: nothing the vault could store",
            fields: [
                f("text", { name: "u", value: "" }),
                f("password", { name: "p", value: "pw" }),
            ],
            expect: null,
        },
        {
            what: "an empty password",
            fields: [
                f("text", { name: "u", value: "alice" }),
                f("password", { name: "p", value: "" }),
            ],
            expect: null,
        },
        {
            what: "sign-up: password and confirmation",
            fields: [
                f("email", { name: "e", value: "a@x.example" }),
                f("password", { name: "p1", value: "n3w" }),
                f("password", { name: "p2", value: "n3w" }),
            ],
            expect: { user: "a@x.example", password: "n3w" },
        },
        {
            what: "change of password: the new one counts",
            fields: [
                f("text", { name: "u", value: "alice" }),
                f("password", { name: "old", value: "0ld" }),
                f("password", { name: "new", value: "n3w" }),
                f("password", { name: "again", value: "n3w" }),
            ],
            expect: { user: "alice", password: "n3w" },
        },
        {
            what: "two different passwords with no mark: no guess",
            fields: [
                f("text", { name: "u", value: "alice" }),
                f("password", { name: "a", value: "one" }),
                f("password", { name: "b", value: "two" }),
            ],
            expect: null,
        },
        {
            what: "only the submitted form counts",
            fields: [
                f("text", { name: "u", value: "other", form: 1 }),
                f("password", { name: "p", value: "elsewhere", form: 1 }),
                f("text", { name: "u", value: "alice", form: 0 }),
                f("password", { name: "p", value: "pw", form: 0 }),
            ],
            expect: { user: "alice", password: "pw" },
        },
    ];
    for (const c of cases) assert.deepEqual(Fields.submittedLogin(c.fields, 0), c.expect, c.what);
});

test("a generated password goes into the focused password field and its confirmation", () => {
    const signUp = [f("email"), f("password", { autocomplete: "new-password" }), f("password")];
    assert.deepEqual(Fields.generatedFields(signUp, 1), [1, 2]);
    const filledNext = [f("password"), f("password", { value: "typed" })];
    assert.deepEqual(Fields.generatedFields(filledNext, 0), [0]);
    assert.equal(Fields.generatedFields(signUp, 0), null, "the focus is in no password field");
    const hidden = [f("password", { visible: false })];
    assert.equal(Fields.generatedFields(hidden, 0), null);
});
