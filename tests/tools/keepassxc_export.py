"""A real KeePassXC CSV export for import tests: makes a database with keepassxc-cli, adds
entries that exercise the import (quoting, line breaks in notes, long notes, characters with
and without a Windows-1252 form, over-long secrets) and exports it to CSV.

What each entry must become is listed beside it, in the program's terms and as UTF-8:
ENTRIES are the entries the import must make, SKIPPED the items it must refuse, and CUT and
LEFT_OUT the counts of the report."""

import os
import shutil
import subprocess

DATABASE_PASSWORD = "kh-test-database"

# The stored entry types.
PASSWORD_ENTRY, LINK_ENTRY, TEXT_ENTRY = 1, 2, 3

# 223 characters, 229 with CR LF: more than Description holds, less than it and Data together.
LONG_NOTE = "\n".join("Line %02d of a note that is long." % i for i in range(1, 8))
VERY_LONG_NOTE = "x" * 150 + "\n" + "y" * 200  # 351 chars, 352 with CR LF

# (group, title, user name, password, url, notes)
ITEMS = [
    ("", "Example Site", "alice", 'S3cr"et,pw', "https://example.com/login", 'line1\nline2 "quoted"'),
    ("Work", "Mail", "zoë", "pässwörd€", "", "Büro\nzweite Zeile"),
    ("Work", "Cyrillic", "bob", "пароль", "", ""),
    ("", "Long note", "", "", "", LONG_NOTE),
    ("", "Very long note", "", "", "", VERY_LONG_NOTE),
    ("", "Greek user", "Ωmega", "pw", "", ""),
    ("", "Long password", "carol", "p" * 80, "", ""),
    ("", "Key 🔑", "dave", "x", "", ""),
    ("", "No user", "", "1234", "https://bank.example/", ""),
    ("", "Old login", "erin", "old", "https://old.example/", ""),
]
# Removed after adding: KeePassXC moves them to its recycle bin, which the export includes.
REMOVED = ["Old login"]


_LONG_LINES = LONG_NOTE.split("\n")

# (type code, title, what's this, data, description)
ENTRIES = [
    (LINK_ENTRY, "alice", "Example Site", 'S3cr"et,pw', "https://example.com/login"),
    (PASSWORD_ENTRY, "Mail", "zoë", "pässwörd€", "Büro\r\nzweite Zeile"),
    # Description holds five lines whole, Data the last two.
    (TEXT_ENTRY, "Long note", "", "\r\n".join(_LONG_LINES[5:]), "\r\n".join(_LONG_LINES[:5]) + "\r\n"),
    # Too long for both: Description full, Data holds what fits of the rest.
    (TEXT_ENTRY, "Very long note", "", "y" * 79, "x" * 150 + "\r\n" + "y" * 39),
    (PASSWORD_ENTRY, "Key ?", "dave", "x", ""),
    (LINK_ENTRY, "No user", "No user", "1234", "https://bank.example/"),
]
# (reason, label)
SKIPPED = [
    ("not-exact", "Cyrillic"),
    ("not-exact", "Greek user"),
    ("not-exact", "Long password"),
    ("deleted", "Old login"),
]
CUT = 2  # the very long note and the key in the title
LEFT_OUT = 1  # the notes of Example Site, a web login


def _run(cli, args, stdin, env):
    result = subprocess.run([cli] + args, input=stdin.encode("utf-8"), env=env,
                            capture_output=True, timeout=120)
    if result.returncode != 0:
        raise RuntimeError("%s %s failed: %s" % (cli, " ".join(args[:1]),
                                                 result.stderr.decode("utf-8", "replace")))
    return result.stdout


def make_export(work, cli="keepassxc-cli"):
    """Builds the database in `work` and returns the path of its CSV export."""
    if not shutil.which(cli):
        raise RuntimeError("%s not found: install the keepassxc package (scripts/setup.sh)" % cli)
    os.makedirs(work, exist_ok=True)
    home = os.path.join(work, "home")
    os.makedirs(home, exist_ok=True)
    # Its own home, so that nothing of the user's KeePassXC settings is read or written.
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_CACHE_HOME=os.path.join(home, ".cache"), LC_ALL="C.UTF-8", LANG="C.UTF-8",
               QT_QPA_PLATFORM="offscreen")
    database = os.path.join(work, "vault.kdbx")
    if os.path.exists(database):
        os.remove(database)
    pw = DATABASE_PASSWORD + "\n"
    _run(cli, ["db-create", "-q", "-p", "-t", "100", database], pw + pw, env)
    groups = set()
    for group, title, user, password, url, notes in ITEMS:
        if group and group not in groups:
            _run(cli, ["mkdir", "-q", database, group], pw, env)
            groups.add(group)
        args = ["add", "-q", database, (group + "/" if group else "") + title]
        if user:
            args += ["-u", user]
        if url:
            args += ["--url", url]
        if notes:
            args += ["--notes", notes]
        stdin = pw
        if password:
            args.append("-p")
            stdin += password + "\n"
        _run(cli, args, stdin, env)
    for title in REMOVED:
        _run(cli, ["rm", "-q", database, title], pw, env)
    csv = os.path.join(work, "export.csv")
    with open(csv, "wb") as f:
        f.write(_run(cli, ["export", "-q", "--format", "csv", database], pw, env))
    return csv
