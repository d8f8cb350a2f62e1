#!/usr/bin/env bash
# Runs kh_language_template.exe to write the translators' template (example.lng) of a
# Windows build. Under Linux it runs under Wine, in the build's own prefix, on the current
# display or, without one, on a private Xvfb display that ends with the run.
# Usage: language_template.sh TEMPLATE_EXE OUTPUT BUILD_DIR
set -euo pipefail
exe=$1
out=$2
build=$3
root=$(cd "$(dirname "$0")/.." && pwd)
case "$(uname -s)" in
MINGW* | MSYS* | CYGWIN*)
    exec "$exe" "$out"
    ;;
esac
. "$root/scripts/wine_env.sh"
started_x=0
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    kh_start_xvfb
    started_x=1
fi
cleanup() {
    if [ "$started_x" = 1 ]; then
        wineserver -k 2>/dev/null || true
        kh_stop_xvfb
    fi
}
trap cleanup EXIT
if [ -z "${WINEPREFIX:-}" ] || [ "$started_x" = 1 ]; then
    kh_wine_env "$(cd "$build" && pwd)" >/dev/null
fi
tmp="$out.part"
WINEDEBUG=-all wine "$exe" "$(winepath -w "$tmp" 2>/dev/null || echo "$tmp")" </dev/null
mv -f "$tmp" "$out"
