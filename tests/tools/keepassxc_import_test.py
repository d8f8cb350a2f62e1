#!/usr/bin/env python3
"""Exports a database made here with the real keepassxc-cli to CSV and imports that file
through the core's import (the import_probe program), named and recognised on its own:
every entry with every field, the items that must not come over, and the report's counts.
Then the same file goes through khcli into an account file, which is read back."""

import argparse
import json
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import keepassxc_export  # noqa: E402

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--probe", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--keepassxc-cli", default="keepassxc-cli")
    parser.add_argument("--khcli", required=True)
    args = parser.parse_args()

    shutil.rmtree(args.work, ignore_errors=True)
    csv = keepassxc_export.make_export(args.work, args.keepassxc_cli)
    with open(csv, "rb") as f:
        head = f.read(200)
    check(head.startswith(b'"Group","Title","Username","Password","URL","Notes"'),
          "the export starts with KeePassXC's header: %r" % head[:80])

    expected_entries = sorted(keepassxc_export.ENTRIES)
    expected_skipped = sorted(keepassxc_export.SKIPPED)
    for how in ("keepassxc-csv", "auto"):
        result = subprocess.run([args.probe, csv, how], capture_output=True, timeout=60)
        check(result.returncode == 0, how + ": probe exits 0: " + result.stderr.decode())
        if result.returncode != 0:
            continue
        report = json.loads(result.stdout.decode("utf-8"))
        check(report["refusal"] == "", how + ": not refused: " + report["refusal"])
        check(report["format"] == "keepassxc-csv", how + ": read as " + report["format"])
        entries = sorted((int(e["type"]), e["title"], e["whatsThis"], e["data"], e["description"])
                         for e in report["entries"])
        for want in expected_entries:
            check(want in entries, how + ": entry %r imported as it should be" % (want,))
        for got in entries:
            check(got in expected_entries, how + ": no other entry, but got %r" % (got,))
        check(report["imported"] == len(expected_entries), how + ": imported count")
        skipped = sorted((s["reason"], s["label"]) for s in report["skipped"])
        check(skipped == expected_skipped, how + ": skipped %r" % (skipped,))
        check(all(s["line"] > 1 for s in report["skipped"]), how + ": skipped items have lines")
        check(report["cut"] == keepassxc_export.CUT, how + ": cut %d" % report["cut"])
        check(report["leftOut"] == keepassxc_export.LEFT_OUT,
              how + ": left out %d" % report["leftOut"])
        summary = report["summary"]
        count = len(expected_entries)
        check(summary.startswith("Import From KeePassXC CSV: %d %s imported, %d skipped."
                                 % (count, "item" if count == 1 else "items",
                                    len(expected_skipped))),
              how + ": summary " + summary)
        for _, label in expected_skipped:
            check(label in summary, how + ": summary names " + label)
        # Named by title, never by password.
        check("пароль" not in summary and "p" * 80 not in summary, how + ": no password shown")

    # Through khcli into an account file, and read back from it.
    for how in ("auto", "keepassxc-csv"):
        vault = os.path.join(args.work, "moved-%s.khk" % how)
        pw = b"vault pw\n"
        created = subprocess.run([args.khcli, "create", vault, "--name", "mover",
                                  "--password-stdin"], input=pw, capture_output=True, timeout=60)
        check(created.returncode == 0, how + ": khcli create: " + created.stderr.decode())
        command = [args.khcli, "import", vault, "--name", "mover", "--input", csv,
                   "--password-stdin"]
        if how != "auto":
            command += ["--from", how]
        imported = subprocess.run(command, input=pw, capture_output=True, timeout=60)
        check(imported.returncode == 0, how + ": khcli import exits 0: " +
              imported.stderr.decode())
        out = imported.stdout.decode("utf-8")
        check(out.startswith("Import From KeePassXC CSV: %d items imported, %d skipped."
                             % (len(expected_entries), len(expected_skipped))),
              how + ": khcli summary " + out)
        for _, label in expected_skipped:
            check("- " + label + ":" in out, how + ": khcli summary names " + label)
        dumped = subprocess.run([args.khcli, "dump", vault, "--name", "mover", "--json",
                                 "--password-stdin"], input=pw, capture_output=True, timeout=60)
        check(dumped.returncode == 0, how + ": khcli dump: " + dumped.stderr.decode())
        if dumped.returncode != 0:
            continue
        stored = sorted((e["type"], e["title"], e["whatsThis"], e["data"], e["description"])
                        for e in json.loads(dumped.stdout.decode("utf-8"))["entries"])
        check(stored == expected_entries, how + ": read back from the account file: %r"
              % (stored,))

    if failures:
        print("%d check(s) failed" % len(failures))
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
