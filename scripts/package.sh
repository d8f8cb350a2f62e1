#!/usr/bin/env bash
# Installs what is missing, builds the Windows program (preset windows) and packs it twice
# into dist/:
#   Keyhaven-<version>-setup.exe     the per-user installer (NSIS)
#   Keyhaven-<version>-portable.zip  the same files in a folder that runs from anywhere
# KH_BUILD_DIR names another build folder of the windows preset (default build/windows);
# KH_SKIP_BUILD=1 packs what is already built there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

build=${KH_BUILD_DIR:-$root/build/windows}
dist=$root/dist
work=$root/build/package
stage=$work/Keyhaven

scripts/setup.sh
for tool in makensis zip x86_64-w64-mingw32-objdump; do
    command -v "$tool" >/dev/null || { echo "package: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done

if [ "${KH_SKIP_BUILD:-0}" != 1 ]; then
    export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-$(command -v ccache || true)}
    export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-$(command -v ccache || true)}
    [ -f "$build/build.ninja" ] || cmake --preset windows >/dev/null
    cmake --build "$build" --target Keyhaven khcli khbridge -j "$(nproc 2>/dev/null || echo 2)"
fi

version=$(sed -n 's/^#define KH_VERSION_TEXT "\(.*\)"$/\1/p' "$build/app/generated/version.h")
[ -n "$version" ] || { echo "package: no version in $build/app/generated/version.h" >&2; exit 1; }

# --- The program folder, as installed.
rm -rf "$work"
mkdir -p "$stage" "$dist"
app=$build/app
cp "$app/Keyhaven.exe" "$app/example.lng" "$stage/"
cp -r "$app/language" "$app/html" "$stage/"
cp "$build/tools/khcli/khcli.exe" "$stage/"
cp "$build/tools/khbridge/khbridge.exe" "$build/tools/khbridge/"org.keyhaven.bridge*.json "$stage/"
cp -r "$root/browser-extension" "$stage/"
# The guide with what it links to.
mkdir -p "$stage/docs"
cp -r "$root/docs/user-guide.md" "$root/docs/browser-protocol.md" "$root/docs/screenshots" "$stage/docs/"

# --- Every DLL the programs load that Windows does not bring, and the DLLs those load.
# Windows' own DLLs are the ones Wine provides as system DLLs; others are looked for in
# the build folder and the cross compiler's run-time folders.
system_dlls=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
search=("$build" /usr/x86_64-w64-mingw32/lib /usr/x86_64-w64-mingw32/bin
    /usr/lib/gcc/x86_64-w64-mingw32/*-posix)
is_system_dll() {
    [ -n "$(find "$system_dlls" -maxdepth 1 -iname "$1" -print -quit 2>/dev/null)" ]
}
find_dll() {
    local dir
    for dir in "${search[@]}"; do
        [ -d "$dir" ] || continue
        local found
        found=$(find "$dir" -iname "$1" -type f -print -quit 2>/dev/null)
        if [ -n "$found" ]; then
            echo "$found"
            return 0
        fi
    done
    return 1
}
queue=("$stage"/*.exe)
declare -A seen=()
while [ ${#queue[@]} -gt 0 ]; do
    pe=${queue[0]}
    queue=("${queue[@]:1}")
    while read -r dll; do
        key=${dll,,}
        [ -n "${seen[$key]:-}" ] && continue
        seen[$key]=1
        is_system_dll "$dll" && continue
        if ! path=$(find_dll "$dll"); then
            echo "package: $(basename "$pe") needs $dll, which is neither a Windows DLL nor found" >&2
            exit 1
        fi
        echo "package: ships $dll (for $(basename "$pe"))"
        cp "$path" "$stage/"
        queue+=("$stage/$(basename "$path")")
    done < <(x86_64-w64-mingw32-objdump -p "$pe" | sed -n 's/^\s*DLL Name: //p')
done

# --- The uninstaller's list: every staged file, then the folders, deepest first.
files_nsh=$work/files.nsh
{
    (cd "$stage" && find . -type f | sed 's|^\./||' | sort) | while read -r f; do
        printf 'Delete "$INSTDIR\\%s"\n' "${f//\//\\}"
    done
    (cd "$stage" && find . -mindepth 1 -type d | sed 's|^\./||' | sort -r) | while read -r d; do
        printf 'RMDir "$INSTDIR\\%s"\n' "${d//\//\\}"
    done
} >"$files_nsh"

setup=$dist/Keyhaven-$version-setup.exe
portable=$dist/Keyhaven-$version-portable.zip
rm -f "$setup" "$portable"
makensis -V2 -INPUTCHARSET UTF8 \
    -DKH_VERSION="$version" -DKH_STAGE="$stage" -DKH_FILES="$files_nsh" \
    -DKH_ICON="$root/resources/keyhaven.ico" -DKH_OUTFILE="$setup" \
    "$root/packaging/keyhaven.nsi"
(cd "$work" && zip -qr -X "$portable" Keyhaven)

echo "package: $setup"
echo "package: $portable"
