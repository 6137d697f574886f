# Backup wizard page by page, and unattended runs from parameter files: a synthetic
# Outlook Express identity (make_identity) in the test's prefix, the real program driving
# the real backup.

WIZ_FULL='title=Brevisto : Backup anlegen'
WIZ_UPDATE='title=Brevisto : Backup aktualisieren'
WIZ=$WIZ_FULL

# Controls of the wizard and its pages.
TITLE="$(ctl IDC_WIZ_TITLE);visible"
IDENTITY=$(ctl IDC_WIZ_IDENTITY)
KEY_LABEL=$(ctl IDC_WIZ_IDENT_KEY)
BACKUP_DIR=$(ctl IDC_WIZ_BACKUP_DIR)
BACKUP_NAME=$(ctl IDC_WIZ_BACKUP_NAME)
TREE=$(ctl IDC_WIZ_TREE)
FILE_COUNT=$(ctl IDC_WIZ_FILE_COUNT)
END_TEXT=$(ctl IDC_WIZ_END_TEXT)
FINISH=$(ctl IDC_WIZ_FINISH)
STATUS=$(ctl IDC_WIZ_STATUS)
REPORT=$(ctl IDC_WIZ_REPORT)
NEXT=$(ctl IDC_WIZ_NEXT)
BACK=$(ctl IDC_WIZ_BACK)
CANCEL='id=2'  # IDCANCEL
PRINT=$(ctl IDC_WIZ_PRINT)
PASSWORD=$(ctl IDC_PASSWORD)
PASSWORD_REPEAT=$(ctl IDC_PASSWORD_REPEAT)
NOTICE_TEXT=$(ctl IDC_NOTICE_TEXT)
save_box() { echo "id=$((${RESOURCE_IDS[IDC_WIZ_SAVE_FIRST]} + $1))"; }

# An identity with mail, registered as Outlook Express 6's; sets ID_GUID and ID_STORE.
make_identity() {  # [make_identity options]
  oe_version '6,0,2900,5512'
  [ -f "$E2E_BIN/make_identity.exe" ] || fail "make_identity.exe is not built"
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
"again_password"=dword:00000001
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

# The folder tree once it is read: "checked<TAB>depth<TAB>text" per node, logged.
loaded_tree() {
  wait_tree
  local tree
  tree=$(drive tree "$WIZ" "$TREE")
  log "$(printf '%s\n' "$tree" | head -20)" >&2
  printf '%s\n' "$tree"
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
  check_clipping "$WIZ"
  next
  expect_page "Auswahl der Mailordner (2/6)"
  local tree
  tree=$(loaded_tree)
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
  check_clipping "$WIZ"
  next
  expect_page "Auswahl der Einstellungen (3/6)"
  drive check "$WIZ" "$(save_box 4)" 0   # Signaturen
  drive check "$WIZ" "$(save_box 8)" 0   # Cookie-Einstellungen
  screenshot wizard-3-others
  check_clipping "$WIZ"
  next
  expect_page "Ende der Auswahl (4/6)"
  expect_eq "$(drive text "$WIZ" "$END_TEXT")" 'Das Backup der Identität\r   Hauptidentität\rwird angelegt.' "end text"
  expect_eq "$(drive text "$WIZ" "$NEXT")" "&Fertig stellen" "Next caption"
  screenshot wizard-4-end
  check_clipping "$WIZ"
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
  check_clipping "$WIZ"
  expect_contains "$(drive text "$WIZ" "$STATUS")" "Backup der Daten erfolgreich beendet!" "status"
  expect_eq "$(drive text "$WIZ" "$CANCEL")" "&Beenden" "Cancel caption after the run"
  next
  expect_page "Report (6/6)"
  drive state "$WIZ" "$PRINT" | grep -q 'visible=1' || fail "no print button on the report page"
  local report
  report=$(drive text "$WIZ" "$REPORT")
  [ -n "$report" ] || fail "empty report"
  screenshot wizard-6-report
  check_clipping "$WIZ"
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

# ------------------------------------------------------------------ unattended

# Writes C:\e2e\Nacht.BVT (and with --batch its batch file) for the identity.
write_parameter_file() {  # [param-file options]
  [ -f "$E2E_BIN/param-file.exe" ] || fail "param-file.exe is not built"
  mkdir -p "$WINEPREFIX/drive_c/e2e"
  wine "$E2E_BIN/param-file.exe" --out 'C:\e2e\Nacht.BVT' --name "Hauptidentität" --gid "\\$ID_GUID\\" \
    --mailpath "$ID_STORE" --savepath 'C:\e2e\bak\' "$@" >"$E2E_RUN/param-file.txt" 2>&1 \
    || fail "param-file: $(cat "$E2E_RUN/param-file.txt")"
}

# The log's status lines, in order.
log_status() { iconv -f CP1252 -t UTF-8 "$BAK/Brevisto.log" | tr -d '\r' | sed -n 's/^Status *: //p'; }

test_unattended_run_from_parameter_file_with_password() {
  make_identity --mail-mb 2
  use_backup_folder
  write_parameter_file --all --password 'Geheim!42' --off 4
  start_brevisto 'C:\e2e\Nacht.BVT'
  wait_brevisto_exit 90 || fail "the unattended run did not end"
  expect_eq "$BV_EXIT" 0 "exit code"
  local archive
  archive=$(find "$BAK" -name 'Hauptidentität_*.bvq' -print -quit)
  [ -n "$archive" ] || fail "no archive in $BAK: $(ls "$BAK")"
  unzip -tq -P 'Geheim!42' "$archive" >/dev/null || fail "unzip -P does not test the archive good"
  unzip -tq -P 'falsch' "$archive" >/dev/null 2>&1 && fail "the archive opens with a wrong password"
  archive_entries "$archive" | grep -qx 'Posteingang.dbx' || fail "the inbox is not in the archive"
  archive_entries "$archive" | grep -qx 'SIGNS.OLS' && fail "signatures saved although switched off"
  expect_eq "$(log_status)" "OK" "log"
  drive exists "$WIZ_FULL" 2>/dev/null && fail "a wizard window was left"
  return 0
}

test_unattended_run_from_batch_file() {
  make_identity --mail-mb 1
  use_backup_folder
  write_parameter_file --all --password 'Batch-Kennwort' --batch 'C:\e2e\Nacht.bat' \
    --program 'C:\Programme\Brevisto\brevisto.exe'
  local line
  line=$(tr -d '\r' <"$WINEPREFIX/drive_c/e2e/Nacht.bat")
  log "Nacht.bat: $line"
  case "$line" in \"*\"\ \"*\") ;; *) fail "not two quoted paths: $line" ;; esac
  [ "$(wc -l <"$WINEPREFIX/drive_c/e2e/Nacht.bat")" = 1 ] || fail "more than one line"
  local rc=0
  timeout 120 wine cmd /c 'C:\e2e\Nacht.bat' >>"$E2E_RUN/program.log" 2>&1 || rc=$?
  # cmd waits for the program in a batch file; give a detached start time to end anyway.
  local i
  for ((i = 0; i < 600; i++)); do
    [ -f "$BAK/Brevisto.log" ] && ! drive exists "$MAIN" 2>/dev/null && break
    sleep 0.1
  done
  expect_eq "$rc" 0 "exit code of the batch file"
  local archive
  archive=$(find "$BAK" -name 'Hauptidentität_*.bvq' -print -quit)
  [ -n "$archive" ] || fail "no archive: $(ls "$BAK")"
  unzip -tq -P 'Batch-Kennwort' "$archive" >/dev/null || fail "unzip -P does not test the archive good"
  expect_eq "$(log_status)" "OK" "log"
}

test_unattended_run_with_a_locked_mail_folder_fails() {
  make_identity --mail-mb 1
  use_backup_folder
  write_parameter_file --all
  local inbox
  inbox=$(find "$(store_dir)" -name 'Posteingang.dbx' -print -quit)
  [ -n "$inbox" ] || fail "no inbox"
  local winbox
  winbox=$(winpath "${inbox#"$WINEPREFIX/drive_c/"}")
  wine "$E2E_BIN/hold_file.exe" "$winbox" 100 >"$E2E_RUN/hold.txt" 2>&1 &
  local i
  for ((i = 0; i < 100; i++)); do grep -q held "$E2E_RUN/hold.txt" 2>/dev/null && break; sleep 0.1; done
  grep -q held "$E2E_RUN/hold.txt" || fail "hold_file could not lock the inbox: $(cat "$E2E_RUN/hold.txt")"
  start_brevisto 'C:\e2e\Nacht.BVT'
  # The retry question is answered at once; any other box closes itself after 60 s.
  wait_brevisto_exit 100 || fail "the unattended run with a locked folder did not end"
  [ "$BV_EXIT" != 0 ] || fail "exit code 0 although the inbox could not be saved"
  expect_eq "$(log_status)" "FEHLER" "log"
  local report
  report=$(find "$BAK" -name '*.log' ! -name Brevisto.log -print -quit)
  [ -n "$report" ] && log "report: $(iconv -f CP1252 -t UTF-8 "$report" | grep -i 'Posteingang' | head -3)"
  drive exists "$WIZ_FULL" 2>/dev/null && fail "a wizard window was left"
  drive exists 'class=#32770' 2>/dev/null && fail "a message box was left"
  return 0
}

# ------------------------------------------------------------------ run, cancel, report

test_wizard_tree_marks_missing_and_changed_folders() {
  make_identity --mail-mb 1
  use_backup_folder
  write_parameter_file --all
  start_brevisto 'C:\e2e\Nacht.BVT'
  wait_brevisto_exit 60 || fail "the unattended full backup did not end"
  expect_eq "$BV_EXIT" 0 "exit code of the full backup"
  rm -f "$(store_dir)/Fotos.dbx"
  open_wizard update
  next
  expect_page "Auswahl der Mailordner (2/6)"
  local tree
  tree=$(loaded_tree)
  printf '%s\n' "$tree" | grep -q $'\tFotos.*nicht vorhanden' || fail "the missing folder is not marked"
  expect_contains "$tree" "[aktualisiert]" "changed folders"
  screenshot wizard-2-mails-update-marks
}

# A large store packed hard, so that a run stays on its mail folders for a while.
prepare_slow_run() {
  make_identity --mail-mb 120
  use_backup_folder
  reg_import <<EOF2
[$SETTINGS_KEY]
"Compression"=dword:00000009
EOF2
}

# The wizard's run of such a store, until the status line is on the mail folders.
start_slow_run() {  # NAME
  open_wizard full
  drive settext "$WIZ" "$BACKUP_NAME" "$1"
  next
  wait_tree
  next
  next
  expect_page "Ende der Auswahl (4/6)"
  drive click "$WIZ" "$FINISH"
  expect_page "Backup der Daten (5/6)"
  local i
  for ((i = 0; i < 200; i++)); do
    case "$(drive text "$WIZ" "$STATUS" 2>/dev/null)" in "Sichere: "*.dbx*) return 0 ;; esac
    sleep 0.05
  done
  fail "the run never reached the mail folders (status: $(drive text "$WIZ" "$STATUS" 2>/dev/null))"
}

test_wizard_cancel_during_the_run() {
  prepare_slow_run
  # An older backup of this identity that the cancelled run must leave alone.
  printf 'altes Backup' >"$BAK/Alt.zip"
  (cd "$BAK" && zip -q Alt.bvq Alt.zip && rm Alt.zip)
  local before
  before=$(md5sum <"$BAK/Alt.bvq")
  # Cancel asks only while the archive is written: the run is on the mail folders.
  start_slow_run "Abgebrochen"
  drive click "$WIZ" "$CANCEL"
  local out
  out=$(drive answer Ja 10000) || fail "no cancel question"
  expect_eq "$out" $'Abbruch des Backups\nDas Backup der Daten ist noch nicht vollständig!\\r\\rSoll der Vorgang abgebrochen werden?' "cancel question"
  # The run ends as cancelled: its message, then the report is offered.
  # A kept part that tests good ends quietly; otherwise the run says it was cancelled.
  if out=$(drive msgbox 5000); then
    expect_eq "$out" $'Brevisto\nBackup der Daten abgebrochen!' "message after cancelling"
    drive answer OK 3000 >/dev/null
  fi
  wait_run_end 60
  screenshot wizard-5-cancelled
  case "$(drive text "$WIZ" "$STATUS")" in
    *ABBRUCH*|*abgebrochen*) ;;
    *) fail "status after cancelling: $(drive text "$WIZ" "$STATUS")" ;;
  esac
  next
  expect_page "Report (6/6)"
  expect_contains "$(drive text "$WIZ" "$REPORT")" "* ABBRUCH DES BACKUPS DURCH NUTZER! *" "report"
  drive click "$WIZ" "$CANCEL"
  drive gone "$WIZ" 5000 || fail "the wizard did not close"
  expect_eq "$(md5sum <"$BAK/Alt.bvq")" "$before" "the older archive"
  if [ -f "$BAK/Abgebrochen.bvq" ]; then
    unzip -tq "$BAK/Abgebrochen.bvq" >/dev/null 2>&1 || fail "a half-written archive was left"
  fi
}

test_wizard_report_printing() {
  make_identity --mail-mb 1
  use_backup_folder
  open_wizard full
  next
  wait_tree
  next
  next
  drive click "$WIZ" "$FINISH"
  wait_run_end 60
  next
  expect_page "Report (6/6)"
  drive click "$WIZ" "$PRINT"
  # Wine has no printer here: the error message. With one, the job goes to it silently.
  local out
  if out=$(drive answer OK 15000); then
    expect_eq "$out" $'Fehler\nBeim Ausdrucken ist ein Fehler aufgetreten! Prüfen Sie ob der Standard-Drucker korrekt installiert ist.' "printer error"
  else
    log "no message: the report went to a printer"
  fi
  drive exists "$WIZ" || fail "the wizard closed"
}

test_wizard_password_question_dialog_and_notice() {
  make_identity --mail-mb 1
  use_backup_folder
  reg_import <<EOF2
[$SETTINGS_KEY]
"askForPassword"=dword:00000001
"again_password"=dword:00000000
EOF2
  open_wizard full
  drive settext "$WIZ" "$BACKUP_NAME" "Verschluesselt"
  next
  wait_tree
  next
  next
  expect_eq "$(drive answer Ja 8000)" $'Brevisto\nMöchten Sie die gesicherten Daten verschlüsseln?' "question"
  local pw='title=Backup verschlüsseln'
  drive wait "$pw" 5000 >/dev/null || fail "no password dialog"
  drive settext "$pw" "$PASSWORD" 'Kennwort-2026'
  drive settext "$pw" "$PASSWORD_REPEAT" 'Kennwort-2026'
  screenshot password-dialog
  check_clipping "$pw"
  drive press "$pw" OK
  drive gone "$pw" 3000 || fail "the password dialog did not close"
  # The accounts are chosen: the one-time notice about their passwords.
  local notice='title=Hinweis'
  drive wait "$notice" 5000 >/dev/null || fail "no notice"
  expect_contains "$(drive text "$notice" "$NOTICE_TEXT")" "Notieren Sie sich die Passwörter der E-Mail-Konten" "notice"
  screenshot notice-dialog
  check_clipping "$notice"
  drive press "$notice" OK
  drive gone "$notice" 3000 || fail "the notice did not close"
  expect_page "Ende der Auswahl (4/6)"
  drive click "$WIZ" "$FINISH"
  wait_run_end 60
  unzip -tq -P 'Kennwort-2026' "$BAK/Verschluesselt.bvq" >/dev/null || fail "the archive does not open with the password"
  unzip -tq -P 'anders' "$BAK/Verschluesselt.bvq" >/dev/null 2>&1 && fail "the archive opens with another password"
  return 0
}

test_unattended_run_minimizes_the_program() {
  make_identity --mail-mb 80
  use_backup_folder
  write_parameter_file --all
  reg_import <<EOF2
[$SETTINGS_KEY]
"Minimize"=dword:00000001
"Compression"=dword:00000009
EOF2
  start_brevisto 'C:\e2e\Nacht.BVT'
  # The main window goes to the task bar and takes the wizard with it.
  local i top=
  for ((i = 0; i < 100; i++)); do
    top=$(drive top 2>/dev/null | grep 'visible=1' || true)
    case "$top" in *"iconic=1 class=TStartDlg"*) break ;; esac
    sleep 0.1
  done
  case "$top" in *"iconic=1 class=TStartDlg"*) ;; *) fail "the program was not minimized: $top" ;; esac
  screenshot unattended-minimized
  drive exists "$WIZ_FULL" 2>/dev/null && fail "the wizard stayed on the screen"
  # Restored from the task bar, the wizard is back, still working.
  drive restore "$MAIN"
  drive wait "$WIZ_FULL" 5000 >/dev/null || fail "the wizard did not come back with the main window"
  screenshot unattended-restored
  wait_brevisto_exit 120 || fail "the unattended run did not end"
  expect_eq "$BV_EXIT" 0 "exit code"
}

test_wizard_close_during_the_run_waits_for_its_end() {
  prepare_slow_run
  start_slow_run "Geschlossen"
  drive close "$WIZ"
  # The run goes on: no failed step, no question; the wizard stays until the run has ended.
  local out
  if out=$(drive msgbox 3000 2>/dev/null); then fail "a message box after the close: $out"; fi
  drive exists "$WIZ" || fail "the wizard closed in the middle of the run"
  enabled "$CANCEL" && fail "Cancel still enabled after the close was taken"
  screenshot wizard-5-close-requested
  wait_brevisto_exit 120 || fail "the program did not end after the run"
  expect_eq "$BV_EXIT" 0 "exit code"
  unzip -tq "$BAK/Geschlossen.bvq" >/dev/null || fail "the archive does not test good"
  archive_entries "$BAK/Geschlossen.bvq" | grep -qx 'Posteingang.dbx' || fail "the inbox is not in the archive"
  expect_eq "$(log_status)" "OK" "log"
  local report
  report=$(iconv -f CP1252 -t UTF-8 "$BAK/Geschlossen.log" | tr -d '\r')
  case "$report" in *"konnte nicht gesichert werden"*) fail "the report names a failed step: $report" ;; esac
  expect_contains "$report" "Backup war ERFOLGREICH!" "report"
}

test_wizard_folder_from_the_space_notice_never_overwrites_a_backup() {
  make_identity --mail-mb 2
  use_backup_folder
  printf 'alt' >"$BAK/Sicherung.bvq"
  # The first backup folder is too small for the run; the notice leads to the preferences.
  local small
  small=$(test_dir klein)
  mount -t tmpfs -o size=256k tmpfs "$small" 2>/dev/null \
    || skip "no tmpfs can be mounted here (needs root in a private mount namespace)"
  reg_import <<EOF2
[$SETTINGS_KEY]
"bakFolder"="C:\\\\e2e\\\\klein\\\\"
EOF2
  open_wizard full
  expect_eq "$(drive text "$WIZ" "$BACKUP_DIR")" 'C:\e2e\klein\' "backup folder"
  drive settext "$WIZ" "$BACKUP_NAME" "Sicherung"
  next
  expect_page "Auswahl der Mailordner (2/6)"
  wait_tree
  next
  next
  local notice='title=Hinweis!'
  drive wait "$notice" 8000 >/dev/null || fail "no free-space notice"
  screenshot wizard-space-notice
  check_clipping "$notice"
  drive press "$notice" OK
  drive gone "$notice" 3000 || fail "the notice did not close"
  local prefs='title=Brevisto - Einstellungen'
  drive wait "$prefs" 5000 >/dev/null || fail "the preferences did not open after the notice"
  drive settext "$prefs" "class=Edit;visible;n=2" 'C:\e2e\bak'
  drive press "$prefs" OK
  drive gone "$prefs" 3000 || fail "the preferences did not close"
  expect_page "Auswahl der Einstellungen (3/6)"
  expect_eq "$(drive text "$WIZ" "$BACKUP_DIR")" 'C:\e2e\bak\' "backup folder from the preferences"
  next
  expect_page "Ende der Auswahl (4/6)"
  drive click "$WIZ" "$FINISH"
  # The first page's checks run again before the run: the name exists in the new folder.
  expect_eq "$(drive answer OK 8000)" $'Brevisto\nEine Backupdatei mit dem Namen "Sicherung" existiert bereits!\\rDamit das bereits vorhandene Backup nicht überschrieben wird, müssen Sie einen anderen Namen angeben.' "existing name"
  expect_page "Auswahl der Identität (1/6)"
  expect_eq "$(cat "$BAK/Sicherung.bvq")" "alt" "the existing archive"
  # Another name runs into the new folder.
  drive settext "$WIZ" "$BACKUP_NAME" "Neu"
  next
  wait_tree
  next
  next
  expect_page "Ende der Auswahl (4/6)"
  drive click "$WIZ" "$FINISH"
  wait_run_end 90
  unzip -tq "$BAK/Neu.bvq" >/dev/null || fail "the new archive does not test good"
  expect_eq "$(cat "$BAK/Sicherung.bvq")" "alt" "the existing archive after the run"
}

# Answers the save dialog titled TITLE with a path.
answer_save_dialog() {  # TITLE PATH
  local dlg="title=$1"
  drive wait "$dlg" 8000 >/dev/null || fail "no save dialog \"$1\""
  drive settext "$dlg" "class=Edit;id=1148" "$2"  # the file name box of the common dialog (cmb13)
  drive press "$dlg" "&Speichern"
  drive gone "$dlg" 5000 || fail "the save dialog did not close"
}

# The newest archive of the identity in the backup folder, after the one given.
newest_archive() { ls -t "$BAK"/Hauptidentität_*.bvq 2>/dev/null | head -1; }

# The hidden automation panel, reached by its buttons' commands: the batch file and the
# shortcut each start an unattended backup of the wizard's choices.
test_wizard_automation_panel_batch_file_and_shortcut() {
  make_identity --mail-mb 1
  use_backup_folder
  reg_import <<EOF2
[$SETTINGS_KEY]
"askForPassword"=dword:00000001
EOF2
  open_wizard full
  next
  loaded_tree >/dev/null
  drive treeclick "$WIZ" "$TREE" "Gesendete Objekte"
  local i
  for ((i = 0; i < 30; i++)); do
    drive tree "$WIZ" "$TREE" | grep -q $'^0\t[0-9]*\tGesendete Objekte' && break
    sleep 0.1
  done
  next
  expect_page "Auswahl der Einstellungen (3/6)"
  drive check "$WIZ" "$(save_box 4)" 0   # Signaturen
  next
  drive answer Ja 8000 >/dev/null || fail "no encryption question"
  local pw='title=Backup verschlüsseln'
  drive wait "$pw" 5000 >/dev/null || fail "no password dialog"
  drive settext "$pw" "$PASSWORD" 'Automat-2026'
  drive settext "$pw" "$PASSWORD_REPEAT" 'Automat-2026'
  drive press "$pw" OK
  expect_page "Ende der Auswahl (4/6)"
  screenshot wizard-4-end-automation

  drive command "$WIZ" "$(ctl IDC_WIZ_BATCH)"
  answer_save_dialog "Geben Sie den Namen der Batch-Datei an:" 'C:\e2e\Abend.bat'
  drive command "$WIZ" "$(ctl IDC_WIZ_SHORTCUT)"
  answer_save_dialog "Geben Sie die Bezeichnung der Verknüpfung an:" 'C:\e2e\Abend Link.lnk'
  if out=$(drive msgbox 2000 2>/dev/null); then fail "a message after the commands: $out"; fi
  [ -f "$WINEPREFIX/drive_c/e2e/Abend.bat" ] || fail "no batch file"
  [ -f "$WINEPREFIX/drive_c/e2e/Abend Link.lnk" ] || fail "no shortcut"
  local link
  link=$(drive shortcut 'C:\e2e\Abend Link.lnk') || fail "the shortcut cannot be read"
  log "shortcut: $link"
  local target args folder
  target=$(sed -n 1p <<<"$link")
  args=$(sed -n 2p <<<"$link")
  folder=$(sed -n 3p <<<"$link")
  expect_eq "$target" "$PROGRAM_WIN" "shortcut target"
  expect_eq "$folder" 'C:\Programme\Brevisto' "shortcut working folder"
  case "$args" in \"*.BVT\") ;; *) fail "shortcut arguments: $args" ;; esac

  # The wizard and the program end before the unattended runs.
  drive click "$WIZ" "$CANCEL"
  drive answer Ja 8000 >/dev/null || fail "no close question"
  drive gone "$WIZ" 5000 || fail "the wizard did not close"
  drive close "$MAIN"
  wait_brevisto_exit 20 || fail "the program did not end"

  local archive run
  for run in batch shortcut; do
    if [ $run = batch ]; then
      timeout 120 wine cmd /c 'C:\e2e\Abend.bat' >>"$E2E_RUN/program.log" 2>&1 || fail "the batch file failed"
    else
      sleep 1   # a name of its own: the archive's name has the second in it
      args=${args#\"}
      start_brevisto "${args%\"}"
      wait_brevisto_exit 120 || fail "the run from the shortcut did not end"
      expect_eq "$BV_EXIT" 0 "exit code of the run from the shortcut"
    fi
    archive=$(newest_archive)
    [ -n "$archive" ] || fail "$run: no archive in $BAK: $(ls "$BAK")"
    log "$run: $(basename "$archive")"
    unzip -tq -P 'Automat-2026' "$archive" >/dev/null || fail "$run: unzip -P does not test the archive good"
    archive_entries "$archive" | grep -qx 'Posteingang.dbx' || fail "$run: the inbox is missing"
    archive_entries "$archive" | grep -qx 'Gesendete Objekte.dbx' && fail "$run: an unticked folder was saved"
    archive_entries "$archive" | grep -qx 'SIGNS.OLS' && fail "$run: signatures saved although unticked"
    archive_entries "$archive" | grep -qx 'ACCOUNTS.OLS' || fail "$run: the accounts are missing"
    mv "$archive" "$archive.$run"
  done
  expect_eq "$(log_status | tail -2 | tr '\n' ' ')" "OK OK " "log"
}
