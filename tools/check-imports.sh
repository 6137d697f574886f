#!/usr/bin/env bash
# Audits the import tables of the release build (i686): every DLL must be one that
# Windows XP ships, and no imported function may be newer than Windows XP
# (tools/xp-forbidden-imports.txt). Functions that Windows 95 or NT 4 lack are loaded
# at run time by the program and never appear here.
#   tools/check-imports.sh <mingw32 build dir>
set -euo pipefail

[ $# -eq 1 ] || { echo "usage: $0 <mingw32 build dir>" >&2; exit 2; }
DIR=$1
TOOLS=$(cd "$(dirname "$0")" && pwd)
FORBIDDEN=$TOOLS/xp-forbidden-imports.txt
OBJDUMP=i686-w64-mingw32-objdump
command -v $OBJDUMP >/dev/null || { echo "$OBJDUMP is missing (./run deps)" >&2; exit 1; }

# DLLs that every Windows XP installation has (lower case).
ALLOWED_DLLS="kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll
comctl32.dll comdlg32.dll shlwapi.dll winmm.dll mpr.dll version.dll msvcrt.dll winspool.drv
hhctrl.ocx ws2_32.dll wsock32.dll imm32.dll uxtheme.dll rpcrt4.dll crypt32.dll secur32.dll
netapi32.dll psapi.dll userenv.dll wininet.dll urlmon.dll setupapi.dll msimg32.dll oledlg.dll
wintrust.dll iphlpapi.dll ntdll.dll"

# The program file under either spelling of its name (CMake writes the suffix as given).
find_exe() {
  local found
  found=$(find "$DIR" -maxdepth 1 -type f -iname "$1" | head -n 1)
  [ -n "$found" ] || { echo "not built: $DIR/$1" >&2; return 1; }
  echo "$found"
}

failed=0
summary=()
for name in brevisto.exe SETUP.EXE; do
  exe=$(find_exe "$name") || { failed=1; continue; }
  if ! $OBJDUMP -f "$exe" | grep -q 'file format pei-i386'; then
    echo "$name: not an i686 (PE32) program" >&2
    failed=1
    continue
  fi
  # "DLL<TAB>function" per import; functions imported by ordinal show as "#n".
  imports=$($OBJDUMP -p "$exe" | awk '
    /^\tDLL Name: / { dll = $3; next }
    /^\tvma:/ || /^$/ { next }
    dll != "" && /^\t[0-9a-f]+\t/ {
      sub(/^\t[0-9a-f]+\t +/, "")
      n = split($0, f, / +/)
      name = (n >= 2 && f[2] != "<none>") ? f[2] : "#" f[1]
      print dll "\t" name
    }
    /^The Export Tables|^PE File Base Relocations|^The Function Table/ { dll = "" }')
  [ -n "$imports" ] || { echo "$name: no import table found" >&2; failed=1; continue; }

  dlls=$(cut -f1 <<<"$imports" | sort -fu)
  while read -r dll; do
    lower=$(tr '[:upper:]' '[:lower:]' <<<"$dll")
    if ! grep -qw -- "$lower" <<<"$ALLOWED_DLLS"; then
      echo "$name: imports $dll, which is not part of Windows XP" >&2
      failed=1
    fi
  done <<<"$dlls"

  bad=$(cut -f2 <<<"$imports" | sort -u | grep -vx '#.*' \
        | grep -xFf <(grep -v '^#' "$FORBIDDEN" | grep -v '^[[:space:]]*$') || true)
  if [ -n "$bad" ]; then
    while read -r fn; do
      echo "$name: imports $(grep -P "\t${fn}\$" <<<"$imports" | head -n1 | cut -f1)!$fn (newer than Windows XP)" >&2
    done <<<"$bad"
    failed=1
  fi
  summary+=("$name: $(wc -l <<<"$dlls") DLLs, $(wc -l <<<"$imports") functions")
done

if [ $failed -ne 0 ]; then
  echo "== import audit FAILED (${summary[*]:-nothing audited})"
  exit 1
fi
echo "== import audit: ${summary[0]}; ${summary[1]}; all available on Windows XP"
