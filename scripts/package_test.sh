#!/usr/bin/env bash
# The packages of dist/ as a user meets them, under Wine in a fresh prefix and a private
# Xvfb display: the installer run silently (with start with Windows and the browser
# integration chosen), the installed program started and closed, the uninstaller run
# silently; then nothing of the program may be left in the registry, the Start menu or
# the program folder, while an account file there and config.ini stay. The portable zip
# holds the same files and runs from a folder of its own.
# Run scripts/package.sh first. Ends with "N passed, N failed".
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. scripts/wine_env.sh

setup=$(ls -t dist/Keyhaven-*-setup.exe 2>/dev/null | head -n 1)
portable=$(ls -t dist/Keyhaven-*-portable.zip 2>/dev/null | head -n 1)
if [ -z "$setup" ] || [ -z "$portable" ]; then
    echo "no package in dist/: run scripts/package.sh first" >&2
    exit 1
fi

work=$root/build/package-test
rm -rf "$work"
mkdir -p "$work"
passed=0
failed=0
check() { # WHAT COMMAND...
    local what=$1
    shift
    if "$@"; then
        echo "ok:   $what"
        passed=$((passed + 1))
    else
        echo "FAIL: $what"
        failed=$((failed + 1))
    fi
}
finish() {
    wineserver -k 2>/dev/null || true
    kh_stop_xvfb
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit
}

kh_start_xvfb || exit 1
trap 'kh_stop_xvfb' EXIT
kh_wine_env "$work"

user=$(wine cmd /c echo %USERNAME% 2>/dev/null | tr -d '\r')
home=$WINEPREFIX/drive_c/users/$user
instdir=$home/AppData/Local/Programs/Keyhaven
wininst='C:\users\'$user'\AppData\Local\Programs\Keyhaven'
config=$home/AppData/Roaming/Keyhaven/config.ini
shortcut="$home/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Keyhaven.lnk"

run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Keyhaven'
menu_key='HKCU\Software\Microsoft\Internet Explorer\MenuExt'
host_keys=('HKCU\Software\Google\Chrome\NativeMessagingHosts\org.keyhaven.bridge'
    'HKCU\Software\Microsoft\Edge\NativeMessagingHosts\org.keyhaven.bridge'
    'HKCU\Software\Chromium\NativeMessagingHosts\org.keyhaven.bridge'
    'HKCU\Software\Mozilla\NativeMessagingHosts\org.keyhaven.bridge')
class_keys=('HKCU\Software\Classes\.khk' 'HKCU\Software\Classes\Keyhaven.Account')

reg_query() { wine reg query "$@" 2>/dev/null | tr -d '\r'; }
has_key() { wine reg query "$1" >/dev/null 2>&1; }
has_value() { wine reg query "$1" /v "$2" >/dev/null 2>&1; }
no_key() { ! has_key "$1"; }
no_value() { ! has_value "$1" "$2"; }
value_names_us() { reg_query "$1" /v "$2" | grep -qiF "$wininst"; }
# The menu entries (any language) whose page lies in the program folder.
menu_entries_of_us() { reg_query "$menu_key" /s | grep -ciF "$wininst\\KH" || true; }
ini_value() { sed -n "s/^$1=//p" "$config" | tr -d '\r'; }
wait_until() { # SECONDS COMMAND...
    local seconds=$1
    shift
    local i
    for i in $(seq 1 $((seconds * 5))); do
        "$@" && return 0
        sleep 0.2
    done
    return 1
}
gone() { [ ! -e "$1" ]; }

# --- Install, silently, with both options chosen.
wine "$setup" /S /AUTORUN=1 /BROWSER=1 </dev/null >/dev/null 2>&1
check "the installer exits with 0" test $? -eq 0
for f in Keyhaven.exe khcli.exe khbridge.exe uninstall.exe example.lng language/Deutsch.lng \
    html org.keyhaven.bridge.json org.keyhaven.bridge.firefox.json browser-extension/manifest.json; do
    check "installed: $f" test -e "$instdir/$f"
done
check "a Start-menu entry" test -f "$shortcut"
version=$(basename "$setup" | sed 's/^Keyhaven-\(.*\)-setup\.exe$/\1/')
for exe in Keyhaven.exe khcli.exe khbridge.exe; do
    check "$exe carries the version $version" \
        sh -c "strings -el '$instdir/$exe' | grep -qx '$version'"
done
check "Keyhaven.exe's manifest: per-monitor DPI aware, as invoker, common controls 6" \
    sh -c "grep -q '>PerMonitorV2, PerMonitor</dpiAwareness>' '$instdir/Keyhaven.exe' &&
        grep -q 'level=\"asInvoker\"' '$instdir/Keyhaven.exe' &&
        grep -q 'Microsoft.Windows.Common-Controls' '$instdir/Keyhaven.exe'"
check "the uninstall key names the uninstaller" value_names_us "$uninstall_key" UninstallString
check "config.ini holds the choices (Autorun=1, WithIE=1)" \
    test "$(ini_value Autorun)$(ini_value WithIE)" = 11
check "start with Windows: the Run value names the program" value_names_us "$run_key" Keyhaven
check "the browser host is registered for Chrome" value_names_us "${host_keys[0]}" ""
check "the browser host is registered for Firefox" value_names_us "${host_keys[3]}" ""

# An account file and a backup in the program folder, made with the installed khcli.
(cd "$instdir" && printf 'pw\n' | wine khcli.exe create vault.khk --name alice --password-stdin \
    >/dev/null 2>&1)
check "the installed khcli makes an account file" test -s "$instdir/vault.khk"
mkdir -p "$instdir/backup" && cp "$instdir/vault.khk" "$instdir/backup/vault1.khk"

# --- The installed program starts (the account wizard: there is no account yet) and ends.
(cd "$home" && wine "$instdir/Keyhaven.exe" </dev/null >/dev/null 2>&1 &)
window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1; }
wizard_up() { [ -n "$(window '^Keyhaven Account Wizard$')" ]; }
check "the installed program opens its account wizard" wait_until 40 wizard_up
check "its start registered the browser menu pages in the program folder" \
    wait_until 10 test "$(menu_entries_of_us)" -ge 3
check "its start wrote the browser pages" test -f "$instdir/KHGet.htm"
# Closed as a user would: the wizard cancelled, then Account - Quit Keyhaven.
xdotool windowfocus --sync "$(window '^Keyhaven Account Wizard$')" key Escape 2>/dev/null
main_up() { [ -n "$(window '^Remember One Password')" ] && ! wizard_up; }
wait_until 10 main_up
sleep 1
import -window root "$work/installed-program.png" 2>/dev/null || true
xdotool windowfocus --sync "$(window '^Remember One Password')" key alt+a 2>/dev/null
sleep 1
xdotool key q 2>/dev/null
program_gone() { ! wine tasklist 2>/dev/null | grep -qi keyhaven.exe; }
check "Account - Quit Keyhaven ends it" wait_until 20 program_gone
wine taskkill /F /IM Keyhaven.exe >/dev/null 2>&1 # whatever the check found

# Installed again without options (an update): the earlier choices stay.
wine "$setup" /S </dev/null >/dev/null 2>&1
check "an update without options keeps the choices" \
    test "$(ini_value Autorun)$(ini_value WithIE)" = 11
check "an update keeps the Run value" value_names_us "$run_key" Keyhaven

# --- Uninstall, silently. The uninstaller runs from a copy in the temporary folder.
wine "$instdir/uninstall.exe" /S </dev/null >/dev/null 2>&1
uninstalled() { no_key "$uninstall_key" && gone "$instdir/uninstall.exe"; }
check "the uninstaller finishes" wait_until 60 uninstalled
wineserver -w 2>/dev/null &
sleep 1

left=$(cd "$instdir" 2>/dev/null && find . -mindepth 1 | sed 's|^\./||' | sort | tr '\n' ' ')
check "the program folder keeps only the account file and its backup (left: $left)" \
    test "$left" = "backup backup/vault1.khk vault.khk "
check "the account file is unchanged" cmp -s "$instdir/vault.khk" "$instdir/backup/vault1.khk"
check "config.ini stays with its settings" test "$(ini_value Autorun)" = 1
check "the Start-menu entry is gone" gone "$shortcut"
check "the uninstall key is gone" no_key "$uninstall_key"
check "the Run value is gone" no_value "$run_key" Keyhaven
for key in "${host_keys[@]}"; do check "gone: $key" no_key "$key"; done
check "the browser menu entries are gone" test "$(menu_entries_of_us)" -eq 0
for key in "${class_keys[@]}"; do check "gone: $key" no_key "$key"; done

# --- The portable zip: the installed files, and it runs from a folder of its own.
mkdir -p "$work/some folder"
(cd "$work/some folder" && unzip -q "$root/$portable")
zip_files=$(cd "$work/some folder/Keyhaven" && find . -type f | sort)
staged_files=$(cd "$root/build/package/Keyhaven" && find . -type f | sort)
check "the zip holds the installer's files" test "$zip_files" = "$staged_files"
generated=$(cd "$work/some folder/Keyhaven" && wine khcli.exe generate --length 24 2>/dev/null | tr -d '\r\n')
check "khcli runs from the unpacked zip" test ${#generated} -eq 24

finish
