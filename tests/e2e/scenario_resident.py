#!/usr/bin/env python3
"""End to end under Wine: Keyhaven as a resident program.

1. Started with "/start" the program stays hidden and alive, and the start has written
   the autorun value and the account file type into the user's registry.
2. A second Keyhaven.exe ends at once with exit code 0, and the first one comes forward:
   its first show runs now and offers the login for the last account. Closing the main
   window (Quit off) hides it; another start brings it back, logged in, without a login.
3. "/DEBUG": the debug text, then after the cancelled new-account wizard the test error
   in the crash report; Terminate with "Restart Application" ends this process and a new
   one starts (the ending one's login window is gone first, so the new one does not hand
   over to it).
4. In a Wine desktop, which has a notification area and passes the hotkey on: closing
   hides, Ctrl+Alt+M and a double click on the icon bring the window back, the icon's
   menu opens on the right button (screenshot), and its "Quit Keyhaven" ends the program.

Needs DISPLAY and WINEPREFIX (scripts/test.sh provides both)."""

import argparse
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import khformat  # noqa: E402
from desktop import MAIN, LOGIN, check, failures, visible, wait_for_window, wait_until, windows_path, xdotool  # noqa: E402

WIZARD = "^Keyhaven Account Wizard$"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
CLASSES = r"HKCU\Software\Classes"


def geometry(window):
    """Position on the screen and size (xdotool misplaces the windows of a Wine desktop)."""
    info = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True).stdout
    values = {}
    for line in info.splitlines():
        key, _, value = line.strip().partition(":")
        values[key] = value.strip()
    return (int(values["Absolute upper-left X"]), int(values["Absolute upper-left Y"]),
            int(values["Width"]), int(values["Height"]))


def wine(*args, timeout=60):
    return subprocess.run(["wine", *args], capture_output=True, text=True, timeout=timeout,
                          stdin=subprocess.DEVNULL)


def reg_value(key, name=None):
    """The data of a registry value as `reg query` prints it, or None."""
    result = wine("reg", "query", key, *(["/v", name] if name else ["/ve"]))
    if result.returncode != 0:
        return None
    for line in result.stdout.splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) >= 2 and parts[1].startswith("REG_"):
            return parts[2] if len(parts) == 3 else ""
    return None


def start(exe, *args):
    return subprocess.Popen(["wine", exe, *args], stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def ended(process, timeout=30):
    try:
        return process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        return None


def type_login(login, password, in_desktop=False):
    """Types the password into the login dialog (the name is filled in, so the password
    box has the focus) and presses Enter. The dialog gets the keys by X focus, or in a
    Wine desktop by a click on its caption. Keys typed before the dialog takes input are
    lost, so it tries again."""
    for _ in range(4):
        time.sleep(1)
        if in_desktop:
            x, y, w, _ = geometry(login)
            xdotool("mousemove", str(x + w // 2), str(y + 10), "click", "1")
        else:
            xdotool("windowfocus", "--sync", login)
        xdotool("key", "ctrl+a", "BackSpace")
        xdotool("type", "--delay", "40", password)
        xdotool("key", "Return")
        if wait_until(lambda: not visible(LOGIN), 8):
            return True
    return False


def kill_all(exe):
    wine("taskkill", "/F", "/IM", os.path.basename(exe))


def running(exe):
    """Processes of `exe` in this scenario's Wine prefix (other test runs have their own)."""
    name = os.path.basename(exe).encode()
    prefix = b"WINEPREFIX=" + os.environ["WINEPREFIX"].encode()
    found = 0
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                if not f.read().split(b"\0")[0].endswith(name):
                    continue
            with open("/proc/%s/environ" % pid, "rb") as f:
                if prefix in f.read().split(b"\0"):
                    found += 1
        except OSError:
            pass
    return found


class Profile:
    """The user's profile folder: config.ini as the scenario needs it."""

    def __init__(self):
        users = os.path.join(os.environ["WINEPREFIX"], "drive_c", "users")
        self.folders = [os.path.join(users, u, "AppData", "Roaming", "Keyhaven")
                        for u in (os.listdir(users) if os.path.isdir(users) else [])]

    def reset(self, lines):
        for folder in self.folders:
            shutil.rmtree(folder, ignore_errors=True)
            os.makedirs(folder)
            with open(os.path.join(folder, "config.ini"), "w", newline="\r\n") as f:
                f.write("\n".join(lines) + "\n")


def hidden_start_and_second_start(args, profile, vault):
    profile.reset(["[Setting]", "Tip=0", "[Account]", "Last=" + windows_path(vault),
                   "LastTitle=alice"])
    wine("reg", "delete", RUN_KEY, "/v", "Keyhaven", "/f")
    wine("reg", "delete", CLASSES + r"\Keyhaven.Account", "/f")
    wine("reg", "delete", CLASSES + r"\.khk", "/f")

    first = start(args.exe, "/start")
    try:
        time.sleep(6)
        check(first.poll() is None, '"/start": the program runs')
        check(not visible(MAIN) and not visible(LOGIN), '"/start": no window is shown')

        exe = windows_path(args.exe)
        check(reg_value(RUN_KEY, "Keyhaven") == '"%s" /start' % exe,
              "the autorun value starts this program hidden: %r" % reg_value(RUN_KEY, "Keyhaven"))
        check(reg_value(CLASSES + r"\.khk") == "Keyhaven.Account", ".khk is an account file")
        check(reg_value(CLASSES + r"\Keyhaven.Account\shell\Open\Command") == '"%s" "%%1"' % exe,
              "account files open with this program")
        check(reg_value(CLASSES + r"\Keyhaven.Account\DefaultIcon") == exe + ",1",
              "and show its icon")

        second = start(args.exe)
        check(ended(second) == 0, "a second Keyhaven.exe ends with exit code 0")
        check(first.poll() is None, "the first one goes on")
        login = wait_for_window(LOGIN, 30)
        check(login is not None, "the first one comes forward with the login for the last account")
        check(wait_for_window(MAIN, 10) is not None, "and its main window is shown")
        if not login:
            return
        check(type_login(login, "s3cret!"), "the login dialog closes after Enter")

        main_window = wait_for_window(MAIN, 10)
        xdotool("windowfocus", "--sync", main_window)
        xdotool("key", "alt+F4")
        check(wait_until(lambda: not visible(MAIN), 10),
              "closing the main window with Quit off hides it")
        check(first.poll() is None, "and the program goes on")

        # Logged in and hidden: a second start only brings the window back.
        second = start(args.exe)
        check(ended(second) == 0, "another start ends with exit code 0 too")
        main_window = wait_for_window(MAIN, 20)
        check(main_window is not None, "and brings the hidden window back")
        time.sleep(1)
        check(not visible(LOGIN), "logged in already: no login dialog")
        if not main_window:
            return
        # Quit from the Account menu (its last item).
        x, y, _, _ = geometry(main_window)
        xdotool("windowfocus", "--sync", main_window)
        xdotool("mousemove", str(x + 29), str(y + 36), "click", "1")
        time.sleep(1)
        xdotool("key", "Up", "Return")
        check(ended(first) == 0, "Quit Keyhaven ends the program with exit code 0")
    finally:
        if first.poll() is None:
            kill_all(args.exe)
        ended(first, 10)


def debug_start_and_restart(args, profile):
    profile.reset(["[Setting]", "Tip=0"])
    first = start(args.exe, "/DEBUG")
    try:
        hint = wait_for_window("^Hint$", 30)
        check(hint is not None, '"/DEBUG" shows the program and profile folders first')
        if hint:
            xdotool("windowfocus", "--sync", hint)
            xdotool("key", "Return")
        wizard = wait_for_window(WIZARD, 30)
        check(wizard is not None, "then the new-account wizard of a fresh profile")
        if not wizard:
            return
        time.sleep(1)
        xdotool("windowfocus", "--sync", wizard)
        xdotool("key", "Escape")
        report = wait_for_window("^Oops$", 20)
        check(report is not None, "the cancelled wizard raises the test error in the crash report")
        if not report:
            return
        snapshot = os.path.join(args.work, "crash-report.png")
        subprocess.run(["import", "-window", "root", snapshot])
        old_pid = xdotool("getwindowpid", report)
        xdotool("windowfocus", "--sync", report)
        xdotool("key", "alt+r")
        time.sleep(0.5)
        xdotool("key", "alt+t")
        confirm = wait_for_window("^Terminate$", 20)
        check(confirm is not None, "Terminate asks first")
        if confirm:
            xdotool("windowfocus", "--sync", confirm)
            xdotool("key", "y")
        code = ended(first, 30)
        check(code is not None, "Terminate ends the process (exit code %r)" % code)
        # The restarted program: a fresh start, so the wizard again, from another process.
        wizard = wait_for_window(WIZARD, 40)
        check(wizard is not None and xdotool("getwindowpid", wizard) != old_pid,
              "a new instance started and did not hand over to the ending one")
        if wizard:
            xdotool("windowfocus", "--sync", wizard)
            xdotool("key", "Escape")
    finally:
        kill_all(args.exe)
        ended(first, 10)


def tray_menu(args, profile, vault, screenshot):
    """In a Wine desktop, which has a notification area and passes the hotkey on. Its
    windows are not X windows of their own: they are found on the desktop's picture, the
    icon at the right end of its task bar."""
    profile.reset(["[Setting]", "Tip=0", "[Account]", "Last=" + windows_path(vault),
                   "LastTitle=alice"])
    width, height = 1200, 850
    desktop = subprocess.Popen(["wine", "explorer", "/desktop=khResident,%dx%d" % (width, height),
                                args.exe],
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        frame = wait_for_window("^khResident - Wine desktop$", 60)
        login = wait_for_window(LOGIN, 60)
        check(frame is not None and login is not None, "in a Wine desktop: the login at start")
        if not frame or not login:
            return
        dx, dy, _, _ = geometry(frame)
        icon = (str(dx + width - 11), str(dy + height - 10))
        check(type_login(login, "s3cret!", in_desktop=True), "logged in")
        check(wait_for_window(MAIN, 10) is not None, "the main window is shown")

        # The window's own close box: to the tray.
        xdotool("key", "alt+F4")
        check(wait_until(lambda: not visible(MAIN), 10), "closing the window sends it to the tray")
        xdotool("key", "ctrl+alt+m")
        check(wait_for_window(MAIN, 10) is not None, "Ctrl+Alt+M brings it back")
        time.sleep(1)
        check(not visible(LOGIN), "logged in already: no login dialog")

        xdotool("key", "alt+F4")
        wait_until(lambda: not visible(MAIN), 10)
        xdotool("mousemove", *icon, "click", "--repeat", "2", "--delay", "120", "1")
        check(wait_for_window(MAIN, 10) is not None, "a double click on the icon brings it back")
        xdotool("key", "alt+F4")
        wait_until(lambda: not visible(MAIN), 10)

        xdotool("mousemove", *icon, "click", "3")
        time.sleep(1.5)
        # The menu above the icon, with a piece of the task bar.
        subprocess.run(["import", "-window", "root", "-crop",
                        "%dx%d+%d+%d" % (420, 380, dx + width - 420, dy + height - 380),
                        "+repage", screenshot])
        # Its last item, Quit Keyhaven, at the bottom of the menu, which ends at the bottom
        # of the desktop. (Clicked: Wine gives the keys to a menu only while its window is
        # shown.)
        xdotool("mousemove", str(dx + width - 120), str(dy + height - 13), "click", "1")
        check(wait_until(lambda: running(args.exe) == 0, 30), "Quit Keyhaven from the tray menu ends it")
    finally:
        kill_all(args.exe)
        try:
            desktop.wait(timeout=20)
        except subprocess.TimeoutExpired:
            desktop.kill()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--format-doc", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--screenshots", required=True)
    parser.add_argument("--source", required=True)
    args = parser.parse_args()
    if not os.environ.get("DISPLAY") or not os.environ.get("WINEPREFIX"):
        print("needs DISPLAY and WINEPREFIX: run through scripts/test.sh")
        return 1

    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    os.makedirs(args.screenshots, exist_ok=True)
    fmt = khformat.Format(args.format_doc)
    vault = os.path.join(args.work, "vault.khk")
    with open(vault, "wb") as f:
        f.write(khformat.write_account(fmt, b"alice", b"s3cret!", b"e2e vault", b"the usual",
                                       [(1, b"Mail", b"alice@mail.example", b"pw-mail", b"webmail")]))
    profile = Profile()
    kill_all(args.exe)
    hidden_start_and_second_start(args, profile, vault)
    debug_start_and_restart(args, profile)
    tray_menu(args, profile, vault, os.path.join(args.screenshots, "tray-menu.png"))
    # The prefix is shared with the other scenarios: no autorun left behind.
    wine("reg", "delete", RUN_KEY, "/v", "Keyhaven", "/f")
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
