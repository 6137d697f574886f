# Backup wizard page by page, and unattended runs from parameter files: a synthetic
# Outlook Express identity (make_identity) in the test's prefix, the real program driving
# the real backup.

WIZ_FULL='title=Brevisto : Backup anlegen'
WIZ_UPDATE='title=Brevisto : Backup aktualisieren'
WIZ=$WIZ_FULL

# Controls of the wizard and its pages.
TITLE='id=2810;visible'
IDENTITY='id=2811'
KEY_LABEL='id=2812'
BACKUP_DIR='id=2814'
BACKUP_NAME='id=2816'
TREE='id=2820'
FILE_COUNT='id=2822'
END_TEXT='id=2850'
FINISH='id=2851'
STATUS='id=2861'
REPORT='id=2910'
NEXT='id=2805'
BACK='id=2804'
CANCEL='id=2'
PRINT='id=2803'
save_box() { echo "id=$((2830 + $1))"; }

# An identity with mail, registered as Outlook Express 6's; sets ID_GUID and ID_STORE.
make_identity() {  # [make_identity options]
  oe_version '6,0,2900,5512'
  [ -f "$E2E_BIN/make_identity.exe" ] || skip "make_identity.exe is not built"
  wine "$E2E_BIN/make_identity.exe" --name "Hauptidentität" "$@" 2>&1 | tr -d '\r' \
    | iconv -f CP850 -t UTF-8 >"$E2E_RUN/identity.txt"
  ID_GUID=$(sed -n 's/^Identität: *Hauptidentität \({.*}\)$/\1/p' "$E2E_RUN/identity.txt")
  ID_STORE=$(sed -n 's/^Mail-Ordner: *//p' "$E2E_RUN/identity.txt")
  [ -n "$ID_GUID" ] && [ -n "$ID_STORE" ] || fail "make_identity: $(cat "$E2E_RUN/identity.txt")"
}

# The folder of the identity's mail store in the prefix (a host path).
store_dir() { find "$WINEPREFIX/drive_c" -type d -path "*Identities/$ID_GUID/Microsoft/Outlook Express" -print -quit; }

# The backup folder C:\e2e\bak\ as the setting, the temporary folder beside it.
use_backup_folder() {
  BAK=$(test_dir bak)
  test_dir tmp >/dev/null
  reg_import <<EOF
[$SETTINGS_KEY]
"bakFolder"="C:\\\\e2e\\\\bak\\\\"
"tmpFolder"="C:\\\\e2e\\\\tmp\\\\"
EOF
}

# Starts the program and opens the wizard by its button (F5 full, F7 update).
open_wizard() {  # full|update
  start_brevisto
  wait_main
  if [ "$1" = update ]; then
    WIZ=$WIZ_UPDATE
    drive key "$MAIN" F7
  else
    WIZ=$WIZ_FULL
    drive key "$MAIN" F5
  fi
  drive wait "$WIZ" 15000 >/dev/null || fail "the wizard did not open"
}

page_title() { drive text "$WIZ" "$TITLE"; }
expect_page() {  # title
  local i
  for ((i = 0; i < 50; i++)); do
    [ "$(page_title 2>/dev/null)" = "$1" ] && return 0
    sleep 0.1
  done
  fail "expected the page \"$1\", the wizard shows \"$(page_title 2>/dev/null)\""
}
next() { drive click "$WIZ" "$NEXT"; }
back() { drive click "$WIZ" "$BACK"; }
enabled() { drive state "$WIZ" "$1" | grep -q 'enabled=1'; }
checked() { drive state "$WIZ" "$1" | grep -q 'checked=1'; }

# Waits until the folder tree has been read (the count label is no longer "0 von 0").
wait_tree() {
  local i
  for ((i = 0; i < 100; i++)); do
    case "$(drive text "$WIZ" "$FILE_COUNT" 2>/dev/null)" in "0 von 0"*|"") sleep 0.1 ;; *) return 0 ;; esac
  done
  fail "the folder tree was not read"
}

# Waits for the end of the run: "&Report" on the Next button.
wait_run_end() {  # [seconds]
  local i
  for ((i = 0; i < ${1:-60} * 10; i++)); do
    [ "$(drive text "$WIZ" "$NEXT" 2>/dev/null)" = "&Report" ] && return 0
    sleep 0.1
  done
  fail "the run did not end (status: $(drive text "$WIZ" "$STATUS" 2>/dev/null))"
}

# Entry names of an archive (CP1252 names read as such).
archive_entries() { bsdtar --options hdrcharset=CP1252 -tf "$1"; }

# ------------------------------------------------------------------ interactive

test_wizard_full_backup_page_by_page() {
  make_identity --mail-mb 2
  use_backup_folder
  open_wizard full
  expect_page "Auswahl der Identität (1/6)"
  expect_eq "$(drive text "$WIZ" "$KEY_LABEL")" "$ID_GUID" "identity key label"
  expect_eq "$(drive items "$WIZ" "$IDENTITY")" "Hauptidentität" "identity list"
  expect_eq "$(drive text "$WIZ" "$BACKUP_DIR")" 'C:\e2e\bak\' "backup folder"
  expect_contains "$(drive text "$WIZ" "$BACKUP_NAME")" "Hauptidentität_" "proposed name"
  drive state "$WIZ" "$BACK" | grep -q 'enabled=0' || fail "Back is enabled on the first page"
  drive settext "$WIZ" "$BACKUP_NAME" "Erste Sicherung"
  screenshot wizard-1-identity
  next
  expect_page "Auswahl der Mailordner (2/6)"
  wait_tree
  local tree
  tree=$(drive tree "$WIZ" "$TREE")
  log "$(printf '%s\n' "$tree" | head -20)"
  expect_contains "$tree" $'\tGesendete Objekte' "tree"
  printf '%s\n' "$tree" | grep -q $'^0\t' && fail "a folder is unticked after loading"
  drive treeclick "$WIZ" "$TREE" "Gesendete Objekte"
  local i
  for ((i = 0; i < 30; i++)); do
    drive tree "$WIZ" "$TREE" | grep -q $'^0\t[0-9]*\tGesendete Objekte' && break
    sleep 0.1
  done
  drive tree "$WIZ" "$TREE" | grep -q $'^0\t[0-9]*\tGesendete Objekte' || fail "the click did not untick the folder"
  screenshot wizard-2-mails
  next
  expect_page "Auswahl der Einstellungen (3/6)"
  drive check "$WIZ" "$(save_box 4)" 0   # Signaturen
  drive check "$WIZ" "$(save_box 8)" 0   # Cookie-Einstellungen
  screenshot wizard-3-others
  next
  expect_page "Ende der Auswahl (4/6)"
  expect_eq "$(drive text "$WIZ" "$END_TEXT")" 'Das Backup der Identität\r   Hauptidentität\rwird angelegt.' "end text"
  expect_eq "$(drive text "$WIZ" "$NEXT")" "&Fertig stellen" "Next caption"
  screenshot wizard-4-end
  # Back and forth keeps the choices.
  back
  expect_page "Auswahl der Einstellungen (3/6)"
  checked "$(save_box 4)" && fail "Signaturen ticked again after Back"
  checked "$(save_box 0)" || fail "Programmeinstellungen unticked after Back"
  back
  expect_page "Auswahl der Mailordner (2/6)"
  back
  expect_page "Auswahl der Identität (1/6)"
  expect_eq "$(drive text "$WIZ" "$BACKUP_NAME")" "Erste Sicherung" "name after Back"
  next
  expect_page "Auswahl der Mailordner (2/6)"
  next
  next
  expect_page "Ende der Auswahl (4/6)"
  drive click "$WIZ" "$FINISH"
  expect_page "Backup der Daten (5/6)"
  wait_run_end 90
  screenshot wizard-5-backup
  expect_contains "$(drive text "$WIZ" "$STATUS")" "Backup der Daten erfolgreich beendet!" "status"
  expect_eq "$(drive text "$WIZ" "$CANCEL")" "&Beenden" "Cancel caption after the run"
  next
  expect_page "Report (6/6)"
  drive state "$WIZ" "$PRINT" | grep -q 'visible=1' || fail "no print button on the report page"
  local report
  report=$(drive text "$WIZ" "$REPORT")
  [ -n "$report" ] || fail "empty report"
  screenshot wizard-6-report
  drive click "$WIZ" "$CANCEL"
  drive gone "$WIZ" 5000 || fail "the wizard did not close"
  wait_main 5000

  local archive="$BAK/Erste Sicherung.bvq"
  [ -f "$archive" ] || fail "no archive $archive: $(ls "$BAK")"
  unzip -tq "$archive" >/dev/null || fail "the archive does not test good"
  local entries
  entries=$(archive_entries "$archive")
  expect_contains "$entries" "Posteingang.dbx" "archive"
  printf '%s\n' "$entries" | grep -qx 'Gesendete Objekte.dbx' && fail "the unticked folder was saved"
  printf '%s\n' "$entries" | grep -qx 'SIGNS.OLS' && fail "signatures saved although unticked"
  printf '%s\n' "$entries" | grep -qx 'COOKIEUS.OLS' && fail "cookie settings saved although unticked"
  printf '%s\n' "$entries" | grep -qx 'ACCOUNTS.OLS' || fail "accounts missing"
  [ -f "$BAK/Erste Sicherung.log" ] || fail "no report file beside the archive"
}

test_wizard_first_page_checks() {
  make_identity --mail-mb 1
  use_backup_folder
  printf 'alt' >"$BAK/Vorhanden.bvq"
  open_wizard full
  expect_page "Auswahl der Identität (1/6)"
  screenshot wizard-1-identity-checks

  drive settext "$WIZ" "$BACKUP_DIR" "   "
  next
  expect_eq "$(drive answer OK 8000)" $'Brevisto\nDie Angabe des Ordners darf nicht leer sein!' "empty folder"
  expect_page "Auswahl der Identität (1/6)"
  drive settext "$WIZ" "$BACKUP_DIR" 'C:\e2e\bak\'

  # The name as typed, without the ".bvq" added for the check.
  drive settext "$WIZ" "$BACKUP_NAME" "Vorhanden"
  next
  expect_eq "$(drive answer OK 8000)" $'Brevisto\nEine Backupdatei mit dem Namen "Vorhanden" existiert bereits!\\rDamit das bereits vorhandene Backup nicht überschrieben wird, müssen Sie einen anderen Namen angeben.' "existing name"
  expect_page "Auswahl der Identität (1/6)"
  expect_eq "$(cat "$BAK/Vorhanden.bvq")" "alt" "the existing archive"

  local name
  for name in "Was?" "con"; do
    drive settext "$WIZ" "$BACKUP_NAME" "$name"
    next
    expect_eq "$(drive answer OK 8000)" $'Brevisto\nDer Name des Backups enthält ungültige Zeichen oder ist ein Name eines System-Gerätetreibers!\\rUngültige Zeichen sind: % \\ / : * ? " < > |\\rSystemgerätetreiber sind z.B.: con, aux, lpt1, com1, usw.' "invalid name $name"
    expect_page "Auswahl der Identität (1/6)"
  done

  drive settext "$WIZ" "$BACKUP_NAME" "Gut"
  next
  expect_page "Auswahl der Mailordner (2/6)"
  [ -e "$BAK/Gut.bvq" ] && fail "the probe file was left behind"
  # Closing before the run asks first.
  drive click "$WIZ" "$CANCEL"
  expect_eq "$(drive answer Ja 8000)" $'Brevisto\nDas Backup der Daten wurde noch nicht vollständig angelegt.\\r\\rSind Sie sicher, dass Sie den Assistenten beenden möchten?' "close question"
  drive gone "$WIZ" 5000 || fail "the wizard did not close"
  wait_main 5000
}

test_wizard_no_identities() {
  oe_version '6,0,2900,5512'
  use_backup_folder
  open_wizard full
  expect_eq "$(drive answer OK 8000)" $'Brevisto\nEs konnten keine Identitäten ermittelt werden!' "message"
  expect_eq "$(drive items "$WIZ" "$IDENTITY")" "" "identity list"
  enabled "$NEXT" && fail "Next is enabled without identities"
  drive click "$WIZ" "$CANCEL"
  drive answer Ja 8000 >/dev/null || fail "no close question"
  drive gone "$WIZ" 5000 || fail "the wizard did not close"
}

test_wizard_update_needs_a_full_backup_and_gets_its_prefix() {
  make_identity --mail-mb 1
  use_backup_folder
  open_wizard update
  expect_eq "$(drive answer OK 8000)" $'Brevisto\nSie haben für diese Identität noch kein Komplettbackup angelegt bzw. es wurden keine entsprechenden Informationen in der Windows Registry gefunden!\\rBeenden Sie daher die Backupaktualisierung und legen Sie zuerst ein vollständiges Backup der Daten an!' "no full backup"
  enabled "$NEXT" && fail "Next is enabled without a full backup"
  screenshot wizard-update-without-full
  drive click "$WIZ" "$CANCEL"
  drive answer Ja 8000 >/dev/null || fail "no close question"
  drive gone "$WIZ" 5000 || fail "the wizard did not close"

  # A full backup from a parameter file, then the update wizard: "Nachtrag" becomes
  # "UPD_Nachtrag", and an existing "UPD_Alt.bvq" is found although "Alt" was typed.
  wine "$E2E_BIN/param-file.exe" --out 'C:\e2e\Voll.BVT' --name "Hauptidentität" --gid "\\$ID_GUID\\" \
    --mailpath "$ID_STORE" --savepath 'C:\e2e\bak\' --all >/dev/null 2>&1 || fail "param-file failed"
  start_brevisto 'C:\e2e\Voll.BVT'
  wait_brevisto_exit 60 || fail "the unattended full backup did not end"
  expect_eq "$BV_EXIT" 0 "exit code of the full backup"
  printf 'alt' >"$BAK/UPD_Alt.bvq"
  drive gone "$MAIN" 5000 || true
  open_wizard update
  drive settext "$WIZ" "$BACKUP_NAME" "Alt"
  next
  drive answer OK 8000 'Eine Backupdatei mit dem Namen "UPD_Alt" existiert bereits!' >/dev/null \
    || fail "the existing update archive was not found"
  expect_eq "$(cat "$BAK/UPD_Alt.bvq")" "alt" "the existing update archive"
  drive settext "$WIZ" "$BACKUP_NAME" "Nachtrag"
  next
  expect_page "Auswahl der Mailordner (2/6)"
  back
  expect_eq "$(drive text "$WIZ" "$BACKUP_NAME")" "UPD_Nachtrag" "name with prefix"
}
