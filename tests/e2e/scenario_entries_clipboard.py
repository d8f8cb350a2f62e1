#!/usr/bin/env python3
"""End to end under Wine: a new entry through the wizard, and its password through the
clipboard under the Password Guard.

A user logs in, presses Ctrl+N, types a title, a description and a password twice and
finishes the wizard; Ctrl+S saves, and the account file read back with khformat holds the
new entry. Then the user selects it and presses Ctrl+C: the guard window shows, another
program reads the password from the clipboard, and the clipboard is empty once the
count is over (config.ini sets GuardTime 2: 2.1 seconds). A second copy followed by
another program's own text: that text stays. Screenshots of the four wizard pages and of
the guard window go to --screenshots.

Needs DISPLAY and WINEPREFIX (scripts/test.sh provides both)."""

import argparse
import getpass
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import khformat  # noqa: E402
from desktop import (MAIN, LOGIN, check, clipboard, close_tip, failures, keys, login, passed,  # noqa: E402
                     screenshot, set_clipboard, type_text, visible, wait_for_window, wait_until,
                     windows_path, xdotool)

WIZARD = "^Add New Entry$"
GUARD = "^Password Guard$"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--format-doc", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--screenshots", required=True)
    parser.add_argument("--source")
    args = parser.parse_args()
    for name in ("exe", "format_doc", "work", "screenshots"):
        setattr(args, name, os.path.abspath(getattr(args, name)))
    if not os.environ.get("DISPLAY") or not os.environ.get("WINEPREFIX"):
        print("needs DISPLAY and WINEPREFIX: run through scripts/test.sh")
        return 1

    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    os.makedirs(args.screenshots, exist_ok=True)
    users = os.path.join(os.environ["WINEPREFIX"], "drive_c", "users")
    for user in os.listdir(users) if os.path.isdir(users) else []:
        shutil.rmtree(os.path.join(users, user, "AppData", "Roaming", "Keyhaven"), ignore_errors=True)
    # A short guard, and no tip at the start.
    profile = os.path.join(users, getpass.getuser(), "AppData", "Roaming", "Keyhaven")
    os.makedirs(profile, exist_ok=True)
    with open(os.path.join(profile, "config.ini"), "w", newline="\r\n") as f:
        f.write("[Setting]\nGuardTime=2\nTip=0\n")

    fmt = khformat.Format(args.format_doc)
    entries = [
        (1, b"Mail", b"alice@mail.example", b"pw-mail", b"webmail"),
        (2, b"Bank", b"", b"pw-bank-42", b"https://bank.example.com/login"),
    ]
    vault = os.path.join(args.work, "vault.khk")
    with open(vault, "wb") as f:
        f.write(khformat.write_account(fmt, b"alice", b"s3cret!", b"e2e vault", b"the usual", entries))
    before = os.path.getmtime(vault)

    program = subprocess.Popen(["wine", args.exe, windows_path(vault)], cwd=args.work,
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    shots = lambda name: os.path.join(args.screenshots, name)  # noqa: E731
    try:
        window = wait_for_window(LOGIN)
        if not check(window is not None and login(window, "alice", "s3cret!"), "the account logs in"):
            return 1
        main_window = wait_for_window(MAIN)
        if not check(main_window is not None, "the main window is there"):
            return 1
        close_tip()
        time.sleep(1)

        # Ctrl+N: the wizard, page by page.
        wizard = None
        for _ in range(3):  # a key typed while the window is still busy can be lost
            keys(main_window, "ctrl+n")
            wizard = wait_for_window(WIZARD, 10)
            if wizard:
                break
        if not check(wizard is not None, "Ctrl+N opens the entry wizard"):
            return 1
        time.sleep(0.5)
        type_text(wizard, "Forum")
        keys(wizard, "Tab")
        type_text(wizard, "board login")
        time.sleep(0.3)
        screenshot(shots("entry-wizard-1-welcome.png"), wizard)
        keys(wizard, "Return")
        time.sleep(0.5)
        type_text(wizard, "https://forum.example.net")
        keys(wizard, "Return")  # a new line in the description
        type_text(wizard, "second line")
        time.sleep(0.3)
        screenshot(shots("entry-wizard-2-new.png"), wizard)
        keys(wizard, "ctrl+Return")  # moves on
        time.sleep(0.5)
        type_text(wizard, "pw-forum-7")
        keys(wizard, "Tab")  # to the confirmation
        type_text(wizard, "pw-forum-7")
        time.sleep(0.3)
        screenshot(shots("entry-wizard-3-pass.png"), wizard)
        keys(wizard, "Return")
        time.sleep(0.5)
        screenshot(shots("entry-wizard-4-finished.png"), wizard)
        keys(wizard, "Return")
        check(wait_until(lambda: not visible(WIZARD), 10), "Finish closes the wizard")

        keys(main_window, "ctrl+s")
        check(wait_until(lambda: os.path.getmtime(vault) != before), "Ctrl+S writes the account file")
        time.sleep(1)
        with open(vault, "rb") as f:
            saved = khformat.read_account(fmt, f.read(), b"alice", b"s3cret!")
        forum = [e for e in saved["entries"] if e["title"] == b"Forum"]
        check(len(forum) == 1, "the saved file holds the new entry: %r" %
              [e["title"] for e in saved["entries"]])
        if forum:
            e = forum[0]
            check(e.get("data") == b"pw-forum-7" and e.get("whatsThis") == b"board login" and
                  e.get("description") == b"https://forum.example.net\r\nsecond line" and
                  e.get("type") == 1, "with its password, what's this and details: %r" % e)

        # Select the new row (the last one) and copy its password.
        xdotool("windowfocus", "--sync", main_window)
        values = {}
        for line in xdotool("getwindowgeometry", "--shell", main_window).splitlines():
            key, _, value = line.partition("=")
            values[key] = int(value)
        x, y = values["X"], values["Y"]
        xdotool("mousemove", str(x + 100), str(y + 128), "click", "1")  # first row
        time.sleep(0.5)
        keys(main_window, "End")
        set_clipboard(b"before")
        keys(main_window, "ctrl+c")
        check(wait_until(lambda: clipboard() == b"pw-forum-7", 10),
              "Ctrl+C puts the password on the clipboard (%r)" % clipboard())
        guard = wait_for_window(GUARD, 5)
        check(guard is not None, "the guard window shows")
        if guard:
            time.sleep(0.3)
            screenshot(shots("password-guard.png"), guard)
        check(wait_until(lambda: clipboard() == b"", 10),
              "the clipboard is empty after the count (%r)" % clipboard())
        check(wait_until(lambda: not visible(GUARD), 5), "the guard window goes")

        # Another program's text is left alone.
        keys(main_window, "ctrl+c")
        check(wait_until(lambda: clipboard() == b"pw-forum-7", 10), "copied again")
        set_clipboard(b"theirs")
        time.sleep(4)
        check(not visible(GUARD), "the count is over")
        check(clipboard() == b"theirs", "another program's text stays (%r)" % clipboard())
    finally:
        if program.poll() is None:
            program.kill()
            program.wait()
    print("%d passed, %d failed" % (len(passed), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
