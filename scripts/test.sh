#!/usr/bin/env bash
# Installs what is missing, builds every preset and runs every suite:
#   native, native-asan (ctest), windows (ctest under Wine in a private Xvfb display,
#   including the end-to-end start of Keyhaven.exe), the installer and the portable zip
#   (built, installed, started and uninstalled under Wine) and a short run of each fuzz
#   target.
# Exits non-zero when anything fails. KH_FUZZ_SECONDS sets the time per fuzz target.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. scripts/wine_env.sh

fuzz_seconds=${KH_FUZZ_SECONDS:-30}
jobs=$(nproc 2>/dev/null || echo 2)
summary=()
failed=0

run_step() {
    local name=$1
    shift
    echo
    echo "=== $name"
    local start=$SECONDS
    if "$@"; then
        summary+=("PASS  $name ($((SECONDS - start)) s)")
    else
        summary+=("FAIL  $name ($((SECONDS - start)) s)")
        failed=1
    fi
}

build_preset() {
    cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$jobs"
}

test_native() {
    build_preset native && ctest --preset native -j "$jobs"
}

test_asan() {
    build_preset native-asan &&
        ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
            ctest --preset native-asan -j "$jobs"
}

test_windows() {
    build_preset windows || return 1
    kh_start_xvfb || return 1
    kh_wine_env "$root/build/windows"
    local rc=0
    ctest --preset windows -j "$jobs" || rc=1
    wineserver -k 2>/dev/null || true
    kh_stop_xvfb
    return $rc
}

# The installer and the portable zip of scripts/package.sh, installed, started and
# uninstalled under Wine in a prefix of their own (scripts/package_test.sh).
test_package() {
    scripts/package.sh && scripts/package_test.sh
}

test_fuzz() {
    build_preset fuzz || return 1
    local rc=0 target corpus
    for target in account_file text_codec import_text import_formats language_file browser_block des_engines \
        strong_file strong_payload; do
        corpus="$root/build/fuzz/corpus/$target"
        mkdir -p "$corpus"
        if [ -d "$root/fuzz/corpus/$target" ]; then cp -n "$root/fuzz/corpus/$target"/* "$corpus"/; fi
        echo "fuzz_$target: $fuzz_seconds s"
        if ! "$root/build/fuzz/fuzz/fuzz_$target" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 \
            -artifact_prefix="$root/build/fuzz/crash-$target-" "$corpus" >"$root/build/fuzz/$target.log" 2>&1; then
            echo "fuzz_$target found a problem; see build/fuzz/$target.log:"
            tail -n 30 "$root/build/fuzz/$target.log"
            rc=1
        else
            grep -E '^Done [0-9]+ runs' "$root/build/fuzz/$target.log" || true
        fi
    done
    return $rc
}

trap 'kh_stop_xvfb' EXIT

run_step "setup (Debian packages)" scripts/setup.sh
if [ "$failed" -eq 0 ]; then
    run_step "native build and tests" test_native
    run_step "native-asan build and tests (ASan + UBSan)" test_asan
    run_step "windows build and tests under Wine" test_windows
    run_step "installer and portable zip under Wine" test_package
    run_step "fuzz targets (${fuzz_seconds} s each)" test_fuzz
fi

echo
echo "=== Summary"
printf '%s\n' "${summary[@]}"
if [ "$failed" -ne 0 ]; then
    echo "FAILED"
    exit 1
fi
echo "ALL PASSED"
