#!/usr/bin/env bash
# What a setup program relies on in lxagree.dll: a PE32 for Intel 80386, exactly the three
# exported names, imports from Windows system DLLs only, the dialog and bitmap resources in
# US English. Prints the facts it checked; non-zero exit on the first one that does not hold.
set -euo pipefail
objdump=$1 windres=$2 dll=$3
export LC_ALL=C
dump=$("$objdump" -p "$dll")
fail() { echo "FAIL: $*" >&2; exit 1; }

grep -q 'file format pei-i386' <<<"$dump" || fail "not a PE32 i386 image"
grep -qE '^Magic[[:space:]]+010b' <<<"$dump" || fail "optional header is not PE32 (0x10b)"
"$objdump" -f "$dll" | grep -q 'architecture: i386,' || fail "machine is not Intel 80386"
echo "format: PE32, i386"

exports=$(awk '/\[Ordinal\/Name Pointer\] Table/ {on = 1; next}
               on && /^[[:space:]]*\[/ {print $NF; next}
               on {exit}' <<<"$dump" | sort | tr '\n' ' ')
expected="LxLoadDialog _CovenixAgreementDlgProc@16 _DllMain@12 "
[ "$exports" = "$expected" ] || fail "exports are '$exports', expected '$expected'"
echo "exports: $exports"

imports=$(grep -E '^[[:space:]]+DLL Name:' <<<"$dump" | awk '{print toupper($3)}' | sort -u | tr '\n' ' ')
for dll_name in $imports; do
  case "$dll_name" in
    KERNEL32.DLL|USER32.DLL|GDI32.DLL|MSVCRT.DLL) ;;
    *) fail "imports $dll_name, which is not a Windows system DLL" ;;
  esac
done
echo "imports: $imports"

rc=$("$windres" -i "$dll" -O rc)
languages=$(grep -E '^LANGUAGE' <<<"$rc" | sort -u | tr '\n' ' ')
[ "$languages" = "LANGUAGE 9, 1 " ] || fail "resource languages are '$languages', expected US English only"
grep -q '^"AGREEMENT" DIALOG 0, 0, 312, 246$' <<<"$rc" || fail "no DIALOG AGREEMENT of 312 x 246 units"
for id in 505 506; do
  grep -q "Name: $id\." <<<"$rc" || fail "no BITMAP $id"
done
echo "resources: DIALOG AGREEMENT, BITMAP 505 and 506, language 1033"
