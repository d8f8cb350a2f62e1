// The extension in each page and frame: it finds the login fields, fills them when the
// background says so, and shows the extension's notices, chooser and save bar. It acts on
// the user's own key presses and clicks only (events the browser marks as trusted) and on
// messages of the extension; nothing a page's script sends is taken as a request, and the
// page cannot see into the extension's elements (a closed shadow root).
(function () {
    "use strict";
    const ext = globalThis.browser || globalThis.chrome;
    const Fields = globalThis.KeyhavenFields;
    if (!ext || !Fields || globalThis.__keyhavenContent) return;
    globalThis.__keyhavenContent = true;

    // To the background; a background that is gone (the extension reloaded) answers nothing.
    function send(message) {
        return Promise.resolve()
            .then(() => ext.runtime.sendMessage(message))
            .catch(() => undefined);
    }

    const SKIPPED_TYPES = new Set([
        "hidden",
        "submit",
        "button",
        "reset",
        "image",
        "file",
        "checkbox",
        "radio",
        "range",
        "color",
    ]);

    function visible(el) {
        const rect = el.getBoundingClientRect();
        if (rect.width < 2 || rect.height < 2 || rect.right <= 0 || rect.bottom <= 0) return false;
        for (
            let node = el, depth = 0;
            node && node.nodeType === 1 && depth < 30;
            node = node.parentElement, depth++
        ) {
            const style = getComputedStyle(node);
            if (style.display === "none" || Number(style.opacity) < 0.1) return false;
            if (node === el && (style.visibility === "hidden" || style.visibility === "collapse"))
                return false;
        }
        return true;
    }

    // The page's inputs as field records (document order), and which one has the focus.
    function collect() {
        const elements = Array.from(document.querySelectorAll("input")).filter(
            (el) => !SKIPPED_TYPES.has((el.type || "text").toLowerCase()),
        );
        const forms = new Map();
        const records = elements.map((el) => {
            const form = el.form || null;
            if (form && !forms.has(form)) forms.set(form, forms.size);
            return {
                type: (el.type || "text").toLowerCase(),
                name: el.name || "",
                id: el.id || "",
                autocomplete: el.getAttribute("autocomplete") || "",
                visible: visible(el),
                enabled: !el.disabled && !el.readOnly,
                form: form ? forms.get(form) : null,
                value: el.value,
            };
        });
        const focusedIndex = elements.indexOf(document.activeElement);
        return { elements, records, focused: focusedIndex === -1 ? null : focusedIndex };
    }

    function setValue(el, value) {
        // The input's own setter, so that pages that watch their inputs see the change.
        const setter = Object.getOwnPropertyDescriptor(HTMLInputElement.prototype, "value").set;
        el.focus();
        setter.call(el, value);
        el.dispatchEvent(new Event("input", { bubbles: true }));
        el.dispatchEvent(new Event("change", { bubbles: true }));
    }

    // ---- The extension's own elements

    let stack = null;
    let hostElement = null;

    // The extension's boxes, one above the other at the top right of the page.
    function ui() {
        if (hostElement && hostElement.isConnected) return stack;
        hostElement = document.createElement("keyhaven-ui");
        hostElement.style.cssText =
            "all: initial; position: fixed; top: 0; right: 0; z-index: 2147483647;";
        const shadow = hostElement.attachShadow({ mode: "closed" });
        const style = document.createElement("style");
        style.textContent = `
            .stack { position: fixed; top: 12px; right: 12px; display: flex; flex-direction: column;
                     gap: 8px; align-items: flex-end; }
            .box { max-width: 340px; padding: 10px 12px; font: 13px/1.4 system-ui, sans-serif;
                   color: #1b1b1b; background: #fdfdfd; border: 1px solid #9aa7b8; border-radius: 6px;
                   box-shadow: 0 2px 10px rgba(0,0,0,.25); }
            .title { font-weight: 600; margin-bottom: 6px; }
            button { font: inherit; margin: 6px 6px 0 0; padding: 3px 10px; cursor: pointer; }
            .users button { display: block; width: 100%; text-align: left; margin: 4px 0 0 0; }`;
        shadow.appendChild(style);
        stack = document.createElement("div");
        stack.className = "stack";
        shadow.appendChild(stack);
        document.documentElement.appendChild(hostElement);
        return stack;
    }

    // A box of one kind (notice, chooser, bar) in place of the one shown before.
    function panel(kind, title) {
        const root = ui();
        for (const old of Array.from(root.querySelectorAll(".box." + kind))) old.remove();
        const box = document.createElement("div");
        box.className = "box " + kind;
        box.setAttribute("role", kind === "notice" ? "status" : "dialog");
        const head = document.createElement("div");
        head.className = "title";
        head.textContent = title;
        box.appendChild(head);
        root.appendChild(box);
        return box;
    }

    // A button that reacts to the user's own click only.
    function button(parent, label, action) {
        const b = document.createElement("button");
        b.type = "button";
        b.textContent = label;
        b.addEventListener("click", (e) => {
            if (e.isTrusted) action();
        });
        parent.appendChild(b);
        return b;
    }

    let noticeTimer = null;
    function notice(text) {
        const box = panel("notice", text);
        clearTimeout(noticeTimer);
        noticeTimer = setTimeout(() => box.remove(), 6000);
    }

    let pendingChoice = null;
    function choose(users, reply) {
        if (pendingChoice) pendingChoice(null);
        let answered = false;
        const box = panel("chooser", "Fill login from Keyhaven");
        const done = (user) => {
            if (answered) return;
            answered = true;
            pendingChoice = null;
            box.remove();
            reply({ user });
        };
        pendingChoice = done;
        const list = document.createElement("div");
        list.className = "users";
        box.appendChild(list);
        for (const user of users) button(list, user, () => done(user));
        button(box, "Cancel", () => done(null));
        const first = list.querySelector("button");
        if (first) first.focus();
    }

    function showOffer(offer) {
        const title =
            offer.verdict === "changed"
                ? "Update the password of " + offer.user + " in Keyhaven?"
                : "Save this login to Keyhaven?";
        const box = panel("bar", title);
        if (offer.verdict !== "changed" && offer.user) {
            const who = document.createElement("div");
            who.textContent = offer.user;
            box.appendChild(who);
        }
        const answer = (save) => {
            const message = { type: "offer-answer", id: offer.id, save };
            if (save && offer.generated) {
                const { records } = collect();
                const password = records.findIndex((r) => r.type === "password" && r.visible);
                const user = password === -1 ? null : Fields.userFieldFor(records, password);
                message.user = user === null ? "" : records[user].value.trim();
                if (!message.user) {
                    notice("Type the user name first, then save.");
                    return;
                }
            }
            box.remove();
            send(message);
        };
        button(box, offer.verdict === "changed" ? "Update" : "Save", () => answer(true));
        button(box, "Not now", () => answer(false));
    }

    // ---- Messages of the extension

    function fill(message) {
        if (location.origin !== message.origin) return false;
        const { elements, records, focused } = collect();
        const found = Fields.loginFields(records, focused);
        if (!found) return false;
        if (found.user !== null) setValue(elements[found.user], message.user);
        setValue(elements[found.password], message.password);
        return true;
    }

    function fillGenerated(message) {
        if (location.origin !== message.origin) return false;
        const { elements, records, focused } = collect();
        const targets = focused === null ? null : Fields.generatedFields(records, focused);
        if (!targets) return false;
        for (const i of targets) setValue(elements[i], message.password);
        elements[targets[0]].focus();
        return true;
    }

    ext.runtime.onMessage.addListener((message, sender, sendResponse) => {
        if (!sender || sender.id !== ext.runtime.id || sender.tab || !message) return false;
        switch (message.type) {
            case "probe": {
                const { records, focused } = collect();
                const found = Fields.loginFields(records, focused);
                sendResponse({ origin: location.origin, password: !!found });
                return false;
            }
            case "choose":
                if (location.origin !== message.origin) {
                    sendResponse({ user: null });
                    return false;
                }
                choose(message.users, sendResponse);
                return true;
            case "fill":
                sendResponse({ filled: fill(message) });
                return false;
            case "fill-generated":
                sendResponse({ filled: fillGenerated(message) });
                return false;
            case "notice":
                notice(String(message.text));
                sendResponse({});
                return false;
            case "offer":
                if (location.origin === message.origin) showOffer(message.offer);
                sendResponse({ shown: location.origin === message.origin });
                return false;
            case "command-fill": {
                // The command goes to every frame; the one with the focus asks. A page whose
                // focus is inside one of its frames has the focus too: that frame asks.
                const active = document.activeElement;
                const inFrame =
                    active instanceof HTMLIFrameElement || active instanceof HTMLFrameElement;
                if (document.hasFocus() && !inFrame) send({ type: "fill" });
                return false;
            }
        }
        return false;
    });

    // ---- The user's keys and forms

    window.addEventListener(
        "keydown",
        (e) => {
            if (!e.isTrusted) return;
            if (e.ctrlKey && e.shiftKey && !e.altKey && !e.metaKey && e.code === "KeyU") {
                e.preventDefault();
                if (!e.repeat) send({ type: "fill" });
            } else if (e.key === "Escape" && pendingChoice) {
                pendingChoice(null);
            } else if (
                e.key === "Enter" &&
                e.target instanceof HTMLInputElement &&
                e.target.type === "password"
            ) {
                captured(e.target.form || null);
            }
        },
        true,
    );

    let lastCapture = { key: "", time: 0 };
    // A form is being sent: its login goes to the background, which asks the vault whether
    // it is new or changed (and offers the save bar if so).
    function captured(form) {
        const { elements, records } = collect();
        const at = form ? elements.findIndex((el) => el.form === form) : -1;
        if (form && at === -1) return;
        const login = Fields.submittedLogin(records, form ? records[at].form : null);
        if (!login) return;
        const id = login.user + "\n" + login.password;
        if (id === lastCapture.key && Date.now() - lastCapture.time < 3000) return;
        lastCapture = { key: id, time: Date.now() };
        send({ type: "submitted", user: login.user, password: login.password });
    }

    window.addEventListener(
        "submit",
        (e) => {
            if (e.isTrusted && e.target instanceof HTMLFormElement) captured(e.target);
        },
        true,
    );
    window.addEventListener(
        "click",
        (e) => {
            if (!e.isTrusted || !(e.target instanceof Element)) return;
            const b = e.target.closest("button, input[type=submit]");
            if (b && b.form && (b.type === "submit" || b.tagName === "INPUT")) captured(b.form);
        },
        true,
    );

    // The answer to a form is often a new page: a save offer may be waiting for it.
    send({ type: "hello" }).then((reply) => {
        if (reply && reply.offer && reply.offer.origin === location.origin)
            showOffer(reply.offer.offer);
    });
})();
