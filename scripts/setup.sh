#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need, from Debian's packages only.
# Safe to run again: it does nothing when every package is already there.
set -euo pipefail

packages=(
    cmake make g++ clang libclang-rt-14-dev googletest python3 libssl-dev
    g++-mingw-w64-i686 gcc-mingw-w64-i686 binutils-mingw-w64-i686
    g++-mingw-w64-x86-64 gcc-mingw-w64-x86-64 binutils-mingw-w64-x86-64
    wine wine32:i386 wine64 xvfb xdotool x11-utils imagemagick openssl nginx curl strace
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
        || missing+=("$package")
done
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    missing+=("${packages[@]}")
fi
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "setup: missing packages (${missing[*]}); run as root to install them" >&2
        exit 1
    fi
    echo "setup: installing ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
        "${missing[@]}" >/dev/null
fi
# The posix-thread compilers are the ones GoogleTest's std::mutex needs.
command -v i686-w64-mingw32-g++-posix >/dev/null
