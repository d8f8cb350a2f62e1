#!/usr/bin/env bash
# Starts Keyhaven.exe under Wine as a user would, checks that its window appears with the
# self-test verdict drawn (not blank), saves a screenshot, closes it with Escape and
# expects exit code 0 (the cipher self-test passed).
# Usage: start_window.sh KEYHAVEN_EXE SCREENSHOT_PNG   (needs DISPLAY and WINEPREFIX)
set -uo pipefail
exe=$1
shot=$2
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: run through scripts/test.sh"; exit 1; }
mkdir -p "$(dirname "$shot")"

wine "$exe" &
pid=$!
wid=""
for _ in $(seq 1 120); do
    wid=$(xdotool search --name '^Keyhaven$' 2>/dev/null | head -n 1)
    [ -n "$wid" ] && break
    sleep 0.5
done
if [ -z "$wid" ]; then
    echo "the Keyhaven window did not appear"
    kill "$pid" 2>/dev/null
    exit 1
fi
sleep 1
import -window "$wid" "$shot"
colours=$(convert "$shot" -format '%k' info:)
echo "window $wid, screenshot $shot with $colours colours"
if [ "${colours:-0}" -lt 50 ]; then
    echo "the window looks blank"
    kill "$pid" 2>/dev/null
    exit 1
fi

xdotool windowfocus --sync "$wid" 2>/dev/null || true
xdotool key --window "$wid" Escape
for _ in $(seq 1 40); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.25
done
if kill -0 "$pid" 2>/dev/null; then
    echo "Escape did not close the window"
    kill "$pid" 2>/dev/null
    exit 1
fi
wait "$pid"
rc=$?
echo "Keyhaven.exe exited with $rc"
exit $rc
