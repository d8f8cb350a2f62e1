# Sourced by the scripts: a private Wine prefix inside the build folder and, when asked
# for, a private Xvfb display on a free number. Functions, no side effects on sourcing.

# Call after the display is set: Wine's background processes keep the display they
# started with.
kh_wine_env() {
    local build_dir=$1
    export WINEPREFIX="$build_dir/wineprefix"
    export WINEDEBUG=-all
    # No debugger on a crash: the crashed program ends at once and its test fails, instead
    # of waiting for a debugger session until the test's time runs out.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
    export WINEARCH=win64
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "wine: preparing the prefix in $WINEPREFIX"
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w || true
    fi
    # Debian's Wine does not find its own symbol fonts (Marlett draws the caption buttons)
    # unless they are in the prefix.
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    if [ -d /usr/share/wine/fonts ] && [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then
        cp -n /usr/share/wine/fonts/*.ttf "$fonts"/ 2>/dev/null || true
    fi
    # Test programs that open windows run inside a Wine virtual desktop: without a window
    # manager, every top-level X window that is shown or hidden makes Wine wait for a
    # reply that never comes (about two seconds each). Keyhaven.exe itself keeps real X
    # windows, which the end-to-end tests find and drive with xdotool.
    if [ ! -f "$WINEPREFIX/.kh-desktops-2" ]; then
        local reg="$WINEPREFIX/kh-desktops.reg"
        {
            printf 'REGEDIT4\n\n'
            printf '[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\n"KhTests"="1280x900"\n\n'
            local exe
            for exe in main_window_tests dpi_layout_tests ui_tests diag_window_tests app_win32_tests i18n_tests; do
                printf '[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\%s.exe\\Explorer]\n"Desktop"="KhTests"\n\n' "$exe"
            done
        } >"$reg"
        wine regedit /S "$reg" >/dev/null 2>&1 && touch "$WINEPREFIX/.kh-desktops-2"
    fi
    # One server for the whole run, with Wine's own background processes (services,
    # device host) started here. Started by the first test instead, they would inherit
    # that test's output pipe and keep ctest waiting for it to close.
    wineserver -k 2>/dev/null || true # a server left from an earlier run may hold an old display
    wineserver -p30 2>/dev/null || true
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
    # The tests' desktop too, so that it does not hang on the first test's output pipe.
    (wine explorer /desktop=KhTests,1280x900 </dev/null >/dev/null 2>&1 &)
}

# Starts Xvfb on the first free display from 90 on; sets DISPLAY and KH_XVFB_PID.
kh_start_xvfb() {
    local n=90
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -nolisten tcp -screen 0 1280x900x24 >/dev/null 2>&1 &
    KH_XVFB_PID=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 100); do
        if xdpyinfo >/dev/null 2>&1; then return 0; fi
        sleep 0.1
    done
    echo "Xvfb did not start on $DISPLAY" >&2
    return 1
}

kh_stop_xvfb() {
    if [ -n "${KH_XVFB_PID:-}" ]; then
        kill "$KH_XVFB_PID" 2>/dev/null || true
        wait "$KH_XVFB_PID" 2>/dev/null || true
        KH_XVFB_PID=""
    fi
}
