#!/usr/bin/env bash
# Creates the template Wine prefix that the Windows test runs copy: Windows XP,
# German-ready fonts, no audio, one virtual desktop with title bars, and real
# folders where Wine would link the user's folders into $HOME.
#   tools/wine/make-prefix.sh <dir> [win32|win64]   (default win64; does nothing when <dir>
#                                                    is complete and of this Wine)
# A win32 prefix has no WoW64 folders, as on Windows XP; it needs Wine's 32-bit half.
set -euo pipefail
# shellcheck source=tools/wine/host.sh
source "$(dirname "${BASH_SOURCE[0]}")/host.sh"

[ $# -ge 1 ] && [ $# -le 2 ] || { echo "usage: $0 <prefix dir> [win32|win64]" >&2; exit 2; }
PREFIX=$(realpath -m "$1")
ARCH=${2:-win64}
case $ARCH in win32|win64) ;; *) echo "unknown Wine architecture: $ARCH" >&2; exit 2 ;; esac
MARK=$PREFIX/.brevisto-template
# Raised whenever the recipe below changes, so older templates are made again.
RECIPE=3
# A prefix made before Wine's 32-bit half was installed cannot start 32-bit programs
# ("could not load kernel32.dll"): the key names the architecture and that half too.
WINE32=no
host_runs_32bit && WINE32=yes
KEY="recipe=$RECIPE arch=$ARCH wine32=$WINE32"

complete() { [ "$(cat "$MARK" 2>/dev/null)" = "$KEY" ]; }
complete && exit 0

mkdir -p "$(dirname "$PREFIX")"
# Several test runs may start at once; only one builds the template.
exec 9>"$PREFIX.lock"
flock 9
complete && exit 0

command -v wine >/dev/null || { echo "wine is not installed (./run deps)" >&2; exit 1; }
command -v wineboot >/dev/null || { echo "wineboot is not installed (./run deps)" >&2; exit 1; }
[ "$ARCH" = win64 ] || [ "$WINE32" = yes ] ||
  { echo "32-bit Wine is not installed (./run deps), or this machine runs no 32-bit programs" >&2; exit 1; }
# The tests run German; Wine rewrites the user's locale settings whenever the locale
# changes, so the prefix is made under the same locale.
locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' \
  || { echo "locale de_DE.UTF-8 is not generated (./run deps)" >&2; exit 1; }
export LC_ALL=de_DE.UTF-8

# Built beside the target and moved into place when complete, so an interrupted
# run never leaves a prefix that looks usable.
WORK=$PREFIX.building
rm -rf "$WORK" "$PREFIX"
mkdir -p "$WORK"

export WINEPREFIX=$WORK
export WINEARCH=$ARCH
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY

echo "== creating Wine prefix $PREFIX ($ARCH)"
wineboot -i >/dev/null 2>&1 || true
wineserver -w
[ -f "$WORK/system.reg" ] && [ -d "$WORK/drive_c/windows" ] \
  || { echo "wineboot did not create the prefix" >&2; exit 1; }

# Wine links Desktop, Documents etc. to the host's home; tests must not write there.
for users in "$WORK"/drive_c/users/*; do
  [ -d "$users" ] || continue
  find "$users" -maxdepth 2 -type l | while read -r link; do
    rm -f "$link"
    mkdir -p "$link"
  done
done

# Without these, Tahoma and MS Sans Serif fall back to something else.
mkdir -p "$WORK/drive_c/windows/Fonts"
cp -f /usr/share/wine/fonts/* "$WORK/drive_c/windows/Fonts/" 2>/dev/null \
  || echo "warning: /usr/share/wine/fonts missing (package fonts-wine)" >&2

REG=$WORK/drive_c/brevisto-prefix.reg
printf '%s\r\n' \
  'REGEDIT4' '' \
  '[HKEY_CURRENT_USER\Software\Wine]' '"Version"="winxp"' '' \
  '[HKEY_CURRENT_USER\Software\Wine\Drivers]' '"Audio"=""' '' \
  '[HKEY_CURRENT_USER\Software\Wine\Explorer]' '"Desktop"="Default"' '' \
  '[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]' '"Default"="1024x768"' '' \
  '[HKEY_CURRENT_USER\Control Panel\International]' '"sShortDate"="dd.MM.yyyy"' '' >"$REG"
wine regedit /s 'C:\brevisto-prefix.reg' >/dev/null 2>&1
wineserver -w
rm -f "$REG"
grep -q '"Version"="winxp"' "$WORK/user.reg" \
  || { echo "could not set the Windows version in the prefix" >&2; exit 1; }
grep -q '"Locale"="00000407"' "$WORK/user.reg" \
  || { echo "the prefix did not take the German locale" >&2; exit 1; }

echo "$KEY" >"$WORK/.brevisto-template"
mv "$WORK" "$PREFIX"
echo "== Wine prefix ready"
