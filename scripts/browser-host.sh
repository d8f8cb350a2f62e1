#!/usr/bin/env bash
# Registers khbridge.exe, run through Wine, as the native-messaging host of the Keyhaven
# browser extension for this user's Chromium, Google Chrome and Firefox on Linux.
#
#   scripts/browser-host.sh install [--exe KHBRIDGE.EXE] [--prefix WINEPREFIX] [--wrapper FILE]
#                                   [--chrome-dir DIR]... [--firefox-dir DIR]...
#   scripts/browser-host.sh remove  [--wrapper FILE] [--chrome-dir DIR]... [--firefox-dir DIR]...
#
# install writes a small wrapper (default ~/.local/share/keyhaven/khbridge-host) that runs
# `wine KHBRIDGE.EXE --native-messaging` in the Wine prefix Keyhaven.exe runs in, and the
# host's manifest org.keyhaven.bridge.json naming that wrapper into
#   ~/.config/chromium/NativeMessagingHosts/, ~/.config/google-chrome/NativeMessagingHosts/
#   and ~/.mozilla/native-messaging-hosts/ (Firefox gets its own manifest).
# --chrome-dir and --firefox-dir replace those folders (a Chromium started with
# --user-data-dir=D reads D/NativeMessagingHosts). The defaults: the build's khbridge.exe
# and the prefix scripts/run.sh uses (or $WINEPREFIX when set). remove takes it all away.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
name=org.keyhaven.bridge

usage() {
    sed -n '5,7p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

[ $# -ge 1 ] || usage
action=$1
shift
exe="$root/build/windows/tools/khbridge/khbridge.exe"
prefix="${WINEPREFIX:-$root/build/windows/wineprefix}"
wrapper="${XDG_DATA_HOME:-$HOME/.local/share}/keyhaven/khbridge-host"
chrome_dirs=()
firefox_dirs=()
while [ $# -gt 0 ]; do
    [ $# -ge 2 ] || usage
    case $1 in
    --exe) exe=$2 ;;
    --prefix) prefix=$2 ;;
    --wrapper) wrapper=$2 ;;
    --chrome-dir) chrome_dirs+=("$2") ;;
    --firefox-dir) firefox_dirs+=("$2") ;;
    *) usage ;;
    esac
    shift 2
done
if [ ${#chrome_dirs[@]} -eq 0 ] && [ ${#firefox_dirs[@]} -eq 0 ]; then
    config="${XDG_CONFIG_HOME:-$HOME/.config}"
    chrome_dirs=("$config/chromium/NativeMessagingHosts" "$config/google-chrome/NativeMessagingHosts")
    firefox_dirs=("$HOME/.mozilla/native-messaging-hosts")
fi

# A browser family's shipped manifest with the wrapper as the program; in every folder the
# file is named after the host.
write_manifest() { # DIR SHIPPED-MANIFEST
    mkdir -p "$1"
    python3 -c '
import json, sys
manifest = json.load(open(sys.argv[1]))
manifest["path"] = sys.argv[2]
print(json.dumps(manifest, indent=2))
' "$root/tools/khbridge/$2" "$wrapper" >"$1/$name.json"
    echo "browser-host: $1/$name.json"
}

case $action in
install)
    [ -f "$exe" ] || { echo "browser-host: no $exe (build the windows preset first)" >&2; exit 1; }
    wine=$(command -v wine) || { echo "browser-host: wine is not installed" >&2; exit 1; }
    mkdir -p "$(dirname "$wrapper")"
    exe="$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")"
    # The browser starts the wrapper with arguments of its own (the caller's origin, or
    # Firefox's manifest path and add-on id); the host ignores them.
    {
        echo '#!/bin/sh'
        echo '# Written by scripts/browser-host.sh: the browser starts this, Wine runs the host.'
        printf 'export WINEPREFIX=%q\n' "$prefix"
        echo 'export WINEDEBUG=-all'
        printf 'exec %q %q --native-messaging "$@"\n' "$wine" "$exe"
    } >"$wrapper"
    chmod 755 "$wrapper"
    echo "browser-host: $wrapper"
    for dir in "${chrome_dirs[@]}"; do write_manifest "$dir" "$name.json"; done
    for dir in "${firefox_dirs[@]}"; do write_manifest "$dir" "$name.firefox.json"; done
    ;;
remove)
    for dir in "${chrome_dirs[@]}" "${firefox_dirs[@]}"; do rm -f "$dir/$name.json"; done
    rm -f "$wrapper"
    echo "browser-host: removed"
    ;;
*)
    usage
    ;;
esac
