#!/usr/bin/env python3
"""Drives the real khcli program (natively or under Wine) and checks, against a second
implementation of the format written from docs/account-file.md, that:
  - files khcli writes follow the document byte for byte where it matters,
  - files written from the document open in khcli with every field intact,
  - damaged records are dropped and counted, and the exit codes are as documented,
  - an export written by khcli imports into another account with the same values."""

import argparse
import json
import os
import shlex
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import khformat  # noqa: E402

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--khcli", required=True)
    parser.add_argument("--runner", default="")
    parser.add_argument("--format-doc", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()

    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    prefix = shlex.split(args.runner) + [args.khcli]
    env = dict(os.environ, LC_ALL="C.UTF-8", LANG="C.UTF-8")

    def khcli(*argv, password=None):
        argv = list(argv)
        if password is not None:
            argv.append("--password-stdin")
        result = subprocess.run(prefix + argv, cwd=args.work, env=env, capture_output=True,
                                input=(password.encode("utf-8") + b"\n") if password is not None else b"",
                                timeout=120)
        return result.returncode, result.stdout.decode("utf-8"), result.stderr.decode("utf-8", "replace")

    def khcli_bytes(*argv, password):
        result = subprocess.run(prefix + list(argv) + ["--password-stdin"], cwd=args.work, env=env,
                                capture_output=True, input=password.encode("utf-8") + b"\n", timeout=120)
        return result.returncode, result.stdout, result.stderr

    fmt = khformat.Format(args.format_doc)

    # The second implementation itself must get DES right (FIPS 81 example).
    check(khformat.Des(bytes.fromhex("0123456789ABCDEF")).crypt(b"Now is t", False).hex().upper()
          == "3FA40E8A984D4815", "reference DES answer")

    # 1. khcli writes, the document's reader reads.
    code, out, err = khcli("create", "made.khk", "--name", "Zoë", "--account-description",
                           "Family €", "--password-description", "the blue one", password="pässwörd")
    check(code == 0, "create exits 0: " + err)
    entries = [
        ("password", "Mail", "user: zoë", "s3cret", "webmail"),
        ("link", "Bank", "login", "1234", "https://bank.example/login"),
        ("text", "Note", "", "", "line one"),
        ("77", "Odd", "unknown type", "x", ""),
    ]
    for etype, title, whats, data, description in entries:
        code, out, err = khcli("add", "made.khk", "--name", "Zoë", "--type", etype, "--title", title,
                               "--whats-this", whats, "--data", data, "--description", description,
                               password="pässwörd")
        check(code == 0, "add %s exits 0: %s" % (title, err))
    with open(os.path.join(args.work, "made.khk"), "rb") as f:
        made = f.read()
    check(len(made) == 1340 + 480 * len(entries), "file length follows N")
    try:
        account = khformat.read_account(fmt, made, "Zoë".encode("cp1252"), "pässwörd".encode("cp1252"))
        check(account["accountDescription"] == "Family €".encode("cp1252"), "account description")
        check(account["passwordDescription"] == b"the blue one", "password description")
        check(account["password"] == "pässwörd".encode("cp1252"), "password")
        types = {"password": 1, "link": 2, "text": 3, "77": 77}
        got = [(e["type"], e["title"], e["whatsThis"], e["data"], e["description"]) for e in account["entries"]]
        want = [(types[t], a.encode("cp1252"), b.encode("cp1252"), c.encode("cp1252"), d.encode("cp1252"))
                for t, a, b, c, d in entries]
        check(got == want, "entries written by khcli read back from the document: %r" % got)
        check([e["fileOffset"] for e in account["entries"]] == [1340, 1820, 2300, 2780], "offsets")
    except khformat.Unreadable as e:
        check(False, "the document's reader cannot read khcli's file: %s" % e)

    # 2. The document's writer writes, khcli reads every field.
    long_title = b"T" * 100
    doc_entries = [
        (1, b"Caf\xe9", b"who \x93quoted\x94", b"p\x80ss", b"multi\r\nline \\ \"details\""),
        (2, b"Site", b"", b"pw", b"https://example.org/"),
        (3, long_title, b"w" * 90, b"d" * 85, b"x" * 300),
        (-5, b"Negative type", b"", b"", b""),
    ]
    written = khformat.write_account(fmt, b"Ren\xe9", b"open sesame", b"About this vault",
                                     b"hint text", doc_entries)
    with open(os.path.join(args.work, "doc.khk"), "wb") as f:
        f.write(written)
    code, out, err = khcli("dump", "doc.khk", "--name", "René", "--json", password="open sesame")
    check(code == 0, "dump of a document-written file exits 0: " + err)
    if code == 0:
        dump = json.loads(out)
        check(dump["name"] == "René" and dump["password"] == "open sesame", "dump name and password")
        check(dump["accountDescription"] == "About this vault", "dump account description")
        check(dump["passwordDescription"] == "hint text", "dump password description")
        check(dump["droppedRecords"] == 0, "no dropped records")
        want = [{"type": t, "title": a[:79].decode("cp1252"), "whatsThis": b[:79].decode("cp1252"),
                 "data": c[:79].decode("cp1252"), "description": d[:191].decode("cp1252"),
                 "fileOffset": 1340 + 480 * i} for i, (t, a, b, c, d) in enumerate(doc_entries)]
        check(dump["entries"] == want, "entries from the document's writer: %r" % dump["entries"])
    code, out, _ = khcli("info", "doc.khk")
    check(code == 0 and out == "About this vault\n", "info reads the account description")
    code, out, _ = khcli("hint", "doc.khk", "--name", "René")
    check(code == 0 and out == "hint text\n", "hint reads the password description")

    # 3. Byte-identical output: both implementations write the same bytes for the same account.
    code, _, err = khcli("create", "same.khk", "--name", "René", "--account-description",
                         "About this vault", "--password-description", "hint text", password="open sesame")
    check(code == 0, "create same.khk: " + err)
    with open(os.path.join(args.work, "same.khk"), "rb") as f:
        check(f.read() == khformat.write_account(fmt, b"Ren\xe9", b"open sesame", b"About this vault",
                                                 b"hint text", []), "khcli and the document agree on every byte")

    # 4. A file name beyond ASCII reaches the file system as the same name.
    code, _, err = khcli("create", "café €.khk", "--name", "a", password="x")
    check(code == 0 and os.path.exists(os.path.join(args.work, "café €.khk")),
          "non-ASCII file name: " + err)
    code, out, _ = khcli("check", "café €.khk", "--name", "a", password="x")
    check(code == 0 and "0 entries" in out, "non-ASCII file name opens again")

    # 5. Export and import through the real program: the file bytes, then the values again.
    code, _, err = khcli("export", "made.khk", "--name", "Zoë", "--output", "made.xml", password="pässwörd")
    check(code == 0 and err == "Export To XML: 4 items exported!\n", "export to a file: %d %s" % (code, err))
    with open(os.path.join(args.work, "made.xml"), "rb") as f:
        exported = f.read()
    header = b'<?xml version="1.0" encoding="Windows-1252" ?>\r\n'
    check(exported.startswith(header + b"<Entry>\r\n  <Title>Mail</Title>\r\n"), "export header and first block")
    check("<WhatsThis>user: zoë</WhatsThis>".encode("cp1252") in exported, "export text is Windows-1252")
    check(exported.count(b"<Entry>") == 4 and b"<Type>Unknown</Type>" in exported, "one block per entry")
    code, out, _ = khcli_bytes("export", "made.khk", "--name", "Zoë", password="pässwörd")
    check(code == 0 and out == exported, "export to standard output gives the file's bytes")
    code, _, err = khcli("create", "copy.khk", "--name", "Copy", password="pw")
    check(code == 0, "create copy.khk: " + err)
    code, out, err = khcli("import", "copy.khk", "--name", "Copy", "--input", "made.xml", password="pw")
    # The entry of type 77 goes out as "Unknown", which no import accepts.
    check(code == 0 and out == "Import From XML: 3 items imported!\n", "import: %d %s %s" % (code, out, err))
    with open(os.path.join(args.work, "copy.khk"), "rb") as f:
        try:
            copy = khformat.read_account(fmt, f.read(), b"Copy", b"pw")
            got = [(e["type"], e["title"], e["whatsThis"], e["data"], e["description"]) for e in copy["entries"]]
            types = {"password": 1, "link": 2, "text": 3}
            want_copy = [(types[t], a.encode("cp1252"), b.encode("cp1252"), c.encode("cp1252"), d.encode("cp1252"))
                         for t, a, b, c, d in entries[:3]]
            check(got == want_copy, "imported entries read back from the document: %r" % got)
        except khformat.Unreadable as e:
            check(False, "the document's reader cannot read the imported account: %s" % e)

    code, out, err = khcli("find", "made.khk", "--name", "Zoë", "--text", "ZOË", "--in", "whatsthis",
                           password="pässwörd")
    check(code == 0 and out == "Mail\n", "find: %d %r %s" % (code, out, err))
    code, out, err = khcli("find", "made.khk", "--name", "Zoë", "--text", "nowhere", password="pässwörd")
    check(code == 1 and out == "" and "String: nowhere not found!" in err, "find without a match exits 1")

    # 6. Damage and failures.
    damaged = bytearray(written)
    damaged[1340 + 480 + 17] ^= 0x10
    with open(os.path.join(args.work, "damaged.khk"), "wb") as f:
        f.write(damaged)
    code, out, err = khcli("check", "damaged.khk", "--name", "René", password="open sesame")
    check(code == 0 and "3 entries, 1 damaged records dropped" in out, "check counts the damaged record: " + out + err)
    code, _, err = khcli("list", "doc.khk", "--name", "René", password="wrong")
    check(code == 1 and "wrong name or password" in err, "wrong password exits 1")
    code, _, _ = khcli("list", "missing.khk", "--name", "René", password="x")
    check(code == 1, "missing file exits 1")
    code, _, err = khcli("list", "doc.khk")
    check(code == 2 and "missing --name" in err, "usage error exits 2")
    code, out, _ = khcli("--help")
    check(code == 0 and "Usage: khcli" in out, "help exits 0")

    if failures:
        print("%d check(s) failed" % len(failures))
        return 1
    print("all khcli program checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
