# Backup viewer on a folder of archives written with Info-ZIP zip: a full and an update
# backup, a password-protected and a damaged archive; deleting; the association question.

VIEWER='title=Brevisto : Backup anschauen'

# The information record as the backup run writes it (CP1252, CR LF).
info_record() {  # kind main counter
  printf '[BackupInfo]\nBackupArt=%s\nHauptBackup=%s\nIdentitaet=Hauptidentität\nIdentID={8A1B2C3D-0000-4000-8000-00000000E2E0}\nCounter=%s\nDate=01.03.2026\nComment=e2e\n\n[Firefox]\nVersion=2\n\n[velbundle]\nVersion=1.0\n' "$1" "$2" "$3" \
    | iconv -f UTF-8 -t CP1252 | sed 's/$/\r/'
}

# ARCHIVE KIND MAIN COUNTER [zip options]: a small backup with mail folders and settings.
make_backup() {
  local archive=$1 kind=$2 main=$3 counter=$4
  shift 4
  local src
  src=$(mktemp -d "$E2E_RUN/src.XXXX")
  head -c 3000 /dev/urandom >"$src/Folders.dbx"
  head -c 1234 /dev/zero >"$src/Posteingang.dbx"
  head -c 20480 /dev/zero >"$src/Gesendete Objekte.dbx"
  head -c 100 /dev/zero >"$src/Ohne Namen.dbx"
  head -c 100 /dev/zero >"$src/Pop3uidl.dbx"
  printf 'x' >"$src/ACCOUNTS.OLS"
  printf 'x' >"$src/SIGNS.OLS"
  printf 'Posteingang.dbx#~#Posteingang\r\nGesendete Objekte.dbx#~#Gesendete Objekte\r\n' >"$src/REALNAME.TMP"
  (cd "$src" && zip -q -X "$@" -z "$archive" ./* <<<"$(info_record "$kind" "$main" "$counter")") \
    || fail "zip could not write $archive"
  rm -rf "$src"
}

backup_folder() {
  BAK=$(test_dir bak)
  reg_import <<EOF
[$SETTINGS_KEY]
"bakFolder"="C:\\\\e2e\\\\bak\\\\"
"tmpFolder"="C:\\\\e2e\\\\tmp\\\\"
EOF
}

open_viewer() {
  start_brevisto
  wait_main
  need_menu "Backup>anschauen..."
  drive menucmd "$MAIN" "Backup>anschauen..."
  drive wait "$VIEWER" 8000 >/dev/null || fail "the viewer did not open"
}

viewer_controls() { drive controls "$VIEWER"; }
# The viewer shows a control with this text (its description is filled in the background).
viewer_shows() { viewer_controls | grep -qF "text=$1"; }
BACKUPS='class=ComboBox;visible;n=1'
MAIL_ROWS='class=SysListView32'
# Conditions to poll for.
rows_shown() { [ -n "$(drive items "$VIEWER" "$MAIL_ROWS" 2>/dev/null)" ]; }
selected_is() { drive state "$VIEWER" "$BACKUPS" 2>/dev/null | grep -q "selected=$1"; }
list_is() { [ "$(drive items "$VIEWER" "$BACKUPS")" = "$1" ]; }
gone_file() { [ ! -e "$1" ]; }

test_viewer_full_and_update() {
  backup_folder
  make_backup "$BAK/Haupt_2026-03-01.bvq" VollBackup SELF 0
  make_backup "$BAK/UPD_Haupt_2026-03-02.bvq" UpdateBackup Haupt_2026-03-01.bvq 2
  open_viewer
  poll 5 rows_shown || fail "the viewer described no backup"
  local controls
  controls=$(viewer_controls)
  log "$controls"
  screenshot viewer-full
  check_clipping "$VIEWER"
  expect_eq "$(drive items "$VIEWER" "$BACKUPS")" $'Haupt_2026-03-01\nUPD_Haupt_2026-03-02' "backup list"
  expect_contains "$(drive state "$VIEWER" "$BACKUPS")" "selected=0" "first backup selected"
  printf '%s\n' "$controls" | grep -q 'text=Brevisto - Inhalt des Backups' || fail "banner"
  local rows
  rows=$(drive items "$VIEWER" "$MAIL_ROWS")
  expect_eq "$rows" $'Gesendete Objekte\t20.480\nOhne Namen\t100\nPosteingang\t1.234' "mail folder rows"
  printf '%s\n' "$controls" | grep -q 'aktualisiertes Update' && fail "update line on a full backup"
  # The update backup.
  drive select "$VIEWER" "$BACKUPS" "UPD_Haupt_2026-03-02"
  poll 5 viewer_shows '2. aktualisiertes Update der Identität Hauptidentität' || fail "update line"
  screenshot viewer-update
  check_clipping "$VIEWER"
  drive press "$VIEWER" Schließen
  drive gone "$VIEWER" 3000 || fail "the viewer did not close"
}

# Deleting the last entry selects the new last one; the log file goes with the archive.
test_viewer_delete_last() {
  backup_folder
  make_backup "$BAK/A_2026-03-01.bvq" VollBackup SELF 0
  make_backup "$BAK/B_2026-03-02.bvq" VollBackup SELF 0
  make_backup "$BAK/C_2026-03-03.bvq" VollBackup SELF 0
  printf 'log\r\n' >"$BAK/C_2026-03-03.log"
  open_viewer
  # The list is filled and the first backup described before another one is chosen.
  poll 5 rows_shown || fail "the viewer described no backup"
  drive select "$VIEWER" "$BACKUPS" "#2"
  poll 5 selected_is 2 || fail "the third backup was not selected"
  drive press "$VIEWER" "Löschen"
  local out
  out=$(drive answer Ja 5000 'Möchten Sie das Backup wirklich löschen? ') || fail "no delete question"
  expect_contains "$out" 'Hiermit löschen Sie das Backup unwiderruflich!' "question"
  poll 5 gone_file "$BAK/C_2026-03-03.bvq" || fail "archive not deleted"
  [ ! -e "$BAK/C_2026-03-03.log" ] || fail "log not deleted"
  expect_eq "$(drive items "$VIEWER" "$BACKUPS")" $'A_2026-03-01\nB_2026-03-02' "list after delete"
  expect_contains "$(drive state "$VIEWER" "$BACKUPS")" "selected=1" "new last entry selected"
  # Deleting the rest leaves the empty list and the notice.
  local i
  for i in 1 2; do
    drive press "$VIEWER" "Löschen"
    drive answer Ja 5000 >/dev/null || fail "no delete question"
    [ $i = 2 ] || poll 5 list_is 'A_2026-03-01' || fail "the list after deleting B: $(drive items "$VIEWER" "$BACKUPS")"
  done
  poll 5 viewer_shows 'Keine Backupdatei gefunden!' || fail "no 'Keine Backupdatei gefunden!'"
  expect_contains "$(drive state "$VIEWER" "class=Button;text=Löschen")" "enabled=0" "delete button"
  screenshot viewer-empty
  check_clipping "$VIEWER"
}

test_viewer_password_protected() {
  backup_folder
  make_backup "$BAK/Geheim_2026-03-01.bvq" VollBackup SELF 0 -P geheim
  open_viewer
  # No password is asked for.
  poll 5 viewer_shows 'Passwort geschütztes Backup' || fail "no 'Passwort geschütztes Backup'"
  if drive msgbox 500 >/dev/null 2>&1; then fail "a message appeared for an encrypted archive"; fi
  screenshot viewer-password
  check_clipping "$VIEWER"
  # Rows from the entry names, sizes still shown.
  expect_eq "$(drive items "$VIEWER" "class=SysListView32")" \
    $'Gesendete Objekte\t20.480\nOhne Namen\t100\nPosteingang\t1.234' "rows"
}

test_viewer_damaged_archive() {
  backup_folder
  head -c 5000 /dev/urandom >"$BAK/Kaputt_2026-03-01.bvq"
  open_viewer
  local out
  out=$(drive answer OK 8000) || fail "no message for a damaged archive"
  expect_eq "$out" $'Brevisto\nBackupdatei ist defekt!!!' "message"
}

test_viewer_missing_folder() {
  reg_import <<EOF
[$SETTINGS_KEY]
"bakFolder"="C:\\\\e2e\\\\nirgends\\\\"
EOF
  open_viewer
  # The viewer creates the backup folder, so the list is empty.
  poll 5 viewer_shows 'Keine Backupdatei gefunden!' || fail "no 'Keine Backupdatei gefunden!'"
  [ -d "$WINEPREFIX/drive_c/e2e/nirgends" ] || fail "backup folder not created"
}

# Closing the viewer offers the association once; No is remembered.
test_viewer_association_question() {
  backup_folder
  make_backup "$BAK/Haupt_2026-03-01.bvq" VollBackup SELF 0
  open_viewer
  drive press "$VIEWER" Schließen
  local out
  out=$(drive answer Nein 5000 'Möchten Sie die Dateiendung .bvq im System registrieren?') \
    || fail "no association question"
  expect_eq "$(drive reg "$SETTINGS" again_bvqhandle 2>/dev/null || true)" 1 again_bvqhandle
  wait_main 3000
  # Not asked again.
  drive menucmd "$MAIN" "Backup>anschauen..."
  drive wait "$VIEWER" 8000 >/dev/null || fail "the viewer did not open again"
  drive press "$VIEWER" Schließen
  if drive msgbox 1500 >/dev/null 2>&1; then fail "asked again"; fi
}

test_viewer_association_yes() {
  backup_folder
  make_backup "$BAK/Haupt_2026-03-01.bvq" VollBackup SELF 0
  open_viewer
  drive press "$VIEWER" Schließen
  drive answer Ja 5000 'Dateiendung .bvq' >/dev/null || fail "no association question"
  bvq_registered() { [ "$(drive reg 'HKCR\.bvq' '' 2>/dev/null)" = "Outlook Express Sicherung" ]; }
  poll 5 bvq_registered
  expect_eq "$(drive reg 'HKCR\.bvq' '')" "Outlook Express Sicherung" ".bvq class"
  expect_eq "$(drive reg 'HKCR\Outlook Express Sicherung\shell\open\command' '')" "$PROGRAM_WIN \"%1\"" "open command"
}

# A backup file on the command line opens the viewer with it selected.
test_viewer_from_command_line() {
  backup_folder
  make_backup "$BAK/A_2026-03-01.bvq" VollBackup SELF 0
  make_backup "$BAK/B_2026-03-02.bvq" UpdateBackup A_2026-03-01.bvq 1
  start_brevisto 'C:\e2e\bak\B_2026-03-02.bvq'
  drive wait "$VIEWER" 10000 >/dev/null || fail "the viewer did not open for a backup file on the command line"
  poll 5 selected_is 1
  expect_contains "$(drive state "$VIEWER" "$BACKUPS")" "selected=1" "the named backup selected"
}
