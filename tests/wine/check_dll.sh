#!/usr/bin/env bash
# What the host sees of VELDRIN.dll's file: the 18 exports under their plain
# names at ordinals 1..18 in alphabetical order (KtPrRePrintOneLabel at the
# same address as KtPrStartPrint), and imports from Windows' own DLLs and the
# host library only (libgcc, libstdc++ and winpthread are linked in).
set -euo pipefail
dll=${1:?usage: check_dll.sh VELDRIN.dll}
dump=$(i686-w64-mingw32-objdump -p "$dll")
fail=0

expected=(KtPrClosePrinter KtPrCondDlgCB KtPrFeedLabel KtPrGetDriverSpec KtPrGetPrintData
  KtPrGetPrintError KtPrGetPrinterSpec KtPrInitPrinter KtPrIoControl KtPrIsPrintFinished
  KtPrIsPrintReady KtPrPrintNotify KtPrPrintOneLabel KtPrPrinterSetup KtPrRePrintOneLabel
  KtPrStartPrint KtPrStopPrint KtPrWaitPrintFinished)

grep -q 'Ordinal Base[[:space:]]*1$' <<<"$dump" || { echo "ordinal base is not 1"; fail=1; }
names=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | grep -E '^\s*\[\s*[0-9]+\]' |
  sed -E 's/^\s*\[\s*([0-9]+)\] (.*)$/\1 \2/')
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

allowed='^(ZoVav|KERNEL32|USER32|GDI32|ADVAPI32|SHLWAPI|msvcrt)\.dll$'
while read -r name; do
  [[ $name =~ $allowed ]] || { echo "unexpected import: $name"; fail=1; }
done < <(sed -n 's/^\s*DLL Name: //p' <<<"$dump")
grep -q 'DLL Name: ZoVav.dll' <<<"$dump" || { echo "ZoVav.dll is not imported"; fail=1; }

[[ $fail -eq 0 ]] && echo "VELDRIN.dll: 18 exports at ordinals 1..18; imports: $(sed -n 's/^\s*DLL Name: //p' <<<"$dump" | tr '\n' ' ')"
exit $fail
