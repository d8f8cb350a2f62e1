#!/usr/bin/env python3
"""End to end under Wine: the first start on a fresh profile, with no account anywhere.
The account wizard opens by itself; the user creates an account with the keyboard, the
first save asks where the file goes, and the independent format reader opens that file
with the typed name and password: it is strongly protected, as the wizard's check box
says by default. Then the password and the account name are changed from the Manage
Account menu and saved: only the new name and password open the file. Manage Account's
protection choice turns it compatible at the next save. Last, "Import Existing Account"
logs in to a strong copy of the file through the wizard's import page. Screenshots of every wizard page and both dialogs go to --screenshots.

Needs DISPLAY and WINEPREFIX (scripts/test.sh provides both)."""

import argparse
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import khformat  # noqa: E402
from desktop import (MAIN, answer_hint, check, close_tip, failures, geometry, keys,  # noqa: E402
                     screenshot, type_text, visible, wait_for_window, wait_until, windows_path,
                     xdotool)

WIZARD = "^Keyhaven Account Wizard$"


class Shots:
    def __init__(self, folder):
        self.folder = folder
        os.makedirs(folder, exist_ok=True)

    def take(self, window, name):
        time.sleep(0.8)  # let the page paint
        screenshot(os.path.join(self.folder, name + ".png"), window)


def account_menu(main, *names):
    """Opens the Account menu (first of the painted menu bar) and presses keys in it."""
    x, y, _, _ = geometry(main)
    xdotool("windowfocus", "--sync", main)
    xdotool("mousemove", str(x + 29), str(y + 36), "click", "1")
    time.sleep(0.8)
    for name in names:
        xdotool("key", name)
        time.sleep(0.4)


def readable(fmt, path, name, password):
    """The account through the document's reader of the file's format, or None."""
    with open(path, "rb") as f:
        data = f.read()
    try:
        if data.startswith(khformat.STRONG_MAGIC):
            return khformat.read_strong(data, name, password)
        return khformat.read_account(fmt, data, name, password)
    except (khformat.Unreadable, khformat.WrongCredentials):
        return None


def is_strong(path):
    with open(path, "rb") as f:
        return f.read(8) == khformat.STRONG_MAGIC


def saved(path, before):
    return lambda: os.path.exists(path) and os.path.getmtime(path) != before


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
    shots = Shots(args.screenshots)
    # A fresh profile: no config.ini, so no last account and the Wizard setting on.
    users = os.path.join(os.environ["WINEPREFIX"], "drive_c", "users")
    for user in os.listdir(users) if os.path.isdir(users) else []:
        shutil.rmtree(os.path.join(users, user, "AppData", "Roaming", "Keyhaven"), ignore_errors=True)

    fmt = khformat.Format(args.format_doc)
    vault = os.path.join(args.work, "e2e.khk")
    program = subprocess.Popen(["wine", args.exe], cwd=args.work, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        wizard = wait_for_window(WIZARD)
        if not check(wizard is not None, "the first start without an account opens the wizard"):
            return 1
        time.sleep(1.5)  # keys typed before the window takes input are lost
        shots.take(wizard, "account-wizard-1")
        keys(wizard, "Return")  # "Create New Account" is chosen
        shots.take(wizard, "account-wizard-4")
        type_text(wizard, "  e2e user ")
        keys(wizard, "Return")
        shots.take(wizard, "account-wizard-5")
        type_text(wizard, "pa ss1")
        keys(wizard, "Tab")
        type_text(wizard, "pa ss1")
        keys(wizard, "Return")
        type_text(wizard, "my cat")
        shots.take(wizard, "account-wizard-6")
        keys(wizard, "alt+n")
        shots.take(wizard, "account-wizard-2")
        keys(wizard, "alt+f")
        check(wait_until(lambda: not visible(WIZARD), 10), "Alt+F on the last page closes the wizard")

        main_window = wait_for_window(MAIN)
        if not check(main_window is not None, "the main window is there"):
            return 1
        close_tip()
        check(not os.listdir(args.work), "nothing is written before the first save")

        # The first save asks where the file goes.
        keys(main_window, "ctrl+s")
        dialog = wait_for_window("^Save", 20)
        if not check(dialog is not None, "the first save opens the save-file dialog"):
            return 1
        time.sleep(1)
        type_text(dialog, windows_path(os.path.join(args.work, "e2e")))
        keys(dialog, "Return")
        check(wait_until(lambda: os.path.exists(vault)), "the account is saved as e2e.khk")
        time.sleep(1)
        account = readable(fmt, vault, b"e2e user", b"pa ss1")
        check(account is not None, "the independent reader opens it with the typed name and password")
        if account:
            check(account["passwordDescription"] == b"my cat" and account["entries"] == [],
                  "it holds the password description and no entries: %r" % account)
        check(is_strong(vault) and account is not None and account.get("parameters") == (3, 65536, 2),
              "a new account is strongly protected at the default cost")
        check(readable(fmt, vault, b"e2e user", b"pa ss") is None, "a wrong password does not open it")

        # Change Account Password: the second item of Manage Account.
        account_menu(main_window, "m", "Down", "Return")
        dialog = wait_for_window("^Change Password: e2e user$", 20)
        if not check(dialog is not None, "Manage Account > Change Account Password opens the dialog"):
            return 1
        time.sleep(1)
        shots.take(dialog, "change-password")
        type_text(dialog, "pa ss1")  # the old password is typed, never filled in
        keys(dialog, "Tab")
        type_text(dialog, "new pw2")
        keys(dialog, "Tab")
        type_text(dialog, "new pw2")
        keys(dialog, "Return")
        check(wait_until(lambda: not visible("^Change Password")), "Enter changes the password")
        before = os.path.getmtime(vault)
        keys(main_window, "ctrl+s")
        check(wait_until(saved(vault, before)), "Ctrl+S writes the file again")
        time.sleep(1)
        check(readable(fmt, vault, b"e2e user", b"new pw2") is not None, "the new password opens the file")
        check(readable(fmt, vault, b"e2e user", b"pa ss1") is None, "the old password no longer does")

        # Edit Account Information: the first item of Manage Account.
        account_menu(main_window, "m", "Return")
        dialog = wait_for_window("^Edit Account$", 20)
        if not check(dialog is not None, "Manage Account > Edit Account Information opens the dialog"):
            return 1
        time.sleep(1)
        shots.take(dialog, "account-information")
        type_text(dialog, "e2e renamed")  # the name is selected: typing replaces it
        keys(dialog, "ctrl+Return")
        check(wait_until(lambda: not visible("^Edit Account$")), "Ctrl+Enter changes the account")
        before = os.path.getmtime(vault)
        keys(main_window, "ctrl+s")
        check(wait_until(saved(vault, before)), "Ctrl+S writes the file again")
        time.sleep(1)
        check(readable(fmt, vault, b"e2e renamed", b"new pw2") is not None,
              "the new name opens the file")
        check(readable(fmt, vault, b"e2e user", b"new pw2") is None, "the old name no longer does")
        check(is_strong(vault), "saves keep the strong protection")
        # The strong file for the import below.
        copy = os.path.join(args.work, "copy.khk")
        shutil.copyfile(vault, copy)

        # Account Protection: the third item of Manage Account; back to compatible warns.
        account_menu(main_window, "m", "Down", "Down", "Return")
        check(answer_hint("y"), "the protection choice asks before going back to compatible")
        time.sleep(1)
        check(is_strong(vault), "the change waits for the next save")
        before = os.path.getmtime(vault)
        keys(main_window, "ctrl+s")
        check(wait_until(saved(vault, before)), "Ctrl+S writes the file again")
        time.sleep(1)
        check(not is_strong(vault) and readable(fmt, vault, b"e2e renamed", b"new pw2") is not None,
              "after the save the file is compatible and opens with the same name and password")

        # Import Existing Account: the strong copy, through the wizard's import page.
        account_menu(main_window, "i")
        check(answer_hint("y"), "importing asks to log out, and Yes is taken")
        wizard = wait_for_window(WIZARD, 20)
        if not check(wizard is not None, "Import Existing Account opens the wizard"):
            return 1
        time.sleep(1.5)
        keys(wizard, "Return")  # "Import Existing Account" is chosen
        type_text(wizard, windows_path(copy))
        keys(wizard, "Tab", "Tab")  # past the Browse button
        type_text(wizard, "e2e renamed")
        keys(wizard, "Tab")
        type_text(wizard, "new pw2")
        shots.take(wizard, "account-wizard-3")
        keys(wizard, "Return")
        keys(wizard, "Return")
        check(wait_until(lambda: not visible(WIZARD), 10), "the import finishes")
        time.sleep(1)

        # Quit from the Account menu (its last item): logged in and unmodified ends at once.
        account_menu(main_window, "Up", "Return")
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
        if check(config is not None, "config.ini is written in the profile folder"):
            settings = config.replace(" ", "")
            check("LastTitle=e2erenamed" in settings and "copy.khk" in settings,
                  "the imported account is the last one logged in to")
    finally:
        if program.poll() is None:
            program.kill()
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
