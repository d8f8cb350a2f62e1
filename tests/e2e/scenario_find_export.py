#!/usr/bin/env python3
"""End to end under Wine: find an entry and export the account.

A user logs in, presses Ctrl+F, types a text that is only in one entry's password and
presses Enter: that entry is selected, and Ctrl+C puts its password on the clipboard.
Then Ctrl+A, Ctrl+M and a typed file name export every entry: the file holds them all,
with their passwords. A screenshot of the find dialog over the main window goes to
--screenshots (find.png).

Needs DISPLAY and WINEPREFIX (scripts/test.sh provides both)."""

import argparse
import os
import re
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import khformat  # noqa: E402
from desktop import (MAIN, LOGIN, answer_hint, check, clipboard, close_tip, failures, keys, login,  # noqa: E402
                     screenshot, type_text, visible, wait_for_window, wait_until, windows_path)

FINDER = "^Find Password$"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--format-doc", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--screenshots", required=True)
    parser.add_argument("--source")
    args = parser.parse_args()
    if not os.environ.get("DISPLAY") or not os.environ.get("WINEPREFIX"):
        print("needs DISPLAY and WINEPREFIX: run through scripts/test.sh")
        return 1

    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    os.makedirs(args.screenshots, exist_ok=True)
    users = os.path.join(os.environ["WINEPREFIX"], "drive_c", "users")
    for user in os.listdir(users) if os.path.isdir(users) else []:
        shutil.rmtree(os.path.join(users, user, "AppData", "Roaming", "Keyhaven"), ignore_errors=True)

    fmt = khformat.Format(args.format_doc)
    entries = [
        (1, b"Mail", b"alice@mail.example", b"pw-mail", b"webmail"),
        (2, b"Bank", b"", b"pw-bank-42", b"https://bank.example.com/login"),
        (3, b"Note", b"todo", b"2024-05-01 10:00:00", b"buy milk & <eggs>"),
        (1, b"Wifi", b"router", b"kiwi-77", b"home router"),
    ]
    vault = os.path.join(args.work, "vault.khk")
    with open(vault, "wb") as f:
        f.write(khformat.write_account(fmt, b"alice", b"s3cret!", b"e2e vault", b"the usual", entries))

    program = subprocess.Popen(["wine", args.exe, windows_path(vault)], cwd=args.work,
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        window = wait_for_window(LOGIN)
        if not check(window is not None and login(window, "alice", "s3cret!"), "the account logs in"):
            return 1
        main_window = wait_for_window(MAIN)
        if not check(main_window is not None, "the main window is there"):
            return 1
        close_tip()
        time.sleep(1)

        # Ctrl+F, a text that is only in Wifi's password (the list shows "******"), Enter.
        keys(main_window, "ctrl+f")
        finder = wait_for_window(FINDER, 20)
        if not check(finder is not None, "Ctrl+F opens the find dialog"):
            return 1
        time.sleep(0.5)
        type_text(finder, "KIWI")
        time.sleep(0.5)
        screenshot(os.path.join(args.screenshots, "find.png"), main_window, finder)
        keys(finder, "Return")
        check(wait_until(lambda: not visible(FINDER), 10), "Enter finds and closes the dialog")

        # Ctrl+C copies the found entry's password.
        subprocess.run(["xclip", "-selection", "clipboard"], input=b"before", check=False)
        keys(main_window, "ctrl+c")
        check(wait_until(lambda: clipboard() == b"kiwi-77", 10),
              "Ctrl+C puts the found entry's password on the clipboard (%r)" % clipboard())

        # Ctrl+A, Ctrl+M and a typed file name export every entry.
        keys(main_window, "ctrl+a", "ctrl+m")
        dialog = wait_for_window("^Save", 20)
        if not check(dialog is not None, "Ctrl+M opens the save dialog"):
            return 1
        time.sleep(1)
        exported = os.path.join(args.work, "export.xml")
        type_text(dialog, windows_path(os.path.join(args.work, "export")))
        keys(dialog, "Return")
        check(wait_until(lambda: os.path.exists(exported), 20), "the export is written as export.xml")
        check(answer_hint("Return"), "the export says where it went, in a box")

        with open(exported, "rb") as f:
            text = f.read()
        check(text.startswith(b'<?xml version="1.0" encoding="Windows-1252" ?>\r\n<Entry>\r\n'),
              "the file begins with the header line and a block")
        blocks = re.findall(rb"<Entry>(.*?)</Entry>", text, re.S)
        found = [(re.search(rb"<Title>(.*?)</Title>", b).group(1),
                  re.search(rb"<Data>(.*?)</Data>", b).group(1)) for b in blocks]
        check(found == [(e[1], e[3]) for e in entries],
              "every entry is in the file with its password, in list order: %r" % found)
        check(b"<Description>buy milk & <eggs></Description>" in text,
              "texts are written as they are")
    finally:
        if program.poll() is None:
            program.kill()
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
