#!/usr/bin/env bash
# Assembles the installable folder (as it would go on a CD) from an i686 release build:
# SETUP.EXE, its script "Setup.in" and every file the script names. The texts live in the
# tree as UTF-8 with LF; SETUP.EXE reads the script with the Windows private-profile
# functions and shows the licence in an edit control, so they ship as code page 1252 with
# CR LF. Ends with a check that every file the script names is there.
#   tools/dist/make-dist.sh <mingw32 build dir> <dist folder>
set -euo pipefail

[ $# -eq 2 ] || { echo "usage: $0 <mingw32 build dir> <dist folder>" >&2; exit 2; }
BUILD_DIR=$1
DIST=$2
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
TEXTS=$ROOT/resources/dist

fail() { echo "dist: $*" >&2; exit 1; }

for f in brevisto.exe SETUP.EXE; do
  [ -f "$BUILD_DIR/$f" ] || fail "not built: $BUILD_DIR/$f"
done

rm -rf "$DIST"
mkdir -p "$DIST"
cp "$BUILD_DIR/SETUP.EXE" "$BUILD_DIR/brevisto.exe" "$DIST/"
# The help file is built when chmcmd is there (./run deps installs it); the script names it,
# so the check below reports it if it is missing.
[ -f "$BUILD_DIR/hilfe.chm" ] && cp "$BUILD_DIR/hilfe.chm" "$DIST/"
# The script installs the sounds into the program's "sounds" folder.
cp "$ROOT/resources/sounds/saveok.wav" "$ROOT/resources/sounds/saveerror.wav" "$DIST/"
# The version the program's resources carry (resources/version.h), for the readme.
VERSION=$(sed -n 's/^#define BREVISTO_PRODUCT_VERSION "\(.*\)"$/\1/p' "$ROOT/resources/version.h")
[ -n "$VERSION" ] || fail "no BREVISTO_PRODUCT_VERSION in resources/version.h"
for f in Setup.in ReadMe.txt Lizenz.txt; do
  iconv -f UTF-8 -t CP1252 "$TEXTS/$f" | sed "s/\r\$//; s/@PRODUCT_VERSION@/$VERSION/g; s/\$/\r/" >"$DIST/$f" ||
    fail "$f is not code page 1252"
done

# --- the check: everything the script names lies beside SETUP.EXE --------------------------
SCRIPT=$DIST/Setup.in
# "[section]" values in order, as "section<TAB>key<TAB>value" (comments and blanks left out).
entries() {
  tr -d '\r' <"$SCRIPT" | awk '
    /^[ \t]*;/ || /^[ \t]*$/ { next }
    /^[ \t]*\[/ { s = $0; gsub(/^[ \t]*\[|\][ \t]*$/, "", s); next }
    { i = index($0, "="); if (i == 0) next
      k = substr($0, 1, i - 1); v = substr($0, i + 1)
      gsub(/^[ \t]+|[ \t]+$/, "", k); gsub(/^[ \t]+|[ \t]+$/, "", v)
      print tolower(s) "\t" tolower(k) "\t" v }'
}
value() { entries | awk -F'\t' -v s="$1" -v k="$2" '$1 == s && $2 == k { print $3; exit }'; }
list() { entries | awk -F'\t' -v s="$1" '$1 == s && $3 != "" { print $3 }'; }
trim() { sed 's/^[ \t]*//; s/[ \t]*$//'; }
# A file of the setup folder, matched without regard to case as Windows does.
present() { [ -n "$(find "$DIST" -maxdepth 1 -type f -iname "$1" | head -n 1)" ]; }

problems=()
[ "$(grep -c $'\r$' "$SCRIPT")" -eq "$(wc -l <"$SCRIPT")" ] || problems+=("Setup.in has lines without CR LF")

for key in applicationname defaulttargetfolder defaultunistallfilename appexename uninstallname; do
  [ -n "$(value installinfo $key)" ] || problems+=("[InstallInfo] $key is empty")
done

# Installed names: the destination below the install folder of every file entry.
installed=()
while IFS= read -r v; do
  file=$(printf '%s' "${v%%;*}" | trim)
  option=""
  [[ $v == *";"* ]] && option=$(printf '%s' "${v#*;}" | trim)
  present "$file" || problems+=("[ProgFiles] $file is not in the folder")
  dest=$file
  case $option in
    "" | OVERWRITEWARN=* | *REGISTER*) ;;
    *EXEC*) ;;
    *) dest=$option ;;
  esac
  [[ ${dest,,} == *.ex_ ]] && dest=${dest%.*}.exe
  installed+=("${dest,,}")
done < <(list progfiles; list additionalfiles)

is_installed() {
  local n=${1,,} i
  for i in "${installed[@]}"; do [ "$i" = "$n" ] && return 0; done
  return 1
}

for f in "$(value options licencefile)" "$(value installinfo iconfile)"; do
  [ -z "$f" ] || present "$f" || problems+=("$f (licence or icon file) is not in the folder")
done
for key in appexename helpfile; do
  f=$(value installinfo $key)
  [ -z "$f" ] || is_installed "$f" || problems+=("[InstallInfo] $key $f is not installed by [ProgFiles]")
done
# The wizard's last page offers the readme when the install folder has one.
is_installed readme.txt || problems+=("no ReadMe.txt is installed")

links=$( { list programgrouplink; value addlink desktoplink; value addlink startmenulink; } )
while IFS= read -r link; do
  [ -n "$link" ] || continue
  target=$(printf '%s' "${link%%,*}" | trim)
  [[ $link == *,* ]] || { problems+=("shortcut without caption: $link"); continue; }
  [ "${target^^}" = UNINSTALL ] && continue
  target=${target#%ProgDir%}
  is_installed "$target" || problems+=("shortcut target $target is not installed")
done <<<"$links"

if [ ${#problems[@]} -gt 0 ]; then
  printf 'dist: %s\n' "${problems[@]}" >&2
  exit 1
fi
echo "dist: $DIST ($(ls "$DIST" | wc -l) files, ${#installed[@]} installed by Setup.in, every file it names is present)"
