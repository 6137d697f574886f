#!/usr/bin/env bash
# The demo: the real brevisto.exe (the i686 release) under Wine and a virtual X server makes an
# unattended full backup of a synthetic Outlook Express identity, then, after one mail
# folder changed, an unattended update backup; both from a parameter file written by the
# program's own writer, as a scheduled task would start them. Prints where the archives,
# the reports and "Brevisto.log" are, with a summary of each archive.
#   tools/demo/run-demo.sh [BUILD-DIR]     (default build/mingw32; its programs' architecture
#                                           decides the prefix's)
set -euo pipefail
# shellcheck source=tools/wine/host.sh
source "$(dirname "${BASH_SOURCE[0]}")/../wine/host.sh"

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(realpath "${1:-$ROOT/build/mingw32}")
DEMO=$ROOT/build/demo

log() { printf '== %s\n' "$*"; }
die() { echo "demo: $*" >&2; exit 1; }

for f in brevisto.exe tools/make-identity/make_identity.exe tools/param-file/param-file.exe; do
  [ -f "$BUILD/$f" ] || die "not built: $BUILD/$f"
done
ARCH=$("$ROOT/tools/wine/program-arch.sh" "$BUILD/brevisto.exe")
TEMPLATE=$ROOT/build/wine/template-$ARCH
"$ROOT/tools/wine/make-prefix.sh" "$TEMPLATE" "$ARCH"

log "preparing the Wine prefix $DEMO/prefix"
rm -rf "$DEMO"
mkdir -p "$DEMO"
flock -s "$TEMPLATE.lock" cp -a "$TEMPLATE" "$DEMO/prefix"
export WINEPREFIX=$DEMO/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe,winedbg.exe=d"
export LC_ALL=de_DE.UTF-8
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

DRIVE_C=$WINEPREFIX/drive_c
PROGRAM_DIR=$DRIVE_C/Programme/Brevisto
mkdir -p "$PROGRAM_DIR" "$DRIVE_C/Brevisto-Demo/Backups"
cp "$BUILD/brevisto.exe" "$PROGRAM_DIR/"
[ -f "$BUILD/hilfe.chm" ] && cp "$BUILD/hilfe.chm" "$PROGRAM_DIR/"
cp "$BUILD/tools/make-identity/make_identity.exe" "$BUILD/tools/param-file/param-file.exe" "$DRIVE_C/Brevisto-Demo/"
wineserver -p 60 >/dev/null 2>&1 || true

# Outlook Express 6 is "installed".
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Outlook Express\\Version Info]\r\n"Current"="6,0,2900,5512"\r\n\r\n' \
  >"$DRIVE_C/Brevisto-Demo/oe.reg"
wine regedit /s 'C:\Brevisto-Demo\oe.reg' >/dev/null 2>&1

log "creating the identity \"Hauptidentität\" with about 6 MB of mail"
wine 'C:\Brevisto-Demo\make_identity.exe' --name "Hauptidentität" --mail-mb 6 --seed 7 2>&1 | tr -d '\r' \
  | iconv -f CP850 -t UTF-8 >"$DEMO/identity.txt"
sed 's/^/   /' "$DEMO/identity.txt"
GUID=$(sed -n 's/^Identität: *Hauptidentität \({.*}\)$/\1/p' "$DEMO/identity.txt")
STORE=$(sed -n 's/^Mail-Ordner: *//p' "$DEMO/identity.txt")
[ -n "$GUID" ] && [ -n "$STORE" ] || die "make_identity did not report the identity"

PASSWORD='Sommer-2026'
write_parameter_file() {  # FILE [--update]
  wine 'C:\Brevisto-Demo\param-file.exe' --out "$1" --name "Hauptidentität" --gid "\\$GUID\\" \
    --mailpath "$STORE" --savepath 'C:\Brevisto-Demo\Backups\' --password "$PASSWORD" --all "${@:2}" \
    2>&1 | tr -d '\r' | iconv -f CP850 -t UTF-8 | sed 's/^/   /'
}

# Runs the program on a parameter file as the task scheduler would; prints its exit code.
run_unattended() {  # PARAMETER-FILE
  local rc=0
  xvfb-run -a -s "-screen 0 1024x768x24" \
    timeout -k 10 600 wine 'C:\Programme\Brevisto\brevisto.exe' "$1" >>"$DEMO/program.log" 2>&1 || rc=$?
  echo "$rc"
}

log "parameter file for the full backup: C:\\Brevisto-Demo\\Nacht.BVT"
write_parameter_file 'C:\Brevisto-Demo\Nacht.BVT'
iconv -f CP1252 -t UTF-8 "$DRIVE_C/Brevisto-Demo/Nacht.BVT" | tr -d '\r' | sed 's/^/   | /'

log "unattended full backup: brevisto.exe \"C:\\Brevisto-Demo\\Nacht.BVT\""
rc=$(run_unattended 'C:\Brevisto-Demo\Nacht.BVT')
echo "   exit code $rc"
[ "$rc" = 0 ] || die "the full backup failed (exit code $rc); see $DEMO/program.log"

# One folder changes: a new mail arrives in the inbox (after the time the log recorded).
sleep 2
INBOX=$(find "$DRIVE_C" -iname 'Posteingang.dbx' -print -quit)
[ -n "$INBOX" ] || die "no Posteingang.dbx in the identity"
head -c 65536 /dev/urandom >>"$INBOX"
log "changed: ${INBOX#"$WINEPREFIX/"}"

log "parameter file for the update backup: C:\\Brevisto-Demo\\Update.BVT"
write_parameter_file 'C:\Brevisto-Demo\Update.BVT' --update
log "unattended update backup: brevisto.exe \"C:\\Brevisto-Demo\\Update.BVT\""
rc=$(run_unattended 'C:\Brevisto-Demo\Update.BVT')
echo "   exit code $rc"
[ "$rc" = 0 ] || die "the update backup failed (exit code $rc); see $DEMO/program.log"

BACKUPS=$DRIVE_C/Brevisto-Demo/Backups
echo
log "results in $BACKUPS"
for archive in "$BACKUPS"/*.bvq; do
  [ -f "$archive" ] || die "no archive was written"
  echo
  echo "Archiv $(basename "$archive") ($(stat -c %s "$archive") Bytes)"
  # The information record in the archive comment: kind, full backup it belongs to, counter.
  unzip -z "$archive" | iconv -f CP1252 -t UTF-8 | tr -d '\r' \
    | grep -E '^(BackupArt|HauptBackup|Counter|Date|Identitaet)=' | sed 's/^/   /'
  # Entry names are in the Windows code page; bsdtar reads them so, unzip would not.
  list=$(bsdtar --options hdrcharset=CP1252 -tvf "$archive" | awk '{ size = $5; for (i = 1; i <= 8; i++) $i = ""; sub(/^ +/, ""); print size "\t" $0 }')
  entries=$(printf '%s\n' "$list" | wc -l)
  mails=$(printf '%s\n' "$list" | grep -ci '\.dbx$' || true)
  echo "   $entries Dateien, davon $mails Mailordner:"
  printf '%s\n' "$list" | grep -i '\.dbx$' \
    | awk -F '\t' '{ printf "      %-26s %10d Bytes\n", $2, $1 }'
  echo "   und $((entries - mails)) Dateien mit Einstellungen, Adressbuch, Konten, Regeln, Signaturen,"
  echo "   Briefpapier, Wörterbüchern, Sicherheitszonen, Cookies und Favoriten"
  if unzip -tq -P "$PASSWORD" "$archive" >/dev/null 2>&1; then
    echo "   unzip -t -P $PASSWORD: alle Einträge in Ordnung (verschlüsselt)"
  else
    echo "   unzip -t -P $PASSWORD: FEHLER"
  fi
  report=${archive%.bvq}.log
  [ -f "$report" ] && echo "   Report: $report"
done
echo
echo "Hinweis: Wine löscht das Archiv-Attribut von Dateien nie; das Update-Backup enthält hier"
echo "deshalb alle Mailordner. Unter Windows enthält es nur die seit dem letzten Backup geänderten."
echo
log "Brevisto.log"
iconv -f CP1252 -t UTF-8 "$BACKUPS/Brevisto.log" | tr -d '\r' | sed 's/^/   /'
echo
echo "Archive, Reports und Brevisto.log: $BACKUPS"
