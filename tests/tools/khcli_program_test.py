#!/usr/bin/env python3
"""Drives the real khcli program (natively or under Wine) and checks, against a second
implementation of the format written from docs/account-file.md, that:
  - files khcli writes follow the document byte for byte where it matters,
  - files written from the document open in khcli with every field intact,
  - damaged records are dropped and counted, and the exit codes are as documented,
  - an export written by khcli imports into another account with the same values,
  - saves go through symbolic links to the file, and a save killed at any moment leaves the
    account whole and nothing behind after the next one,
  - the entry data can come from standard input, and what import and export cannot carry
    is said,
  - texts that Windows-1252 cannot hold exactly are refused, parallel adds lose no entry,
    and a look-alike file name never leads an export onto the account."""

import argparse
import json
import os
import random
import re
import shlex
import shutil
import subprocess
import sys
import time

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

    def khcli(*argv, password=None, more_input=""):
        argv = list(argv)
        if password is not None:
            argv.append("--password-stdin")
        stdin = (password + "\n" + more_input).encode("utf-8") if password is not None else b""
        result = subprocess.run(prefix + argv, cwd=args.work, env=env, capture_output=True,
                                input=stdin, timeout=120)
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
                           "Family €", "--password-description", "the blue one", "--protection",
                           "compatible", password="pässwörd")
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
    check(code == 0 and out == "About this vault\nProtection: compatible\n",
          "info reads the account description and the protection")
    code, out, _ = khcli("hint", "doc.khk", "--name", "René")
    check(code == 0 and out == "hint text\n", "hint reads the password description")

    # 3. Byte-identical output: both implementations write the same bytes for the same account.
    code, _, err = khcli("create", "same.khk", "--name", "René", "--account-description",
                         "About this vault", "--password-description", "hint text", "--protection",
                         "compatible", password="open sesame")
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
    # The entry of type 77 cannot come back: the export says so.
    check(code == 0 and err == "Export To XML: 4 items exported! 1 of them cannot be imported back intact "
          "from this file; keep the account file.\n", "export to a file: %d %s" % (code, err))
    with open(os.path.join(args.work, "made.xml"), "rb") as f:
        exported = f.read()
    header = b'<?xml version="1.0" encoding="Windows-1252" ?>\r\n'
    check(exported.startswith(header + b"<Entry>\r\n  <Title>Mail</Title>\r\n"), "export header and first block")
    check("<WhatsThis>user: zoë</WhatsThis>".encode("cp1252") in exported, "export text is Windows-1252")
    check(exported.count(b"<Entry>") == 4 and b"<Type>Unknown</Type>" in exported, "one block per entry")
    code, out, err = khcli_bytes("export", "made.khk", "--name", "Zoë", password="pässwörd")
    check(code == 0 and out == exported, "export to standard output gives the file's bytes")
    check(b"1 of the exported entries cannot be imported back intact" in err,
          "export to standard output warns on standard error: %r" % err)
    code, _, err = khcli("create", "copy.khk", "--name", "Copy", "--protection", "compatible", password="pw")
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

    # 7. The entry data from standard input, options that need values, the login's limits,
    #    and an import that had to cut.
    code, out, err = khcli("add", "made.khk", "--name", "Zoë", "--type", "password", "--title", "Piped",
                           "--data-stdin", password="pässwörd", more_input="pïped secret\n")
    check(code == 0, "add --data-stdin: " + err)
    code, out, _ = khcli("show", "made.khk", "--name", "Zoë", "--title", "Piped", password="pässwörd")
    check(code == 0 and "Data: pïped secret\n" in out, "data from standard input: %r" % out)
    code, _, err = khcli("list", "made.khk", "--name", "--password-stdin")
    check(code == 2 and "--name needs a value" in err, "a value never swallows the next option: " + err)
    code, _, err = khcli("create", "long.khk", "--name", "n" * 151, password="x")
    check(code == 2 and "150 characters" in err and not os.path.exists(os.path.join(args.work, "long.khk")),
          "names the login cannot take are refused: " + err)
    with open(os.path.join(args.work, "long.xml"), "wb") as f:
        f.write(b"<Entry><Type>Password</Type><Title>Long</Title><Data>" + b"d" * 89 + b"</Data></Entry>")
    code, out, err = khcli("import", "copy.khk", "--name", "Copy", "--input", "long.xml", password="pw")
    check(code == 0 and out == "Import From XML: 1 item imported! 1 of them had texts longer than the "
          "account file holds; they were cut.\n", "import says it cut: %d %r %s" % (code, out, err))

    # 8. Through symbolic links the file they lead to is saved and the links stay.
    linked = os.path.join(args.work, "linked")
    os.makedirs(os.path.join(linked, "data"))
    code, _, err = khcli("create", "linked/data/real.khk", "--name", "L", password="pw")
    check(code == 0, "create linked/data/real.khk: " + err)
    os.symlink("data/real.khk", os.path.join(linked, "link.khk"))
    code, _, err = khcli("add", "linked/link.khk", "--name", "L", "--type", "text", "--title", "Through",
                         password="pw")
    check(code == 0, "add through a link: " + err)
    code, _, err = khcli("import", "linked/link.khk", "--name", "L", "--input", "made.xml", password="pw")
    check(code == 0, "import through a link: " + err)
    check(os.path.islink(os.path.join(linked, "link.khk")), "the link stays a link")
    code, out, _ = khcli("check", "linked/data/real.khk", "--name", "L", password="pw")
    check(code == 0 and "4 entries" in out, "the file behind the link got the entries: " + out)
    check(sorted(os.listdir(linked)) == ["data", "link.khk"] and os.listdir(os.path.join(linked, "data"))
          == ["real.khk"], "nothing left beside link or file: %r" % os.listdir(linked))

    # 9. Imports of 5,000 entries killed at random moments: the account opens with the
    #    entries it had or with the new ones, and the next save leaves nothing behind.
    killed = os.path.join(args.work, "killed")
    os.makedirs(killed)
    code, _, err = khcli("create", "killed/vault.khk", "--name", "K", "--protection", "compatible",
                         password="pw")
    check(code == 0, "create killed/vault.khk: " + err)
    blocks = "".join("<Entry><Type>Password</Type><Title>E%d</Title><Data>secret %d</Data></Entry>\r\n"
                     % (i, i) for i in range(5000))
    with open(os.path.join(killed, "many.xml"), "w", encoding="ascii") as f:
        f.write(blocks)
    start = time.monotonic()
    code, _, err = khcli("import", "killed/vault.khk", "--name", "K", "--input", "killed/many.xml", password="pw")
    duration = time.monotonic() - start
    check(code == 0, "import of 5,000 entries: " + err)
    rng = random.Random(11)
    temporary = re.compile(r"^~kh[0-9a-f]{8}\.(tmp|lck)$")
    for round_ in range(6 if args.runner else 12):
        process = subprocess.Popen(prefix + ["import", "killed/vault.khk", "--name", "K", "--input",
                                             "killed/many.xml", "--password-stdin"],
                                   cwd=args.work, env=env, stdin=subprocess.PIPE,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        process.stdin.write(b"pw\n")
        process.stdin.close()
        time.sleep(rng.uniform(0, duration))
        process.kill()
        process.wait()
        code, out, _ = khcli("check", "killed/vault.khk", "--name", "K", password="pw")
        count = int(out.split(": ")[1].split(" ")[0]) if code == 0 else -1
        check(count > 0 and count % 5000 == 0, "round %d: the account opens whole: %r" % (round_, out))
        others = [n for n in os.listdir(killed) if n not in ("vault.khk", "many.xml")]
        check(len([n for n in others if n.endswith(".tmp")]) <= 1 and all(temporary.match(n) for n in others),
              "round %d: at most the one temporary file: %r" % (round_, others))
    code, _, err = khcli("import", "killed/vault.khk", "--name", "K", "--input", "killed/many.xml", password="pw")
    check(code == 0, "a clean import after the killed ones: " + err)
    check(sorted(os.listdir(killed)) == ["many.xml", "vault.khk"],
          "nothing left behind after a clean save: %r" % os.listdir(killed))

    # 10. No core file of the process that holds the account (Linux).
    if not args.runner and sys.platform.startswith("linux"):
        process = subprocess.Popen(prefix + ["check", "made.khk", "--name", "Zoë", "--password-stdin"],
                                   cwd=args.work, env=env, stdin=subprocess.PIPE,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        limits = ""
        for _ in range(100):
            with open("/proc/%d/limits" % process.pid) as f:
                limits = next((line for line in f if line.startswith("Max core file size")), "")
            if limits.split()[4:6] == ["0", "0"]:
                break
            time.sleep(0.05)
        process.communicate("pässwörd\n".encode("utf-8"), timeout=60)
        check(limits.split()[4:6] == ["0", "0"], "core files are off: %r" % limits)

    # 11. Texts that Windows-1252 cannot hold exactly are refused, never stored as "?" or a
    #     look-alike: arguments (the wide command line on Windows) and standard input.
    code, _, err = khcli("create", "strict.khk", "--name", "S", password="pw")
    check(code == 0, "create strict.khk: " + err)
    with open(os.path.join(args.work, "strict.khk"), "rb") as f:
        strict_before = f.read()
    refused = [
        (["create", "cyrillic.khk", "--name", "S"], "пароль", "", "account password"),
        (["create", "cyrillic.khk", "--name", "пароль"], "pw", "", "--name"),
        (["add", "strict.khk", "--name", "S", "--type", "password", "--title", "t", "--data", "пароль"],
         "pw", "", "--data"),
        (["add", "strict.khk", "--name", "S", "--type", "password", "--title", "ｖ", "--data", "x"],
         "pw", "", "--title"),
        (["add", "strict.khk", "--name", "S", "--type", "password", "--title", "t", "--data-stdin"],
         "pw", "пароль\n", "entry data"),
    ]
    for argv, pw, more, field in refused:
        code, out, err = khcli(*argv, password=pw, more_input=more)
        check(code == 2 and (field + " holds a character that Windows-1252 lacks") in err and out == "",
              "refused %s: %d %r" % (field, code, err))
    result = subprocess.run(prefix + ["list", "strict.khk", "--name", "S", "--password-stdin"], cwd=args.work,
                            env=env, capture_output=True, input=b"p\xffw\n", timeout=120)
    check(result.returncode == 2 and b"account password holds" in result.stderr,
          "a password that is not UTF-8 is refused: %r" % result.stderr)
    with open(os.path.join(args.work, "strict.khk"), "rb") as f:
        check(f.read() == strict_before, "nothing was written by a refused command")
    check(not os.path.exists(os.path.join(args.work, "cyrillic.khk")), "no account made from refused texts")

    # 12. Parallel adds to one file: each run holds the file's save lock from its read to its
    #     replace, so every run that says "Added" has its entry in the file.
    code, _, err = khcli("create", "parallel.khk", "--name", "P", "--protection", "compatible",
                         password="pw")
    check(code == 0, "create parallel.khk: " + err)
    runs = []
    for i in range(4 if args.runner else 16):
        runs.append(subprocess.Popen(prefix + ["add", "parallel.khk", "--name", "P", "--type", "text",
                                               "--title", "Run %d" % i, "--password-stdin"],
                                     cwd=args.work, env=env, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE))
    for process in runs:
        process.stdin.write(b"pw\n")
        process.stdin.flush()
    added = set()
    for i, process in enumerate(runs):
        out, err = process.communicate(timeout=300)
        if process.returncode == 0:
            added.add("Run %d" % i)
        else:
            check(process.returncode == 1 and b"is being saved by another process" in err,
                  "a parallel add that did not save says why: %d %r" % (process.returncode, err))
    code, out, err = khcli("list", "parallel.khk", "--name", "P", password="pw")
    listed = [line.split("\t")[1] for line in out.splitlines()]
    check(code == 0 and sorted(listed) == sorted(added),
          "every add that reported success is in the file: %r against %r" % (listed, sorted(added)))
    check(len(added) == len(runs), "parallel adds waited for each other: %d of %d saved" % (len(added), len(runs)))
    check(not [n for n in os.listdir(args.work) if n.startswith("~kh")],
          "no temporary file left by the parallel adds: %r" % os.listdir(args.work))

    # 13. A full-width "ｖ" is another letter: the export writes that file and the account
    #     "v.khk" stays (a best-fit conversion of the name would have replaced it).
    code, _, err = khcli("create", "v.khk", "--name", "V", password="pw")
    check(code == 0, "create v.khk: " + err)
    with open(os.path.join(args.work, "v.khk"), "rb") as f:
        v_before = f.read()
    code, _, err = khcli("export", "v.khk", "--name", "V", "--output", "ｖ.khk", password="pw")
    check(code == 0, "export to a full-width name: %d %s" % (code, err))
    with open(os.path.join(args.work, "v.khk"), "rb") as f:
        check(f.read() == v_before, "the account file is unchanged by an export to ｖ.khk")
    check(os.path.exists(os.path.join(args.work, "ｖ.khk")), "the export has the full-width name")
    code, _, err = khcli("export", "v.khk", "--name", "V", "--output", "./v.khk", password="pw")
    check(code == 2 and "the account file itself" in err, "an export over the account is refused: " + err)

    # 14. The strong format: khcli writes what the document's reader reads, files written
    #     from the document open in khcli, and given the same salt and nonce both
    #     implementations write the same bytes; conversions keep every entry.
    code, _, err = khcli("create", "strong.khk", "--name", "Zoë", "--account-description", "Family €",
                         "--password-description", "the blue one", password="pässwörd")
    check(code == 0, "create strong.khk: " + err)
    for etype, title, whats, data, description in entries:
        code, _, err = khcli("add", "strong.khk", "--name", "Zoë", "--type", etype, "--title", title,
                             "--whats-this", whats, "--data", data, "--description", description,
                             password="pässwörd")
        check(code == 0, "add %s to strong.khk: %s" % (title, err))
    code, out, _ = khcli("info", "strong.khk")
    check(code == 0 and out == "Family €\nProtection: strong (Argon2id, t=3, m=65536 KiB, p=2; AES-256-GCM)\n",
          "info of a strong file: %r" % out)
    with open(os.path.join(args.work, "strong.khk"), "rb") as f:
        strong = f.read()
    name_cp, password_cp = "Zoë".encode("cp1252"), "pässwörd".encode("cp1252")
    types = {"password": 1, "link": 2, "text": 3, "77": 77}
    want = [(types[t], a.encode("cp1252"), b.encode("cp1252"), c.encode("cp1252"), d.encode("cp1252"))
            for t, a, b, c, d in entries]
    try:
        account = khformat.read_strong(strong, name_cp, password_cp)
        got = [(e["type"], e["title"], e["whatsThis"], e["data"], e["description"]) for e in account["entries"]]
        check(got == want, "strong entries written by khcli read back from the document: %r" % got)
        check(account["accountDescription"] == "Family €".encode("cp1252")
              and account["passwordDescription"] == b"the blue one", "strong descriptions")
        check(account["parameters"] == (3, 65536, 2), "new files use t=3, m=65536, p=2")
        again = khformat.write_strong(name_cp, password_cp, "Family €".encode("cp1252"), b"the blue one",
                                      want, salt=account["salt"], nonce=account["nonce"])
        check(again == strong, "khcli and the document agree on every byte of a strong file")
        try:
            khformat.read_strong(strong, name_cp, b"wrong")
            check(False, "the document's reader took a wrong password")
        except khformat.WrongCredentials:
            pass
    except (khformat.Unreadable, khformat.WrongCredentials) as e:
        check(False, "the document's reader cannot read khcli's strong file: %r" % e)

    # Written from the document at the cheapest cost a reader accepts.
    doc_strong = khformat.write_strong(b"Ren\xe9", b"open sesame", b"About", b"hint", doc_entries, t=1, m=8192, p=1)
    with open(os.path.join(args.work, "docstrong.khk"), "wb") as f:
        f.write(doc_strong)
    code, out, err = khcli("dump", "docstrong.khk", "--name", "René", "--json", password="open sesame")
    check(code == 0, "dump of a document-written strong file: " + err)
    if code == 0:
        dump = json.loads(out)
        got = [(e["type"], e["title"], e["whatsThis"], e["data"], e["description"]) for e in dump["entries"]]
        expect = [(t, a[:79].decode("cp1252"), b[:79].decode("cp1252"), c[:79].decode("cp1252"),
                   d[:191].decode("cp1252")) for t, a, b, c, d in doc_entries]
        check(got == expect, "entries of a document-written strong file: %r" % got)
        check(dump["accountDescription"] == "About" and dump["passwordDescription"] == "hint",
              "descriptions of a document-written strong file")
    code, out, _ = khcli("hint", "docstrong.khk", "--name", "René")
    check(code == 0 and out == "hint\n", "hint of a strong file")

    # A flipped bit anywhere after the magic: damaged (or, in the key check, a wrong
    # password), exit 1, and the file stays as it was.
    for offset in (20, 40, 70, 85, 100, len(doc_strong) - 40, len(doc_strong) - 1):
        bent = bytearray(doc_strong)
        bent[offset] ^= 0x01
        with open(os.path.join(args.work, "bent.khk"), "wb") as f:
            f.write(bent)
        code, _, err = khcli("list", "bent.khk", "--name", "René", password="open sesame")
        # The salt and the key check lead to another key check: like a wrong password.
        like_wrong = 32 <= offset < 64 or 80 <= offset < 96
        told = ("wrong name or password" in err) if like_wrong else \
            ("damaged" in err and "wrong name" not in err)
        check(code == 1 and told, "a flipped bit at %d: %d %r" % (offset, code, err))
        with open(os.path.join(args.work, "bent.khk"), "rb") as f:
            check(f.read() == bent, "the damaged file at %d is untouched" % offset)

    # Conversions both ways keep every entry, read through the document both times.
    code, _, err = khcli("protect", "strong.khk", "--name", "Zoë", "--protection", "compatible",
                         password="pässwörd")
    check(code == 0, "protect to compatible: " + err)
    with open(os.path.join(args.work, "strong.khk"), "rb") as f:
        try:
            back = khformat.read_account(fmt, f.read(), name_cp, password_cp)
            got = [(e["type"], e["title"], e["whatsThis"], e["data"], e["description"]) for e in back["entries"]]
            check(got == want, "entries after the conversion to compatible: %r" % got)
        except khformat.Unreadable as e:
            check(False, "the converted compatible file does not read: %s" % e)
    code, _, err = khcli("protect", "strong.khk", "--name", "Zoë", "--protection", "strong", password="pässwörd")
    check(code == 0, "protect to strong: " + err)
    with open(os.path.join(args.work, "strong.khk"), "rb") as f:
        try:
            account = khformat.read_strong(f.read(), name_cp, password_cp)
            got = [(e["type"], e["title"], e["whatsThis"], e["data"], e["description"]) for e in account["entries"]]
            check(got == want, "entries after the conversion back to strong: %r" % got)
        except (khformat.Unreadable, khformat.WrongCredentials) as e:
            check(False, "the converted strong file does not read: %r" % e)

    if failures:
        print("%d check(s) failed" % len(failures))
        return 1
    print("all khcli program checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
