#!/usr/bin/env python3
"""End to end: the browser extension in a real headless Chromium, Keyhaven.exe under Wine,
khbridge.exe as the native-messaging host between them.

The account holds two Link entries of a local site (http://127.0.0.1:A/): alice for its
login page and bob for the site. A second local server (port B) is another origin. The
host is registered in the test profile's NativeMessagingHosts by scripts/browser-host.sh,
as a user would register it. Chromium is driven through the DevTools protocol:

- Ctrl+Shift+U on the login page while no account is open: the page says to log in and
  the vault shows its login on top; once the user has logged in, the chooser shows both
  user names (no passwords) and the click on alice fills her user name and password;
- a login page of the other origin gets nothing (the vault has no login for it);
- the site's login page framed by a page of the other origin gets nothing: the frame is
  not the page's origin;
- a new login typed into the sign-up page and submitted brings up the save bar on the
  page that answers the form; its Save stores the login, and the account file holds it at
  once (read with the independent format reader);
- "Generate password" on the sign-up page's password field fills it with a password of
  the program's generator and offers to save it with the user name typed there.

In headless Chromium, Ctrl+Shift+U reaches the extension's keyboard command, not the
page; the command asks the focused frame to request its fill, so that the address comes
from the browser either way.

Needs DISPLAY and WINEPREFIX (scripts/test.sh provides both), chromium and
python3-websocket."""

import argparse
import getpass
import http.server
import json
import os
import shutil
import socket
import socketserver
import subprocess
import sys
import threading
import time
import urllib.request

try:
    import websocket
except ImportError:
    # The system's Python has python3-websocket; another one first on PATH may not.
    if os.path.exists("/usr/bin/python3") and os.path.realpath(sys.executable) != "/usr/bin/python3" \
            and not os.environ.get("KH_REEXEC"):
        os.environ["KH_REEXEC"] = "1"
        os.execv("/usr/bin/python3", ["/usr/bin/python3", *sys.argv])
    raise

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import khformat  # noqa: E402
from desktop import (LOGIN, MAIN, check, close_tip, failures, visible, wait_for_window, wait_until,  # noqa: E402
                     windows_path, xdotool)

ACCOUNT, PASSWORD = b"alice", b"s3cret!"
CTRL, SHIFT = 2, 8
# A user action may start Wine's host process on a busy machine: allow for it.
HOST_TIMEOUT = 120


# ---- The DevTools protocol

class DevTools:
    """One connection to the browser; pages are attached as flat sessions."""

    def __init__(self, port):
        deadline = time.time() + 120
        while True:
            try:
                with urllib.request.urlopen("http://127.0.0.1:%d/json/version" % port, timeout=5) as r:
                    url = json.load(r)["webSocketDebuggerUrl"]
                break
            except OSError:
                if time.time() > deadline:
                    raise
                time.sleep(0.3)
        self.ws = websocket.create_connection(url, timeout=HOST_TIMEOUT, suppress_origin=True)
        self.next_id = 0
        self.events = []

    def _receive(self):
        message = json.loads(self.ws.recv())
        if "id" not in message:
            self.events.append(message)
        return message

    def call(self, method, params=None, session=None):
        self.next_id += 1
        request = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            request["sessionId"] = session
        self.ws.send(json.dumps(request))
        while True:
            message = self._receive()
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise RuntimeError("%s: %s" % (method, message["error"]))
                return message.get("result", {})

    def pump(self, seconds):
        """Takes in events for a while."""
        self.ws.settimeout(seconds)
        try:
            self._receive()
        except websocket.WebSocketTimeoutException:
            pass
        finally:
            self.ws.settimeout(HOST_TIMEOUT)


class Page:
    def __init__(self, devtools, url):
        self.dt = devtools
        target = devtools.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = devtools.call("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        self.target = target
        self.call("Page.enable")
        self.call("Runtime.enable")
        # A headless page has no window that could hold the system's focus; a user's page
        # would have it while the user types into it.
        self.call("Emulation.setFocusEmulationEnabled", {"enabled": True})
        self.navigate(url)

    def call(self, method, params=None):
        return self.dt.call(method, params, self.session)

    def navigate(self, url):
        self.call("Page.navigate", {"url": url})
        self.wait_loaded(url)

    def wait_loaded(self, url_part=""):
        def loaded():
            try:
                state = self.evaluate("document.readyState + ' ' + location.href")
            except RuntimeError:
                return False
            return state.startswith("complete") and url_part in state
        return wait_until(loaded, 60)

    def frames(self):
        """The main frame's id and its children's, in document order."""
        tree = self.call("Page.getFrameTree")["frameTree"]
        return tree["frame"]["id"], [child["frame"]["id"] for child in tree.get("childFrames", [])]

    def contexts(self, frame_id):
        """The frame's page context and whether the extension's content script runs there."""
        page, extension = None, False
        for event in self.dt.events:
            if event.get("sessionId") != self.session:
                continue
            if event["method"] == "Runtime.executionContextCreated":
                context = event["params"]["context"]
                aux = context.get("auxData", {})
                if aux.get("frameId") != frame_id:
                    continue
                if aux.get("isDefault"):
                    page = context["id"]
                elif context.get("name") == "Keyhaven":
                    extension = True
            elif event["method"] == "Runtime.executionContextsCleared":
                page, extension = None, False
        return page, extension

    def wait_for_extension(self, frame_id):
        def ready():
            self.dt.pump(0.2)
            return self.contexts(frame_id)[1]
        return wait_until(ready, 60)

    def evaluate(self, expression, frame_id=None):
        params = {"expression": expression, "returnByValue": True}
        if frame_id is not None:
            params["contextId"] = self.contexts(frame_id)[0]
        result = self.call("Runtime.evaluate", params)
        if "exceptionDetails" in result:
            raise RuntimeError(str(result["exceptionDetails"]))
        return result["result"].get("value")

    def field_values(self, frame_id=None):
        return self.evaluate("[document.getElementById('user').value, document.getElementById('pass').value]",
                             frame_id)

    def click(self, x, y):
        for kind in ("mouseMoved", "mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent",
                      {"type": kind, "x": x, "y": y, "button": "left", "clickCount": 1})

    def click_element(self, element_id, frame_id=None, offset=(0, 0)):
        box = self.evaluate("(() => { const r = document.getElementById(%s).getBoundingClientRect();"
                            " return [r.left + r.width / 2, r.top + r.height / 2]; })()" % json.dumps(element_id),
                            frame_id)
        self.click(box[0] + offset[0], box[1] + offset[1])

    def ctrl_shift_u(self):
        for kind in ("rawKeyDown", "keyUp"):
            self.call("Input.dispatchKeyEvent",
                      {"type": kind, "modifiers": CTRL | SHIFT, "key": "U", "code": "KeyU",
                       "windowsVirtualKeyCode": 85, "nativeVirtualKeyCode": 85})

    def type_text(self, text):
        self.call("Input.insertText", {"text": text})

    def extension_ui(self):
        """The texts of the extension's elements in every frame, and its buttons: the
        content script's closed shadow roots, which only the browser's tools see into."""
        root = self.call("DOM.getDocument", {"depth": -1, "pierce": True})["root"]
        texts, buttons = [], []

        def walk(node, inside):
            if node.get("nodeName") == "KEYHAVEN-UI":
                inside = True
            if node.get("nodeName") == "STYLE":
                return
            if inside and node.get("nodeType") == 3:
                texts.append(node.get("nodeValue", ""))
            if inside and node.get("nodeName") == "BUTTON":
                label = "".join(c.get("nodeValue", "") for c in node.get("children", []) if c.get("nodeType") == 3)
                buttons.append((label, node["backendNodeId"]))
            for child in node.get("children", []) + node.get("shadowRoots", []):
                walk(child, inside)
            if "contentDocument" in node:
                walk(node["contentDocument"], False)

        walk(root, False)
        return texts, buttons

    def wait_for_ui_text(self, text, timeout=HOST_TIMEOUT):
        return wait_until(lambda: any(text in t for t in self.extension_ui()[0]), timeout)

    def click_ui_button(self, label):
        for text, node in self.extension_ui()[1]:
            if text == label:
                quad = self.call("DOM.getBoxModel", {"backendNodeId": node})["model"]["content"]
                self.click((quad[0] + quad[4]) / 2, (quad[1] + quad[5]) / 2)
                return True
        return False

    def screenshot(self, path):
        import base64
        data = self.call("Page.captureScreenshot", {"format": "png"})["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))

    def close(self):
        self.dt.call("Target.closeTarget", {"targetId": self.target})


# ---- The local sites

LOGIN_FORM = """<!doctype html><html><head><meta charset="utf-8"><title>%s</title></head>
<body style="font: 15px sans-serif; margin: 40px"><h1>%s</h1>
<form method="post" action="/welcome">
<p><label>User name <input type="text" name="username" id="user" autocomplete="username"></label></p>
<p><label>Password <input type="password" name="password" id="pass"></label></p>
<p><button type="submit" id="go">Sign in</button></p>
</form></body></html>"""


def serve(pages):
    """A web server on 127.0.0.1 for `pages` (path -> HTML, with {A} and {B} replaced by
    the two sites' addresses once both are known); returns it with its port."""
    class Handler(http.server.BaseHTTPRequestHandler):
        def answer(self):
            body = pages.get(self.path.split("?")[0])
            if body is None:
                self.send_error(404)
                return
            body = body.replace("{A}", sites["A"]).replace("{B}", sites["B"]).encode()
            self.send_response(200)
            self.send_header("Content-Type", "text/html; charset=utf-8")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def do_GET(self):
            self.answer()

        def do_POST(self):
            self.rfile.read(int(self.headers.get("Content-Length", "0")))
            self.answer()

        def log_message(self, *args):
            pass

    server = socketserver.ThreadingTCPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, server.server_address[1]


sites = {}


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--format-doc", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--screenshots")
    parser.add_argument("--source", required=True)
    parser.add_argument("--khbridge", help="default: tools/khbridge/khbridge.exe of the --exe build")
    args = parser.parse_args()
    for name in ("exe", "format_doc", "work", "source"):
        setattr(args, name, os.path.abspath(getattr(args, name)))
    if not os.environ.get("DISPLAY") or not os.environ.get("WINEPREFIX"):
        print("needs DISPLAY and WINEPREFIX: run through scripts/test.sh")
        return 1
    chromium = shutil.which("chromium")
    if not check(chromium is not None, "chromium is installed (scripts/setup.sh)"):
        return 1
    bridge = args.khbridge or os.path.join(os.path.dirname(args.exe), "..", "tools", "khbridge", "khbridge.exe")
    if not check(os.path.exists(bridge), "khbridge.exe is built (%s)" % bridge):
        return 1

    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    users = os.path.join(os.environ["WINEPREFIX"], "drive_c", "users")
    for user in os.listdir(users) if os.path.isdir(users) else []:
        shutil.rmtree(os.path.join(users, user, "AppData", "Roaming", "Keyhaven"), ignore_errors=True)
    vault = os.path.join(args.work, "vault.khk")
    # The program starts with no account open; the login it offers is this vault's.
    profile = os.path.join(users, getpass.getuser(), "AppData", "Roaming", "Keyhaven")
    os.makedirs(profile, exist_ok=True)
    with open(os.path.join(profile, "config.ini"), "w", newline="\r\n") as f:
        f.write("[Setting]\nTip=0\nWizard=0\nWithIE=0\n[Account]\nLast=%s\nLastTitle=alice\n"
                % windows_path(vault))

    site_a, port_a = serve({
        "/login": LOGIN_FORM % ("Sign in", "Sign in"),
        "/signup": LOGIN_FORM % ("Sign up", "Sign up"),
        "/welcome": "<!doctype html><title>Welcome</title><h1>Welcome</h1>",
    })
    site_b, port_b = serve({
        "/login": LOGIN_FORM % ("Another site", "Another site"),
        "/framed": "<!doctype html><title>Framed</title><h1>Another site framing the login</h1>"
                   "<iframe id='frame' src='{A}/login' width='640' height='360'></iframe>",
    })
    sites["A"], sites["B"] = "http://127.0.0.1:%d" % port_a, "http://127.0.0.1:%d" % port_b
    a, b = sites["A"], sites["B"]

    fmt = khformat.Format(args.format_doc)
    with open(vault, "wb") as f:
        f.write(khformat.write_account(fmt, ACCOUNT, PASSWORD, b"extension vault", b"", [
            (2, b"alice", b"127.0.0.1", b"pw-alice-1", (a + "/login").encode()),
            (2, b"bob", b"127.0.0.1", b"pw-bob-2", (a + "/").encode()),
        ]))

    def on_disk():
        with open(vault, "rb") as f:
            return khformat.read_account(fmt, f.read(), ACCOUNT, PASSWORD)["entries"]

    # The host as a user registers it, here for the test profile only.
    chrome_profile = os.path.join(args.work, "chromium")
    registered = subprocess.run(
        [os.path.join(args.source, "scripts", "browser-host.sh"), "install", "--exe", bridge,
         "--prefix", os.environ["WINEPREFIX"], "--wrapper", os.path.join(args.work, "khbridge-host"),
         "--chrome-dir", os.path.join(chrome_profile, "NativeMessagingHosts")],
        capture_output=True, text=True)
    if not check(registered.returncode == 0, "scripts/browser-host.sh registers the host (%s)"
                 % registered.stderr.strip()):
        return 1

    program = subprocess.Popen(["wine", args.exe], cwd=args.work, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    browser = None
    try:
        if not check(wait_for_window(MAIN) is not None, "the main window is there, no account open"):
            return 1
        close_tip()

        port = free_port()
        browser = subprocess.Popen(
            [chromium, "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
             "--no-default-browser-check", "--disable-background-networking", "--disable-sync",
             "--disable-component-update", "--disable-default-apps", "--password-store=basic",
             "--load-extension=" + os.path.join(args.source, "browser-extension"),
             "--user-data-dir=" + chrome_profile, "--remote-debugging-port=%d" % port,
             "--window-size=1100,800", "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=open(os.path.join(args.work, "chromium.log"), "w"))
        devtools = DevTools(port)

        # --- Fill while logged out: the vault's login on top, then the chooser and alice's login.
        page = Page(devtools, a + "/login")
        main_frame, _ = page.frames()
        if not check(page.wait_for_extension(main_frame), "the extension's content script runs in the page"):
            return 1
        page.click_element("user")
        page.ctrl_shift_u()
        check(page.wait_for_ui_text("Log in to Keyhaven to fill this page."),
              "with no account open the page says so")
        window = wait_for_window(LOGIN, HOST_TIMEOUT)
        if not check(window is not None, "and the vault shows its login"):
            return 1
        state = subprocess.run(["xprop", "-id", window, "_NET_WM_STATE"], capture_output=True, text=True).stdout
        check("_NET_WM_STATE_ABOVE" in state, "on top of the other windows (%s)" % state.strip())
        # The dialog offers the last account with the focus in its password box.
        logged_in = False
        for _ in range(3):
            time.sleep(1)  # keys typed before the dialog takes input are lost
            xdotool("windowfocus", "--sync", window)
            xdotool("key", "ctrl+a", "BackSpace")
            xdotool("type", "--delay", "40", PASSWORD.decode())
            xdotool("key", "Return")
            logged_in = wait_until(lambda: not visible(LOGIN), 10)
            if logged_in:
                break
        # Each request left waiting in the vault's login would hold the next ones up.
        if not check(logged_in, "the user types the password and the login closes"):
            return 1
        chooser = page.wait_for_ui_text("Fill login from Keyhaven")
        texts, buttons = page.extension_ui()
        if not check(chooser and [label for label, _ in buttons] == ["alice", "bob", "Cancel"],
                     "Ctrl+Shift+U shows the chooser with both user names (%r)" % texts):
            return 1
        check(not any("pw-" in t for t in texts), "the chooser shows no password")
        if args.screenshots:
            os.makedirs(args.screenshots, exist_ok=True)
            page.screenshot(os.path.join(args.screenshots, "extension-chooser.png"))
        page.click_ui_button("alice")
        check(wait_until(lambda: page.field_values() == ["alice", "pw-alice-1"], HOST_TIMEOUT),
              "picking alice fills her user name and password (%r)" % page.field_values())

        # --- Another origin: nothing.
        page.navigate(b + "/login")
        main_frame, _ = page.frames()
        page.wait_for_extension(main_frame)
        page.click_element("user")
        page.ctrl_shift_u()
        check(page.wait_for_ui_text("Keyhaven has no login for this page."),
              "a login page of another origin: the extension says it has no login")
        check(page.field_values() == ["", ""], "and fills nothing (%r)" % page.field_values())

        # --- The site's login page framed by the other origin: nothing.
        page.navigate(b + "/framed")
        main_frame, children = page.frames()
        if check(len(children) == 1 and page.wait_for_extension(children[0]),
                 "the extension runs in the framed login page"):
            frame = children[0]
            wait_until(lambda: page.contexts(frame)[0] is not None and
                       page.evaluate("document.readyState", frame) == "complete", 60)
            origin = page.evaluate("(() => { const r = document.getElementById('frame').getBoundingClientRect();"
                                   " return [r.left + document.getElementById('frame').clientLeft,"
                                   " r.top + document.getElementById('frame').clientTop]; })()")
            page.click_element("user", frame, offset=origin)
            check(page.evaluate("document.activeElement && document.activeElement.id", frame) == "user",
                  "the click puts the focus into the frame's user field")
            page.ctrl_shift_u()
            check(page.wait_for_ui_text("Keyhaven does not fill a frame of another site."),
                  "a frame of another origin than the page: the extension refuses")
            page.dt.pump(2)
            check(page.field_values(frame) == ["", ""],
                  "the framed login page gets nothing (%r)" % page.field_values(frame))

        # --- A new login submitted on the sign-up page: the save bar, then the file.
        page.navigate(a + "/signup")
        main_frame, _ = page.frames()
        page.wait_for_extension(main_frame)
        page.click_element("user")
        page.type_text("carol")
        page.click_element("pass")
        page.type_text("N3w-pass!")
        before = os.path.getmtime(vault)
        page.click_element("go")
        page.wait_loaded("/welcome")
        bar = page.wait_for_ui_text("Save this login to Keyhaven?")
        check(bar and "/welcome" in page.evaluate("location.href"),
              "the page that answers the form offers to save the login")
        if args.screenshots:
            page.screenshot(os.path.join(args.screenshots, "extension-save-bar.png"))
        check(page.click_ui_button("Save"), "the bar has a Save button")
        check(page.wait_for_ui_text("Saved to Keyhaven."), "the extension says the login is saved")
        check(wait_until(lambda: os.path.getmtime(vault) != before, 10), "the account file is written at once")
        entries = on_disk()
        added = [e for e in entries if e["title"] == b"carol"]
        check(len(entries) == 3 and len(added) == 1 and added[0]["type"] == 2
              and added[0]["data"] == b"N3w-pass!" and added[0]["description"] == (a + "/signup").encode(),
              "the file holds the new Link entry for the sign-up page: %r" % added)

        # --- Generate: the context menu's handler, called as a click on the menu calls it
        # (headless Chromium shows no menu to click), on the focused password field.
        page.navigate(a + "/signup")
        main_frame, _ = page.frames()
        page.wait_for_extension(main_frame)
        page.click_element("user")
        page.type_text("dora")
        page.click_element("pass")
        worker = [t for t in devtools.call("Target.getTargets")["targetInfos"]
                  if t["type"] == "service_worker" and t["url"].endswith("/background.js")]
        if check(len(worker) == 1, "the extension's background runs"):
            background = devtools.call("Target.attachToTarget",
                                       {"targetId": worker[0]["targetId"], "flatten": True})["sessionId"]
            menu = ("chrome.tabs.query({}).then(tabs => tabs.find(t => (t.url || '').endsWith('/signup')))"
                    ".then(tab => flow.onMenu('keyhaven-generate', {frameId: 0, pageUrl: tab.url,"
                    " editable: true}, tab))")
            result = devtools.call("Runtime.evaluate", {"expression": menu, "awaitPromise": True,
                                                        "returnByValue": True}, background)
            generated = page.field_values()[1]
            check(result.get("result", {}).get("value") == "filled" and len(generated) == 15
                  and all(c.isalnum() or c in "#$%&'()*+" for c in generated),
                  "Generate password fills the field with 15 characters of the generator (%r)" % result)
            check(page.wait_for_ui_text("Save this login to Keyhaven?"), "and offers to save the login")
            before = os.path.getmtime(vault)
            page.click_ui_button("Save")
            check(page.wait_for_ui_text("Saved to Keyhaven."), "the generated login is saved")
            wait_until(lambda: os.path.getmtime(vault) != before, 10)
            dora = [e for e in on_disk() if e["title"] == b"dora"]
            check(len(dora) == 1 and dora[0]["data"] == generated.encode(),
                  "the file holds the generated password for the user name of the page: %r" % dora)
        page.close()
    finally:
        if browser is not None:
            browser.terminate()
            try:
                browser.wait(20)
            except subprocess.TimeoutExpired:
                browser.kill()
                browser.wait()
        if program.poll() is None:
            program.kill()
            program.wait()
        site_a.shutdown()
        site_b.shutdown()
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
