#!/usr/bin/env bash
# Builds the Windows program and starts Keyhaven.exe under Wine on your display. Without a
# display it starts a private Xvfb, saves a screenshot to build/screenshot.png a few
# seconds after the start and says where it is.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. scripts/wine_env.sh

scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc 2>/dev/null || echo 2)"
exe="$root/build/windows/app/Keyhaven.exe"

if [ -n "${DISPLAY:-}" ]; then
    kh_wine_env "$root/build/windows"
    exec wine "$exe"
fi

trap 'wineserver -k 2>/dev/null || true; kh_stop_xvfb' EXIT
kh_start_xvfb
kh_wine_env "$root/build/windows"
# A Wine desktop window gives the program a Windows-style frame for the screenshot.
wine explorer /desktop=Keyhaven,1024x700 "$exe" >/dev/null 2>&1 &
for _ in $(seq 1 60); do
    if xdotool search --name 'Keyhaven' >/dev/null 2>&1; then break; fi
    sleep 0.5
done
sleep 6
import -window root "$root/build/screenshot.png"
echo "Keyhaven started without a display; screenshot saved to $root/build/screenshot.png"
