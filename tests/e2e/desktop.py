"""What the end-to-end scenarios share: checks that are counted, and the user's hands on
the Wine desktop (xdotool for windows and keys, xclip for the clipboard)."""

import os
import subprocess
import time

# Window titles the scenarios look for.
MAIN = "^Remember One Password"
LOGIN = "^Welcome To Keyhaven$"
TIP = "^Tip of the Day$"
HINT = "^Hint$"

failures = []
passed = []


def check(condition, what):
    print(("ok:   " if condition else "FAIL: ") + what)
    (passed if condition else failures).append(what)
    return condition


def xdotool(*args):
    result = subprocess.run(["xdotool", *args], capture_output=True, text=True)
    return result.stdout.strip()


def visible(name):
    return xdotool("search", "--onlyvisible", "--name", name)


def wait_for_window(name, timeout=60):
    deadline = time.time() + timeout
    while time.time() < deadline:
        found = visible(name)
        if found:
            return found.splitlines()[0]
        time.sleep(0.3)
    return None


def wait_until(condition, timeout=30):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if condition():
            return True
        time.sleep(0.2)
    return False


def geometry(window):
    """x, y, width and height of a window on the screen."""
    values = {}
    for line in xdotool("getwindowgeometry", "--shell", window).splitlines():
        key, _, value = line.partition("=")
        values[key] = int(value)
    return values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]


def keys(window, *names):
    xdotool("windowfocus", "--sync", window)
    for name in names:
        xdotool("key", "--delay", "60", name)
        time.sleep(0.3)


def type_text(window, text):
    xdotool("windowfocus", "--sync", window)
    xdotool("type", "--delay", "50", text)
    time.sleep(0.3)


def clipboard():
    # The owner of the selection may not answer (Wine's clipboard thread busy or gone):
    # xclip would then wait for ever. A read that takes too long gives None, which equals
    # no text (not even the empty one), and the caller's wait_until asks again.
    try:
        result = subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True,
                                timeout=5)
    except subprocess.TimeoutExpired:
        return None
    return result.stdout if result.returncode == 0 else b""


def set_clipboard(text):
    # xclip stays in the background to serve the selection.
    subprocess.Popen(["xclip", "-i", "-selection", "clipboard"], stdin=subprocess.PIPE,
                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).communicate(text)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def snapshot(path):
    subprocess.run(["import", "-window", "root", path])


def screenshot(path, *windows):
    """The smallest part of the screen that shows every one of the windows."""
    boxes = []
    for window in windows:
        x, y, width, height = geometry(window)
        boxes.append((x, y, x + width, y + height))
    left = min(b[0] for b in boxes)
    top = min(b[1] for b in boxes)
    right = max(b[2] for b in boxes)
    bottom = max(b[3] for b in boxes)
    subprocess.run(["import", "-window", "root", "-crop",
                    "%dx%d+%d+%d" % (right - left, bottom - top, left, top), path])


def answer_hint(key):
    """Presses a key in the next "Hint" box; True once the box has gone."""
    box = wait_for_window(HINT, 20)
    if not box:
        return False
    keys(box, key)
    return wait_until(lambda: not visible(HINT), 20)


def close_tip():
    # A profile with the tip on shows the tip of the day after the first show's work.
    tip = wait_for_window(TIP, 3)
    if tip:
        keys(tip, "Escape")
        wait_until(lambda: not visible(TIP), 10)


def login(window, name, password):
    """Types name and password into the login dialog until it closes."""
    # Keys typed before the dialog takes input are lost; an empty password keeps it open.
    for _ in range(3):
        time.sleep(1)
        xdotool("windowfocus", "--sync", window)
        for _ in range(2):  # name box, then password box: empty both
            xdotool("key", "ctrl+a", "BackSpace")
            xdotool("key", "Tab")
        xdotool("key", "shift+Tab", "shift+Tab")
        xdotool("type", "--delay", "40", name)
        xdotool("key", "Tab")
        xdotool("type", "--delay", "40", password)
        xdotool("key", "Return")
        if wait_until(lambda: not visible(LOGIN), 10):
            return True
    return False
