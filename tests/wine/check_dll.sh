#!/usr/bin/env bash
# What the host sees of the VELDRIN.dll that the release archive ships: the 18
# exports under their plain names at ordinals 1..18 in alphabetical order
# (KtPrRePrintOneLabel at the same address as KtPrStartPrint), and imports from
# Windows' own DLLs and the host library only, every one of them in Windows XP
# SP3 (xp-imports.txt); no time stamp and no build folder in it; stripped,
# with a .gnu_debuglink that names its debug file and that file's checksum;
# with a CodeView debug directory entry naming VELDRIN.pdb, whose GUID and age
# the PDB beside it carries, with the exports' names and without build folders.
# The bring-up kit's programs, given after it, must load on the same PCs and
# ship stripped: their imports and sections are checked too.
set -euo pipefail
dll=${1:?usage: check_dll.sh VELDRIN.dll [KIT-PROGRAM...]}
dump=$(i686-w64-mingw32-objdump -p "$dll")
fail=0

expected=(KtPrClosePrinter KtPrCondDlgCB KtPrFeedLabel KtPrGetDriverSpec KtPrGetPrintData
  KtPrGetPrintError KtPrGetPrinterSpec KtPrInitPrinter KtPrIoControl KtPrIsPrintFinished
  KtPrIsPrintReady KtPrPrintNotify KtPrPrintOneLabel KtPrPrinterSetup KtPrRePrintOneLabel
  KtPrStartPrint KtPrStopPrint KtPrWaitPrintFinished)

grep -q 'Ordinal Base[[:space:]]*1$' <<<"$dump" || { echo "ordinal base is not 1"; fail=1; }
# Each row: the ordinal less the base, then the name last ("[   0] Name" in
# binutils 2.40, "[   0] +base[   1]  0000 Name" in 2.44).
names=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | grep -E '^\s*\[\s*[0-9]+\]' |
  sed -E 's/^\s*\[\s*([0-9]+)\].* ([^ ]+)$/\1 \2/')
for i in "${!expected[@]}"; do
  grep -qx "$i ${expected[$i]}" <<<"$names" ||
    { echo "export ${expected[$i]} is not at ordinal $((i + 1))"; fail=1; }
done
[[ $(wc -l <<<"$names") -eq 18 ]] || { echo "not exactly 18 exports:"; echo "$names"; fail=1; }

# KtPrRePrintOneLabel (ordinal 15) and KtPrStartPrint (16) share one address.
rva() { sed -n "/Export Address Table -- Ordinal Base/,/^$/p" <<<"$dump" |
  sed -nE "s/.*\+base\[ *$1\] *([0-9a-f]+) .*/\1/p"; }
[[ -n $(rva 15) && $(rva 15) == $(rva 16) ]] ||
  { echo "KtPrRePrintOneLabel is not KtPrStartPrint"; fail=1; }

# Every imported function must be in the allow-list of what Windows XP SP3
# has; and the headers must not ask for a newer Windows than XP (5.1).
allow=$(awk '!/^#/ { print toupper($1), $2 }' "$(dirname "$0")/xp-imports.txt")
xp_only() {
  local file=$1 pe dll fn field version
  pe=$(i686-w64-mingw32-objdump -p "$file")
  while read -r dll fn; do
    grep -qx "$dll $fn" <<<"$allow" ||
      { echo "$(basename "$file"): import not in the Windows XP list: $dll $fn"; fail=1; }
  done < <(awk '/DLL Name:/ { dll = toupper($3) } dll && NF == 3 && $1 ~ /^[0-9a-f]+$/ {
    print dll, $3 }' <<<"$pe")
  for field in MajorOSystemVersion MajorSubsystemVersion; do
    version=$(awk -v f="$field" '$1 == f { print $2 }' <<<"$pe")
    [[ $version -le 5 ]] || { echo "$(basename "$file"): $field $version: newer than XP"; fail=1; }
  done
}
for file in "$@"; do xp_only "$file"; done
grep -q 'DLL Name: ZoVav.dll' <<<"$dump" || { echo "ZoVav.dll is not imported"; fail=1; }
# Shipped stripped: no debug sections in any of them.
for file in "$@"; do
  ! i686-w64-mingw32-objdump -h "$file" | grep -q ' \.debug_' ||
    { echo "$(basename "$file"): debug sections in a released file"; fail=1; }
done
# The debug link: the debug file's name and its CRC-32 (gzip's trailer holds
# the CRC-32 of the data, little-endian, as .gnu_debuglink ends with it).
debug=${1%.dll}.dll.debug
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
i686-w64-mingw32-objcopy --dump-section .gnu_debuglink="$scratch/link" "$1" "$scratch/copy" 2>/dev/null || true
link=$(od -An -tx1 -v "$scratch/link" 2>/dev/null | tr -d ' \n')
name=$(printf '%s' "$(basename "$debug")" | od -An -tx1 | tr -d ' \n')
crc=$(gzip -c "$debug" | tail -c 8 | head -c 4 | od -An -tx1 | tr -d ' \n')
[[ $link == "$name"00* && $link == *"$crc" ]] ||
  { echo "the debug link does not name $(basename "$debug") with its checksum"; fail=1; }
# The CodeView entry (RSDS, GUID, age, name) that WinDbg and Visual Studio match
# the PDB by; the PDB's info stream holds the same age and GUID one after the
# other. Its public symbols name the exports.
hex() { od -An -tx1 -v "$@" | tr -d ' \n'; }
pdb=${1%.dll}.pdb
entry=$(grep -A1 ' CodeView ' <<<"$dump" || true)
offset=$(awk '$2 == "CodeView" { print $5 }' <<<"$entry")
if [[ $entry == *"format RSDS"*" pdb VELDRIN.pdb)" && -n $offset ]]; then
  record=$(hex -j$((16#$offset)) -N24 "$1")
  [[ ${record:0:8} == 52534453 ]] || { echo "the CodeView entry does not point at an RSDS record"; fail=1; }
  [[ $(hex -N32 "$pdb") == "$(printf 'Microsoft C/C++ MSF 7.00\r\n\032DS\0\0\0' | hex)" ]] ||
    { echo "$(basename "$pdb") is not a PDB"; fail=1; }
  [[ $(hex "$pdb") == *"${record:40:8}${record:8:32}"* ]] ||
    { echo "$(basename "$pdb") does not carry the GUID and age of the DLL's CodeView entry"; fail=1; }
  grep -qaF '_KtPrStartPrint@16' "$pdb" || { echo "$(basename "$pdb") does not name the exports"; fail=1; }
else
  echo "no CodeView debug directory entry naming VELDRIN.pdb"; fail=1
fi
# Frame pointers for a debugger's stack walk: the exports and a private
# function start with push %ebp and set mov %esp,%ebp within their first
# instructions, unless they return at once without a frame of their own.
symbols=$(i686-w64-mingw32-nm "$debug")
for fn in $(awk '/ T _KtPr|write_word/ { print $1 }' <<<"$symbols"); do
  code=$(i686-w64-mingw32-objdump -d --start-address=0x$fn --stop-address=$((16#$fn + 12)) "$1" |
    grep -E '^ *[0-9a-f]+:' | tr -s ' \t\n' ' ')
  [[ $code == *" 55 push %ebp "*"mov %esp,%ebp"* || $code == *" ret "* ]] ||
    { echo "no frame pointer at 0x$fn:$code"; fail=1; }
done
# SYMBOLS.txt's Linux commands as written: a public and a private function.
symbols_txt=$(dirname "$0")/../../release/SYMBOLS.txt
at() { printf '0x%x' $((16#$(awk -v n="$1" '$3 ~ n { print $1 }' <<<"$symbols") + 4)); }
for row in "ParseSerialString:ParseSerialString(char const*, unsigned int, SerialSettings*)" \
  "write_word:write_word"; do
  command=$(grep -o 'i686-w64-mingw32-addr2line .*' "$symbols_txt" |
    sed "s|VELDRIN.dll.debug|$debug|; s|0x70401234|$(at "${row%%:*}")|")
  [[ $(bash -c "$command" | head -1) == "${row#*:}" ]] ||
    { echo "SYMBOLS.txt's addr2line does not name ${row#*:}"; fail=1; }
done
[[ $(echo __Z9LabelByteRK9LabelBitsii | i686-w64-mingw32-c++filt) == "LabelByte(LabelBits const&, int, int)" ]] ||
  { echo "SYMBOLS.txt's c++filt does not read the PDB's names"; fail=1; }
# Reproducible: no time stamp, and the folder it was built in does not show.
pe=$(od -An -tu4 -j60 -N4 "$1")
[[ $(od -An -tu4 -j$((pe + 8)) -N4 "$1") -eq 0 ]] || { echo "a time stamp in the PE header"; fail=1; }
! grep -qF "$(cd "$(dirname "$0")/../.." && pwd)" "$1" || { echo "the source folder shows"; fail=1; }
for folder in "$(cd "$(dirname "$0")/../.." && pwd -P)" "$(cd "$(dirname "$1")/.." && pwd -P)"; do
  ! grep -qaF "$folder" "$pdb" || { echo "$(basename "$pdb") names the folder $folder"; fail=1; }
done

[[ $fail -eq 0 ]] && echo "VELDRIN.dll: 18 exports at ordinals 1..18, stripped, linked to its debug file and to its PDB; every import of $* in Windows XP SP3"
exit $fail
