// Finding the user-name and password fields of a page. The rules work on plain field
// records, which the content script makes from the page's inputs:
//   { type, name, id, autocomplete, visible, enabled, form, value }
// `type` is the input's type in lower case ("text" for a missing one), `form` a key shared
// by the fields of one form (null outside any form), `visible` and `enabled` what the user
// can see and type into. Indexes are in document order.
(function (root) {
    "use strict";

    const USER_TYPES = new Set(["text", "email", "tel"]);
    // Text fields near a login form that are no user name.
    const NOT_A_USER = /search|query|captcha|otp|one.?time|token|code|coupon|promo/i;

    function tokens(field) {
        return String(field.autocomplete || "")
            .toLowerCase()
            .split(/\s+/)
            .filter(Boolean);
    }

    function usable(field) {
        return !!field && field.visible === true && field.enabled === true;
    }

    function isPassword(field) {
        return usable(field) && field.type === "password";
    }

    function isUserField(field) {
        if (!usable(field) || !USER_TYPES.has(field.type)) return false;
        const t = tokens(field);
        if (t.includes("username") || t.includes("email")) return true;
        return !NOT_A_USER.test((field.name || "") + " " + (field.id || ""));
    }

    function sameForm(a, b) {
        return a.form === b.form;
    }

    // The user-name field that goes with the password field at `passwordIndex`: one marked
    // "username" in the same form, else the last user-type field before the password field
    // in the same form, else the first one after it.
    function userFieldFor(fields, passwordIndex) {
        const password = fields[passwordIndex];
        const inForm = [];
        fields.forEach((f, i) => {
            if (i !== passwordIndex && sameForm(f, password) && isUserField(f)) inForm.push(i);
        });
        const marked = inForm.find((i) => tokens(fields[i]).includes("username"));
        if (marked !== undefined) return marked;
        const before = inForm.filter((i) => i < passwordIndex);
        if (before.length) return before[before.length - 1];
        const after = inForm.filter((i) => i > passwordIndex);
        return after.length ? after[0] : null;
    }

    // The fields to fill with a login: { user, password } as indexes (user may be null), or
    // null when the page shows no password field. The focused field decides among several
    // forms; otherwise a field marked "current-password" and then the first password field
    // that is not marked for a new password.
    function loginFields(fields, focused) {
        const passwords = [];
        fields.forEach((f, i) => {
            if (isPassword(f)) passwords.push(i);
        });
        if (!passwords.length) return null;
        let password = null;
        const focusedField = focused === null || focused === undefined ? null : fields[focused];
        if (focusedField && isPassword(focusedField)) {
            password = focused;
        } else if (focusedField && isUserField(focusedField)) {
            password = passwords.find((i) => i > focused && sameForm(fields[i], focusedField));
            if (password === undefined) password = null;
        }
        if (password === null) {
            password = passwords.find((i) => tokens(fields[i]).includes("current-password"));
            if (password === undefined)
                password = passwords.find((i) => !tokens(fields[i]).includes("new-password"));
            if (password === undefined) password = passwords[0];
        }
        return { user: userFieldFor(fields, password), password };
    }

    // The login a submitted form carries: { user, password } as texts, or null when it has
    // no user name or no password. In a form with several password fields the new one
    // counts (a change of password: current, new, confirmation).
    function submittedLogin(fields, form) {
        const inForm = [];
        fields.forEach((f, i) => {
            if (f.form === form) inForm.push(i);
        });
        const passwords = inForm.filter((i) => isPassword(fields[i]) && fields[i].value !== "");
        if (!passwords.length) return null;
        let password = passwords[0];
        if (passwords.length > 1) {
            const marked = passwords.find((i) => tokens(fields[i]).includes("new-password"));
            if (marked !== undefined) password = marked;
            else if (passwords.length >= 3) password = passwords[1];
            else if (fields[passwords[0]].value === fields[passwords[1]].value)
                password = passwords[0];
            else return null; // two different passwords and no mark: nothing to tell which
        }
        const user = userFieldFor(fields, passwords[0]);
        const name = user === null ? "" : String(fields[user].value || "").trim();
        if (!name) return null;
        return { user: name, password: fields[password].value };
    }

    // The fields a generated password goes into: the focused password field, and the one
    // right after it in the same form when that one asks to confirm a new password (empty,
    // or marked "new-password"). Null when the focus is not in a password field.
    function generatedFields(fields, focused) {
        const field = fields[focused];
        if (!isPassword(field)) return null;
        const next = fields.findIndex((f, i) => i > focused && isPassword(f) && sameForm(f, field));
        if (
            next !== -1 &&
            (fields[next].value === "" || tokens(fields[next]).includes("new-password"))
        )
            return [focused, next];
        return [focused];
    }

    const api = { loginFields, submittedLogin, generatedFields, userFieldFor };
    if (typeof module !== "undefined" && module.exports) module.exports = api;
    else root.KeyhavenFields = api;
})(globalThis);
