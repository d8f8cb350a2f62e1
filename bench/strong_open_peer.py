#!/usr/bin/python3
"""Opening a strong account against the peer a user would pick instead, at the same
Argon2id parameters (t=3, m=65536 KiB, p=2) and with the same 10,240 entries:
`khcli list` of a strong account file against `keepassxc-cli ls` of a KDBX 4 file.
Both are whole processes, start-up and key derivation included; each command runs
alternately, and the medians and their ratio are printed.

usage: strong_open_peer.py KHCLI [RUNS]
"""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from kdbx_writer import write_kdbx  # noqa: E402

ENTRIES = 10240
NAME = "bench"
PASSWORD = "correct horse battery staple"
ITERATIONS, MEMORY_KIB, LANES = 3, 65536, 2


def run(command, stdin_text):
    started = time.perf_counter()
    done = subprocess.run(command, input=stdin_text.encode(), stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - started
    if done.returncode != 0:
        sys.exit("failed (%d): %s\n%s" % (done.returncode, " ".join(command),
                                          done.stderr.decode(errors="replace")))
    return elapsed, done.stdout


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    khcli = os.path.abspath(sys.argv[1])
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 7
    if not shutil.which("keepassxc-cli"):
        sys.exit("keepassxc-cli is not installed")
    folder = tempfile.mkdtemp(prefix="kh-peer-")
    try:
        entries = [("Entry %05d" % i, "user%d@example.org" % i, "pw-%d-%s" % (i, "x" * (i % 17)),
                    "note %d" % i) for i in range(ENTRIES)]
        kdbx = os.path.join(folder, "peer.kdbx")
        write_kdbx(kdbx, PASSWORD, entries, ITERATIONS, MEMORY_KIB, LANES)
        # The same entries reach the strong account through the peer's own CSV export.
        csv_file = os.path.join(folder, "peer.csv")
        _, csv_text = run(["keepassxc-cli", "export", "-q", "-f", "csv", kdbx], PASSWORD + "\n")
        with open(csv_file, "wb") as f:
            f.write(csv_text)
        account = os.path.join(folder, "strong.khk")
        run([khcli, "create", account, "--name", NAME, "--password-stdin"], PASSWORD + "\n")
        run([khcli, "import", account, "--name", NAME, "--input", csv_file, "--from",
             "keepassxc-csv", "--password-stdin"], PASSWORD + "\n")
        _, info = run([khcli, "info", account], "")
        print(info.decode().strip())

        ours = [khcli, "list", account, "--name", NAME, "--password-stdin"]
        theirs = ["keepassxc-cli", "ls", "-q", kdbx]
        _, listed = run(ours, PASSWORD + "\n")
        _, peer_listed = run(theirs, PASSWORD + "\n")
        if listed.count(b"\n") < ENTRIES or peer_listed.count(b"\n") < ENTRIES:
            sys.exit("an open did not list every entry")
        ours_times, theirs_times = [], []
        for _ in range(runs):
            ours_times.append(run(ours, PASSWORD + "\n")[0])
            theirs_times.append(run(theirs, PASSWORD + "\n")[0])
        ours_median = statistics.median(ours_times)
        theirs_median = statistics.median(theirs_times)
        print("Open of %d entries at Argon2id t=%d, m=%d KiB, p=%d (median of %d, wall):"
              % (ENTRIES, ITERATIONS, MEMORY_KIB, LANES, runs))
        print("  khcli list          %7.3f s" % ours_median)
        print("  keepassxc-cli ls    %7.3f s" % theirs_median)
        print("  khcli / peer        %7.2fx" % (ours_median / theirs_median))
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
