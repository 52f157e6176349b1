#!/bin/sh
# Installs the Debian packages that building and testing Korvalin need, and only those that
# are missing, so a machine that has everything is not touched (and needs no network).
set -eu

PACKAGES="cmake make g++ pkg-config qtbase5-dev qtbase5-dev-tools libraw-dev libimage-exiftool-perl dcraw
    desktop-file-utils clang-format parallel dosfstools"
# `make fuzz` also needs clang and its sanitizer runtimes (libFuzzer is only recommended by clang).
case "${1:-}" in
    --fuzz) PACKAGES="$PACKAGES clang libclang-rt-dev" ;;
    # `make windows` cross-builds with mingw-w64; `make windows-check` runs the result under Wine
    # (`wine` brings the /usr/bin/wine launcher, `wine64` the 64-bit loader it starts).
    --windows) PACKAGES="$PACKAGES g++-mingw-w64-x86-64-posix wine wine64" ;;
esac

missing=""
for pkg in $PACKAGES; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    case "$status" in
        *"install ok installed"*) ;;
        *) missing="$missing $pkg" ;;
    esac
done

[ -z "$missing" ] && exit 0

echo "Installing missing packages:$missing"
if [ "$(id -u)" -eq 0 ]; then
    SUDO=""
elif command -v sudo >/dev/null 2>&1; then
    SUDO="sudo"
else
    echo "Missing packages:$missing; run this script as root or install sudo." >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing
