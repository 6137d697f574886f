#!/usr/bin/env bash
# Prints the Wine architecture a Windows program needs: win32 (i686) or win64 (x86_64).
#   tools/wine/program-arch.sh <program.exe|library.dll>
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 <program>" >&2; exit 2; }
OBJDUMP=objdump
command -v $OBJDUMP >/dev/null || OBJDUMP=x86_64-w64-mingw32-objdump
case "$($OBJDUMP -f "$1" 2>/dev/null)" in
  *'file format pei-i386'*) echo win32 ;;
  *'file format pei-x86-64'*) echo win64 ;;
  *) echo "$1 is not a Windows program" >&2; exit 1 ;;
esac
