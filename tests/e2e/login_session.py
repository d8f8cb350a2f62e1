#!/usr/bin/env python3
"""End to end under Wine: Keyhaven.exe started with an account file on its command line.
A user types the name and password into the login dialog, sorts the list by title,
deletes the first row, saves, logs out and quits. The account file on disk, the backup
copy and config.ini must show exactly that.

Needs DISPLAY and WINEPREFIX (scripts/test.sh provides both)."""

import argparse
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import khformat  # noqa: E402
from desktop import answer_hint, check, failures, geometry, snapshot, wait_for_window, wait_until, xdotool  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--format-doc", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--screenshot", required=True)
    args = parser.parse_args()
    if not os.environ.get("DISPLAY") or not os.environ.get("WINEPREFIX"):
        print("needs DISPLAY and WINEPREFIX: run through scripts/test.sh")
        return 1

    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    os.makedirs(os.path.dirname(os.path.abspath(args.screenshot)), exist_ok=True)
    # A fresh profile, so no earlier run's settings choose a tab or an account.
    users = os.path.join(os.environ["WINEPREFIX"], "drive_c", "users")
    for user in os.listdir(users) if os.path.isdir(users) else []:
        shutil.rmtree(os.path.join(users, user, "AppData", "Roaming", "Keyhaven"), ignore_errors=True)

    fmt = khformat.Format(args.format_doc)
    entries = [
        (1, b"Mail", b"alice@mail.example", b"pw-mail", b"webmail"),
        (2, b"Bank", b"", b" pw bank ", b"https://bank.example.com/login"),
        (3, b"Note", b"todo", b"x", b"buy milk"),
        (1, b"Alpha", b"a", b"pw-alpha", b"first by title"),
    ]
    vault = os.path.join(args.work, "vault.khk")
    with open(vault, "wb") as f:
        f.write(khformat.write_account(fmt, b"alice", b"s3cret!", b"e2e vault", b"the usual", entries))
    before = os.path.getmtime(vault)

    program = subprocess.Popen(["wine", args.exe, "Z:" + vault.replace("/", "\\")],
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        login = wait_for_window("^Welcome To Keyhaven$")
        check(login is not None, "the login dialog opens for the file on the command line")
        if not login:
            return 1
        # Keys typed before the dialog takes input are lost; then the dialog stays open
        # (an empty password only moves the focus) and the user simply types again.
        closed = False
        for _ in range(3):
            time.sleep(1)
            xdotool("windowfocus", "--sync", login)
            xdotool("mousemove", "0", "0")
            for _ in range(2):  # name box, then password box: empty both
                xdotool("key", "ctrl+a", "BackSpace")
                xdotool("key", "Tab")
            xdotool("key", "shift+Tab", "shift+Tab")
            xdotool("type", "--delay", "40", "alice")
            xdotool("key", "Tab")
            xdotool("type", "--delay", "40", "s3cret!")
            xdotool("key", "Return")
            closed = wait_until(
                lambda: not xdotool("search", "--onlyvisible", "--name", "^Welcome To Keyhaven$"), 10)
            if closed:
                break
        check(closed, "the login dialog closes after Enter")

        main_window = wait_for_window("^Remember One Password")
        check(main_window is not None, "the main window is there")
        if not main_window:
            return 1
        time.sleep(3)
        x, y, _, _ = geometry(main_window)
        subprocess.run(["import", "-window", "root", "-crop", "640x460+%d+%d" % (x, y), args.screenshot])
        colours = int(subprocess.run(["convert", args.screenshot, "-format", "%k", "info:"],
                                     capture_output=True, text=True).stdout or 0)
        check(colours > 100, "the logged-in window is drawn (%d colours)" % colours)

        # Layout in 96-DPI pixels: caption 23, menu bar 24, tool bar 32, banner 20, then the
        # list header; the lists start right of the 62-pixel tab strip.
        xdotool("windowfocus", "--sync", main_window)
        xdotool("mousemove", str(x + 90), str(y + 109), "click", "1")  # "Title" heading
        time.sleep(1)
        xdotool("mousemove", str(x + 100), str(y + 128), "click", "1")  # first row: Alpha
        time.sleep(1)
        snapshot(os.path.join(args.work, "before-delete.png"))
        xdotool("key", "ctrl+Delete")
        check(answer_hint("y"), "deleting the selected row asks, and Yes is taken")
        xdotool("windowfocus", "--sync", main_window)
        xdotool("key", "ctrl+s")
        check(wait_until(lambda: os.path.getmtime(vault) != before), "Ctrl+S writes the account file")
        time.sleep(1)

        with open(vault, "rb") as f:
            saved = khformat.read_account(fmt, f.read(), b"alice", b"s3cret!")
        titles = [e["title"] for e in saved["entries"]]
        check(titles == [b"Bank", b"Mail", b"Note"], "saved in title order without Alpha: %r" % titles)
        bank = saved["entries"][0] if saved["entries"] else {}
        check(bank.get("data") == b" pw bank " and bank.get("whatsThis") == b"bank.example.com",
              "the Link keeps its password and gets its host as what's this: %r" % bank)
        check(os.path.exists(os.path.join(args.work, "backup", "alice1.khk")),
              "the first save of the session leaves backup\\alice1.khk")

        xdotool("windowfocus", "--sync", main_window)
        xdotool("key", "ctrl+q")
        check(answer_hint("y"), "logout asks, and Yes is taken")
        time.sleep(1)

        # Quit from the Account menu: its last item.
        xdotool("windowfocus", "--sync", main_window)
        xdotool("mousemove", str(x + 29), str(y + 36), "click", "1")
        time.sleep(1)
        xdotool("key", "Up")
        xdotool("key", "Return")
        try:
            code = program.wait(timeout=30)
        except subprocess.TimeoutExpired:
            code = None
        check(code == 0, "Quit Keyhaven ends the program with exit code 0 (got %r)" % code)

        config = None
        for user in os.listdir(users):
            path = os.path.join(users, user, "AppData", "Roaming", "Keyhaven", "config.ini")
            if os.path.exists(path):
                with open(path, "rb") as f:
                    config = f.read().decode("cp1252")
        check(config is not None, "config.ini is written in the profile folder")
        if config:
            check("LastTitle=alice" in config.replace(" ", ""), "config.ini remembers the account name")
            check("vault.khk" in config, "config.ini remembers the account file")
    finally:
        if program.poll() is None:
            program.kill()
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
