#!/usr/bin/env bash
# Installs the Debian packages that building, testing, benchmarking and fuzzing need.
# Idempotent: installs only what is missing and runs apt-get update only then.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  clang clang-14 libclang-rt-14-dev clang-format
  googletest libbenchmark-dev libssl-dev python3 nodejs
  libgcrypt20-dev libgcrypt-mingw-w64-dev python3-argon2 python3-cryptography
  g++-mingw-w64-x86-64-posix
  wine wine64 nsis zip unzip
  xvfb xauth x11-utils xdotool xclip imagemagick
  fonts-wine fonts-liberation2
  keepassxc
  chromium python3-websocket
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: done"
