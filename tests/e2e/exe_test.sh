#!/usr/bin/env bash
# The shipped executable: a 32-bit GUI program that needs nothing but Windows itself, and the
# resources Windows and Explorer read from it (picture, icon, manifest, version). Always the
# i686 build, also when the Windows tests ran as the x86_64 build: only static checks see it then.
set -euo pipefail
source "${SKH_SOURCE_DIR:?}/tests/harness/harness_lib.sh"
shipped=${SKH_SHIPPED_BUILD_DIR:-$build}
headers=$(i686-w64-mingw32-objdump -p "$shipped/SKH2026_Patcher.exe")
resources=$(i686-w64-mingw32-windres -i "$shipped/SKH2026_Patcher.exe" -O rc)
has() { grep -qF -- "$2" <<<"$3" && pass "$1" || fail "$1"; }

has "an Intel 80386 PE32 image" "file format pei-i386" "$headers"
has "the Windows GUI subsystem" "Subsystem		00000002	(Windows GUI)" "$headers"
allowed=' KERNEL32.DLL USER32.DLL GDI32.DLL ADVAPI32.DLL SHELL32.DLL WININET.DLL CRYPT32.DLL MSVCRT.DLL '
for dll in $(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers"); do
    [[ $allowed == *" ${dll^^} "* ]] || fail "imports $dll, which is not a Windows system DLL"
done

# The picture the code loads as bitmap 101 is 820 x 520 at 24 bits, bottom-up.
check "bitmap 101 and icon group 102 with one 32 x 32 image" "1 1" \
    "$(grep -c '^101 2 /\* RT_BITMAP' <<<"$resources") $(grep -c '"\\040\\040\\000\\000", 1, 32' <<<"$resources")"
check "the picture's header" "820 520 1 24" "$(python3 -c 'import struct, sys
print(*struct.unpack("<iiHH", open(sys.argv[1], "rb").read()[18:30]))' \
    "$shipped/generated/pictures/background.bmp")"
# Without a requested level Windows takes a program named "...Patcher" for an installer.
has "the manifest asks for the player's own rights" \
    '<requestedExecutionLevel level=""asInvoker"" uiAccess=""false""/>' "$resources"
has "the manifest names Windows 10 and 11" "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}" "$resources"
has "the file version is the build number" "FILEVERSION 4, 0, 0, 0" "$resources"
has "the product is named" '"ProductName", "Skarnevo Kelmoran Heritage 2026"' "$resources"
report
