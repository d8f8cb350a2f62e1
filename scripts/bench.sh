#!/usr/bin/env bash
# Builds and runs the benchmarks; each prints its ratios at the end.
#   1. native release build: cipher, account read and write (arguments go to this one);
#   2. the open of a strong account by khcli against keepassxc-cli's open of a KDBX file
#      at the same Argon2id parameters (bench/strong_open_peer.py);
#   3. windows build under Wine in a private Xvfb display: the login of a 10,240-entry
#      account in the real main window against the bare file read.
# KH_BENCH_NATIVE_BUILD and KH_BENCH_WINDOWS_BUILD pick other build folders (default
# build/native and build/windows).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. scripts/wine_env.sh
jobs=$(nproc 2>/dev/null || echo 2)

scripts/setup.sh
native_build=${KH_BENCH_NATIVE_BUILD:-$root/build/native}
cmake --preset native -B "$native_build" >/dev/null
cmake --build "$native_build" --target kh_bench -j "$jobs"
"$native_build/bench/kh_bench" --benchmark_report_aggregates_only=true "$@"

cmake --build "$native_build" --target khcli -j "$jobs"
echo
echo "=== Strong open against the peer"
/usr/bin/python3 bench/strong_open_peer.py "$native_build/tools/khcli/khcli"

win_build=${KH_BENCH_WINDOWS_BUILD:-$root/build/windows}
cmake --preset windows -B "$win_build" >/dev/null
cmake --build "$win_build" --target kh_login_bench -j "$jobs"
echo
echo "=== Login benchmark of the Windows program (Wine, Xvfb)"
trap 'wineserver -k 2>/dev/null || true; kh_stop_xvfb' EXIT
kh_start_xvfb
kh_wine_env "$win_build"
wine "$win_build/bench/kh_login_bench.exe"
