#!/usr/bin/env python3
"""End to end under Wine: Keyhaven.exe and a browser bridge (khbridge.exe, from the same
build). The program runs from a folder of its own with the page templates the build put
beside it. First the start options for the browser's context menu, read back with
`wine reg query`; then, with the program running and no account open: the status form,
a Get that brings the login dialog up on top and is answered once the user has typed the
password (a user name that begins a Link title, on another page of its site, gets the
whole title back), saves that add and replace a login and reach the file at once (read
with the independent format reader), and Check for a login that exists and one that does
not. Last, a language file renames the menu entries and the pages are written with its
texts.

Needs DISPLAY and WINEPREFIX (scripts/test.sh provides both)."""

import argparse
import glob
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import khformat  # noqa: E402
from desktop import MAIN, LOGIN, check, failures, visible, wait_for_window, wait_until, windows_path, xdotool  # noqa: E402

MENU_EXT = r"HKCU\Software\Microsoft\Internet Explorer\MenuExt"
ENGLISH = {"Get Password From Keyhaven": "KHGet.htm",
           "Generate Password By Keyhaven": "KHGen.htm",
           "Save Password To Keyhaven": "KHSave.htm"}
ACCOUNT, PASSWORD = b"alice", b"s3cret!"


def menu_entry(caption):
    """(default value, Contexts) of a context-menu entry; None when it is missing."""
    result = subprocess.run(["wine", "reg", "query", MENU_EXT + "\\" + caption],
                            capture_output=True, text=True, stdin=subprocess.DEVNULL)
    if result.returncode != 0:
        return None
    page, contexts = None, None
    for line in result.stdout.splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) == 3 and parts[1] == "REG_SZ" and parts[0] in ("(Default)", "@"):
            page = parts[2]
        elif len(parts) == 3 and parts[0] == "Contexts" and parts[1] == "REG_DWORD":
            contexts = int(parts[2], 16)
    return page, contexts


class Bridge:
    def __init__(self, exe):
        self.exe = exe

    def start(self, *args, stdin=None):
        return subprocess.Popen(["wine", self.exe, *args], stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True,
                                stdin=subprocess.PIPE if stdin is not None else subprocess.DEVNULL)

    def run(self, *args, stdin=None, timeout=60):
        process = self.start(*args, stdin=stdin)
        try:
            out, err = process.communicate(stdin, timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            out, err = process.communicate()
            return None, out, err
        return process.returncode, out, err


def fields(out):
    values = {}
    for line in (out or "").replace("\r", "").splitlines():
        key, _, value = line.partition(": ")
        values[key] = value
    return values


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--format-doc", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--screenshots")
    parser.add_argument("--source")
    parser.add_argument("--khbridge",
                        help="default: tools/khbridge/khbridge.exe of the --exe build")
    args = parser.parse_args()
    if not os.environ.get("DISPLAY") or not os.environ.get("WINEPREFIX"):
        print("needs DISPLAY and WINEPREFIX: run through scripts/test.sh")
        return 1
    bridge_exe = args.khbridge or os.path.join(os.path.dirname(os.path.abspath(args.exe)), "..",
                                               "tools", "khbridge", "khbridge.exe")
    if not check(os.path.exists(bridge_exe), "khbridge.exe is built (%s)" % bridge_exe):
        return 1
    bridge = Bridge(bridge_exe)

    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    users = os.path.join(os.environ["WINEPREFIX"], "drive_c", "users")
    for user in os.listdir(users) if os.path.isdir(users) else []:
        shutil.rmtree(os.path.join(users, user, "AppData", "Roaming", "Keyhaven"), ignore_errors=True)

    # The program in a folder of its own, with the templates the build copied beside it.
    templates = os.path.join(os.path.dirname(os.path.abspath(args.exe)), "html")
    if not check(all(os.path.exists(os.path.join(templates, page)) for page in ENGLISH.values()),
                 "the build puts html\\ with the three templates beside Keyhaven.exe"):
        return 1
    program_dir = os.path.join(args.work, "program")
    os.makedirs(program_dir)
    exe = os.path.join(program_dir, "Keyhaven.exe")
    shutil.copy(args.exe, exe)
    shutil.copytree(templates, os.path.join(program_dir, "html"))
    folder = windows_path(program_dir) + "\\"

    def run_option(option):
        result = subprocess.run(["wine", exe, option], stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        return result.returncode

    def entries_are(expected, what):
        found = {caption: menu_entry(caption) for caption in ENGLISH}
        wanted = {caption: (folder + page, 4) if expected else None
                  for caption, page in ENGLISH.items()}
        return check(found == wanted, what + ": %r" % found)

    def config():
        paths = glob.glob(os.path.join(users, "*", "AppData", "Roaming", "Keyhaven", "config.ini"))
        return paths[0] if paths else None

    # --- The start options: each ends the program once its work is done.
    check(run_option("/RemoveIE") == 0, "/RemoveIE ends with exit code 0")
    entries_are(False, "/RemoveIE leaves no context-menu entry")
    ini = config()
    if not check(ini is not None, "the ended start wrote config.ini"):
        return 1
    vault = os.path.join(args.work, "vault.khk")
    with open(ini, "w", newline="\r\n") as f:
        f.write("[Setting]\nWithIE=0\nWizard=0\nTip=0\n[Account]\nLast=%s\nLastTitle=alice\n"
                % windows_path(vault))
    check(run_option("/UpdateIE") == 0, "/UpdateIE ends with exit code 0")
    entries_are(False, "/UpdateIE with WithIE off registers nothing")
    check(run_option("/ForceIE") == 0, "/ForceIE ends with exit code 0")
    entries_are(True, "/ForceIE registers the three entries, pointing at the program folder")
    with open(ini, encoding="cp1252") as f:
        check("WithIE=1" in f.read().replace(" ", ""), "/ForceIE turns WithIE on in config.ini")
    check(run_option("/RemoveIE") == 0, "/RemoveIE ends with exit code 0")
    entries_are(False, "/RemoveIE removes them again")

    # --- Requests to the running program.
    fmt = khformat.Format(args.format_doc)
    stored = [
        (2, b"alice@shop.example.com", b"", b"pw-shop", b"https://shop.example.com/login"),
        (1, b"Mail", b"", b"pw-mail", b"webmail"),
        (2, b"bob", b"", b"pw-bob", b"https://other.example.org/"),
    ]
    with open(vault, "wb") as f:
        f.write(khformat.write_account(fmt, ACCOUNT, PASSWORD, b"browser vault", b"", stored))

    def on_disk():
        with open(vault, "rb") as f:
            return khformat.read_account(fmt, f.read(), ACCOUNT, PASSWORD)["entries"]

    program = subprocess.Popen(["wine", exe], cwd=args.work, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        if not check(wait_for_window(MAIN) is not None, "the main window is there"):
            return 1
        entries_are(True, "building the main window with WithIE on registers the entries")
        check(os.path.exists(os.path.join(program_dir, "KHGet.htm")),
              "the browser pages are written at the first start, in English")

        code, out, _ = bridge.run("status")
        check(code == 1 and fields(out).get("answer") == "0",
              "status with no account open answers 0 (%r)" % out)

        # Get while logged out: the login dialog comes up on top; the user types.
        get = bridge.start("get", "--user", "ALICE", "--url", "https://shop.example.com/cart/view")
        login = wait_for_window(LOGIN, 30)
        if check(login is not None, "a Get with no account open shows the login dialog"):
            state = subprocess.run(["xprop", "-id", login, "_NET_WM_STATE"],
                                   capture_output=True, text=True).stdout
            check("_NET_WM_STATE_ABOVE" in state,
                  "the login dialog stays on top (%s)" % state.strip())
            closed = False
            for _ in range(3):
                time.sleep(1)  # keys typed before the dialog takes input are lost
                xdotool("windowfocus", "--sync", login)
                xdotool("key", "ctrl+a", "BackSpace")
                xdotool("type", "--delay", "40", PASSWORD.decode())
                xdotool("key", "Return")
                closed = wait_until(lambda: not visible(LOGIN), 10)
                if closed:
                    break
            check(closed, "the login dialog closes after the password and Enter")
        try:
            out, _ = get.communicate(timeout=60)
        except subprocess.TimeoutExpired:
            get.kill()
            out, _ = get.communicate()
        got = fields(out)
        check(get.returncode == 0 and got.get("answer") == "1"
              and got.get("completion") == "0x1621",
              "the Get is answered once the account is open (%r)" % out)
        check(got.get("user") == "alice@shop.example.com" and got.get("password") == "pw-shop",
              "a user name that begins a Link title gets the whole title and its password")

        code, out, _ = bridge.run("status")
        check(code == 0 and fields(out).get("logged in") == "yes", "status now answers 1")

        # Saves reach the file at once.
        before = os.path.getmtime(vault)
        code, out, _ = bridge.run("save", "--user", "newbie", "--password-stdin", "--url",
                                  "https://new.example.com/login", stdin=" n3w pass \n")
        check(code == 0 and fields(out).get("saved") == "yes",
              "a save for a new title succeeds (%r)" % out)
        check(os.path.getmtime(vault) != before, "the account file is written at once")
        entries = on_disk()
        added = [e for e in entries if e["title"] == b"newbie"]
        check(len(entries) == 4 and len(added) == 1 and added[0]["type"] == 2
              and added[0]["data"] == b" n3w pass "
              and added[0]["description"] == b"https://new.example.com/login"
              and added[0]["whatsThis"] == b"new.example.com",
              "the file holds the new Link entry: %r" % added)

        code, out, _ = bridge.run("save", "--user", "alice@shop.example.com",
                                  "--password", "changed", "--url", "https://SHOP.example.com/login")
        check(code == 0 and fields(out).get("saved") == "yes", "a save for a stored login succeeds")
        entries = on_disk()
        shop = [e for e in entries if e["title"] == b"alice@shop.example.com"]
        check(len(entries) == 4 and len(shop) == 1 and shop[0]["data"] == b"changed",
              "the stored login's password is replaced, no entry added: %r" % shop)

        code, out, _ = bridge.run("check", "--user", "bob", "--url", "https://other.example.org/")
        check(code == 0 and fields(out).get("login exists") == "yes"
              and fields(out).get("completion") == "0x1627", "Check finds a stored login (%r)" % out)
        code, out, _ = bridge.run("check", "--user", "bob", "--url", "https://other.example.org/x")
        check(code == 1 and fields(out).get("answer") == "1"
              and fields(out).get("login exists") == "no",
              "Check for a missing login is served and answers no (%r)" % out)
    finally:
        if program.poll() is None:
            program.kill()
            program.wait()

    # --- A language file: the entries are renamed, the pages written with its texts.
    with open(os.path.join(program_dir, "default.lng"), "w", encoding="cp1252", newline="\r\n") as f:
        f.write("ieget = Passwort holen\nHGetFailed = Nicht gefunden <Fehler>\n")
    program = subprocess.Popen(["wine", exe], cwd=args.work, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        if check(wait_for_window(MAIN) is not None, "the main window is there again"):
            check(wait_until(lambda: os.path.exists(os.path.join(program_dir, "KHGet.htm")), 20),
                  "the language load writes the pages")
            check(menu_entry("Passwort holen") == (folder + "KHGet.htm", 4),
                  "the Get entry goes by its translated caption")
            check(menu_entry("Get Password From Keyhaven") is None, "the English Get entry is gone")
            check(menu_entry("Save Password To Keyhaven") == (folder + "KHSave.htm", 4),
                  "entries the file does not translate keep their English caption")
            with open(os.path.join(program_dir, "KHGet.htm"), "rb") as f:
                page = f.read().decode("cp1252")
            check('"Nicht gefunden \\x3CFehler\\x3E"' in page and "%s" not in page,
                  "KHGet.htm carries the translated text, escaped for its script")
            others = [os.path.join(program_dir, p) for p in ("KHGen.htm", "KHSave.htm")]
            check(all(os.path.exists(p) and os.path.getsize(p) > 0 for p in others),
                  "KHGen.htm and KHSave.htm are written too")
    finally:
        if program.poll() is None:
            program.kill()
            program.wait()
    # Leave the prefix without this run's entries.
    run_option("/RemoveIE")
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
