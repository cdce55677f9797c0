#!/usr/bin/env bash
# The shipped executable is a 32-bit GUI program that needs nothing but Windows itself.
set -euo pipefail
exe=${SKH_BUILD_DIR:?}/SKH2026_Patcher.exe
headers=$(i686-w64-mingw32-objdump -p "$exe")
fail() { echo "exe_imports: $*" >&2; exit 1; }

grep -q 'file format pei-i386' <<<"$headers" || fail "not an Intel 80386 PE image"
grep -qE '^Magic[[:space:]]+010b' <<<"$headers" || fail "not PE32"
grep -qE '^Subsystem[[:space:]]+00000002' <<<"$headers" || fail "not the Windows GUI subsystem"

allowed=' KERNEL32.DLL USER32.DLL GDI32.DLL ADVAPI32.DLL SHELL32.DLL WININET.DLL MSVCRT.DLL '
allowed+=' CRYPT32.DLL COMCTL32.DLL OLE32.DLL '
count=0
while read -r dll; do
    count=$((count + 1))
    upper=${dll^^}
    [[ $allowed == *" $upper "* ]] || fail "imports $dll, which is not a Windows system DLL"
done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
[ "$count" -gt 0 ] || fail "no import table found"
for needed in KERNEL32.DLL USER32.DLL WININET.DLL; do
    grep -qi "DLL Name: $needed" <<<"$headers" || fail "does not import $needed"
done
echo "exe_imports: PE32 GUI i386 importing $count system DLLs"
