# Transfer into Windows Mail on Windows Vista: backups of a synthetic identity made by the
# real program from parameter files (a password-protected full backup and two updates),
# then the transfer dialog carries the chain into a prepared Windows Mail.

# The identity, the backup folder and the parameter-file helpers of the wizard's tests.
# shellcheck disable=SC1091
source "$TESTS_DIR/wizard.sh"

TRANSFER='title=Datentransfer von Outlook Express nach Windows (Live) Mail'
TRANSFER_PASSWORD_TEXT='Kette-2026!'
T_PROGRAM=$(ctl IDC_TRANSFER_PROGRAM)
T_BACKUPS=$(ctl IDC_TRANSFER_BACKUPS)
T_PASSWORD=$(ctl IDC_TRANSFER_PASSWORD)
T_TARGET=$(ctl IDC_TRANSFER_TARGET)
T_RUN=$(ctl IDC_TRANSFER_RUN)
T_STATUS=$(ctl IDC_TRANSFER_STATUS)
T_DATE=$(ctl IDC_TRANSFER_DATE)
T_SETTINGS_TEXT=$(ctl IDC_TRANSFER_SETTINGS_TEXT)
t_step() { echo "id=$((${RESOURCE_IDS[IDC_TRANSFER_STEP_FIRST]} + $1))"; }

# The main window's command id of the hidden entry "nach Windows (Live) Mail": the base plus
# the entry's place in the command enumeration.
transfer_command_id() {
  local n
  n=$(awk '/enum class MenuCommand/ {f = 1; n = -1; next}
           f && /};/ {exit}
           f {gsub(/[ ,]/, ""); sub(/=.*|\/\/.*/, ""); if ($0 == "") next; n++; if ($0 == "Transfer") print n}' \
        "$ROOT/brevisto/shell/main_menu.h")
  [ -n "$n" ] || fail "no MenuCommand::Transfer in main_menu.h"
  echo $((${RESOURCE_IDS[IDM_COMMAND_BASE]} + n))
}

# An unattended backup from a parameter file; fails unless the program ends with 0.
unattended_backup() {  # NAME [param-file options]
  local name=$1
  shift
  wine "$E2E_BIN/param-file.exe" --out "C:\\e2e\\$name.BVT" --name "Hauptidentität" --gid "\\$ID_GUID\\" \
    --mailpath "$ID_STORE" --savepath 'C:\e2e\bak\' --password "$TRANSFER_PASSWORD_TEXT" --all "$@" \
    >"$E2E_RUN/param-$name.txt" 2>&1 || fail "param-file: $(cat "$E2E_RUN/param-$name.txt")"
  start_brevisto "C:\\e2e\\$name.BVT"
  wait_brevisto_exit 60 || fail "the unattended backup $name did not end"
  expect_eq "$BV_EXIT" 0 "exit code of the backup $name"
}

# New mail in the inbox: the next backup holds a different Posteingang.dbx.
new_mail() {
  local inbox
  inbox=$(find "$(store_dir)" -maxdepth 1 -iname 'Posteingang.dbx' -print -quit)
  [ -n "$inbox" ] || fail "no Posteingang.dbx in the identity"
  head -c 4096 /dev/urandom >>"$inbox"
}

# Windows Vista with Windows Mail installed; its store root C:\e2e\WinMail\ holds "Local Folders".
prepare_windows_mail() {
  windows_version vista
  local ver
  ver=$(wine cmd /c ver 2>/dev/null | tr -d '\r')
  expect_contains "$ver" "6.0" "Windows version of the prefix"
  STORE_ROOT=$(test_dir WinMail)
  mkdir -p "$STORE_ROOT/Local Folders/Inbox"
  reg_import <<'EOF'
[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows Mail]
"InstallRoot"="C:\\Programme\\Windows Mail"

[HKEY_CURRENT_USER\Software\Microsoft\Windows Mail]
"Store Root"="C:\\e2e\\WinMail\\"
EOF
}

# The full backup and its updates, then the program on Windows Vista with the dialog open.
backups_and_dialog() {  # number of updates
  make_identity --mail-mb 1
  use_backup_folder
  unattended_backup Voll
  local i
  for ((i = 1; i <= $1; i++)); do
    sleep 1
    new_mail
    unattended_backup "Update$i" --update
  done
  FULL=$(cd "$BAK" && ls -- *.bvq | grep -v '^UPD_' | head -1)
  [ -n "$FULL" ] || fail "no full backup in $BAK: $(ls "$BAK")"
  prepare_windows_mail
  start_brevisto
  wait_main
  drive wmcommand "$MAIN" "$(transfer_command_id)"
  drive wait "$TRANSFER" 10000 >/dev/null || fail "the transfer dialog did not open"
}

t_selected_is() { drive state "$TRANSFER" "$T_BACKUPS" 2>/dev/null | grep -q "selected=$1"; }
t_enabled() { drive state "$TRANSFER" "$1" | grep -q 'enabled=1'; }
# A host path for a Windows path on drive C.
host_path() { printf '%s/drive_c/%s' "$WINEPREFIX" "$(printf '%s' "${1#C:\\}" | tr '\\' '/')"; }

test_transfer_chain_into_windows_mail() {
  backups_and_dialog 2
  expect_eq "$(drive text "$TRANSFER" "$T_PROGRAM")" "Gefundenes E-Mail-Programm: Windows Mail" "mail program"
  expect_eq "$(drive text "$TRANSFER" "$T_SETTINGS_TEXT")" \
    "Einige Einstellungen können direkt nach Windows (Live) Mail übertragen werden." "settings explanation"
  local items
  items=$(drive items "$TRANSFER" "$T_BACKUPS")
  log "backups: $(printf '%s' "$items" | tr '\n' ' ')"
  expect_eq "$(printf '%s\n' "$items" | wc -l)" 3 "backups in the list"
  local full_index last_update
  full_index=$(printf '%s\n' "$items" | grep -vn '^UPD_' | head -1 | cut -d: -f1)
  full_index=$((full_index - 1))
  # The full backup is preselected; the password is needed for it.
  poll 5 t_selected_is "$full_index" || fail "the full backup was not preselected"
  t_enabled "$T_PASSWORD" || fail "the password field is disabled for an encrypted backup"
  local i
  for i in 0 1 2 3 4 5 6 7; do
    drive state "$TRANSFER" "$(t_step $i)" | grep -q 'enabled=1 checked=1' || fail "step box $i not ticked and enabled"
  done
  screenshot transfer-opened
  check_clipping "$TRANSFER"

  # The last update: its information box, then the list switches to its full backup.
  last_update=$(cd "$BAK" && ls -t -- UPD_*.bvq | head -1)
  last_update=${last_update%.bvq}
  drive select "$TRANSFER" "$T_BACKUPS" "$last_update"
  local out
  out=$(drive answer OK 8000 'aktualisierte Update der Identität Hauptidentität') || fail "no information box for the update"
  expect_contains "$out" "${FULL}" "the full backup named in the information box"
  expect_contains "$out" $'Dies ist das \\r\\r2. aktualisierte Update' "the update's counter"
  poll 5 t_selected_is "$full_index" || fail "the list did not switch to the full backup"
  expect_contains "$(drive text "$TRANSFER" "$T_DATE")" "vom " "date label"
  if drive msgbox 500 >/dev/null 2>&1; then fail "a second message appeared after switching to the full backup"; fi

  expect_contains "$(drive text "$TRANSFER" "$T_TARGET")" 'Desktop\Brevisto-Daten\' "proposed target folder"
  # Another target folder, typed and left: it is made on request.
  local target='C:\e2e\Ziel\'
  drive focus "$TRANSFER" "$T_TARGET"
  drive settext "$TRANSFER" "$T_TARGET" 'C:\e2e\Ziel'
  # Moving the focus waits until the field has been left, that is until the question is
  # answered: in the background.
  drive focus "$TRANSFER" "$T_PASSWORD" &
  local focus_pid=$!
  out=$(drive answer Ja 5000 'Der angegebene Ordner existiert nicht!') || fail "no question for the missing target folder"
  expect_eq "$out" $'Brevisto\nDer angegebene Ordner existiert nicht!\\rSoll er angelegt werden?' "question"
  wait "$focus_pid" || fail "the focus did not move"
  poll 5 test -d "$(host_path "$target")" || fail "the target folder was not made"
  expect_eq "$(drive text "$TRANSFER" "$T_TARGET")" "$target" "target folder with its backslash"
  drive settext "$TRANSFER" "$T_PASSWORD" "$TRANSFER_PASSWORD_TEXT"
  poll 5 t_enabled "$T_RUN" || fail "Entpacken is disabled"
  drive click "$TRANSFER" "$T_RUN"

  # The run's questions and messages up to its closing message.
  local messages='' done=0 n
  for ((n = 0; n < 12 && !done; n++)); do
    out=$(drive msgbox 60000) || fail "the run ended without its closing message; messages: $messages"
    messages="$messages"$'\n'"$out"
    case "$out" in
      # Each update of the chain brings the accounts again: they replace the earlier ones.
      *'Es sind bereits Kontoinformationen vorhanden.'*) drive answer Ja 2000 >/dev/null ;;
      *'Möchten Sie den Ordner mit den extrahierten Mailordnern und dem Adressbuch anzeigen lassen?'*)
        drive answer Nein 2000 >/dev/null ;;
      *'Der Export der Daten ist abgeschlossen.'*) drive answer OK 2000 >/dev/null ;;
      *'Das Übertragen und Entpacken der Daten wurde durchgeführt.'*)
        expect_eq "$out" $'Brevisto\nDas Übertragen und Entpacken der Daten wurde durchgeführt.' "closing message"
        drive answer OK 2000 >/dev/null
        done=1 ;;
      *) fail "unexpected message during the run: $out" ;;
    esac
  done
  log "messages:$messages"
  [ $done = 1 ] || fail "no closing message; messages: $messages"
  expect_contains "$messages" "Der Export der Daten ist abgeschlossen." "the export message"
  # A note follows only for IMAP and news accounts; whatever comes is answered.
  while out=$(drive msgbox 1500 2>/dev/null); do
    log "after the run: $out"
    drive answer OK 2000 >/dev/null || break
  done

  # Accounts: .oeaccount files below the store root.
  local accounts
  accounts=$(find "$STORE_ROOT" -name '*.oeaccount' | sed "s|^$STORE_ROOT/||")
  log "account files: $(printf '%s' "$accounts" | tr '\n' ' ')"
  [ -n "$accounts" ] || fail "no account files below the store root"
  # Settings: signatures, rules and blocked senders under Windows Mail's key.
  local key='HKCU\Software\Microsoft\Windows Mail'
  drive reg "$key\\signatures" >"$E2E_RUN/signatures.txt" 2>&1 || fail "no signatures key: $(cat "$E2E_RUN/signatures.txt")"
  drive reg "$key\\Rules\\Mail" >"$E2E_RUN/rules.txt" 2>&1 || fail "no rules key: $(cat "$E2E_RUN/rules.txt")"
  # Stationery and dictionaries where the program looks for them.
  local stationery dictionaries
  stationery=$(find "$WINEPREFIX/drive_c/users" -path '*Microsoft Shared/Stationery/*' -type f | wc -l)
  [ "$stationery" -gt 0 ] || fail "no stationery files"
  dictionaries=$(find "$STORE_ROOT" -maxdepth 1 -iname '*.dic' | wc -l)
  [ "$dictionaries" -gt 0 ] || fail "no user dictionaries in the store root"
  [ -f "$STORE_ROOT/UserDictionary.lex" ] || fail "no UserDictionary.lex"
  # Mail folders and address book in the target folder, the inbox from the last update.
  local unpacked
  unpacked=$(host_path "$target")
  ls "$unpacked"/*.dbx >/dev/null 2>&1 || fail "no .dbx files in $target"
  ls "$unpacked"/*.wab >/dev/null 2>&1 || fail "no .wab file in $target"
  cmp -s "$unpacked/Posteingang.dbx" "$(find "$(store_dir)" -maxdepth 1 -iname 'Posteingang.dbx' -print -quit)" \
    || fail "the unpacked inbox is not the one of the last update"
  # The identity has an IMAP and a news account: their note lies beside the mail folders.
  [ -f "$unpacked/_Wichtig - Bitte lesen_.htm" ] || fail "no note on the converted IMAP and news accounts"
  expect_contains "$(drive text "$TRANSFER" "$T_STATUS")" " Dateien entpackt." "status line"
  screenshot transfer-done
  check_clipping "$TRANSFER"
  drive press "$TRANSFER" "Schließen"
  drive gone "$TRANSFER" 5000 || fail "the dialog did not close"
  wait_main 3000
}

test_transfer_wrong_password_changes_nothing() {
  backups_and_dialog 0
  local target
  target=$(drive text "$TRANSFER" "$T_TARGET")
  drive settext "$TRANSFER" "$T_PASSWORD" "falsch"
  poll 5 t_enabled "$T_RUN" || fail "Entpacken is disabled"
  drive click "$TRANSFER" "$T_RUN"
  local out
  out=$(drive answer OK 10000) || fail "no message for the wrong password"
  expect_eq "$out" $'Brevisto\nDas angegebene Passwort ist nicht korrekt!\\rDas Backup konnte nicht entschlüsselt werden!' "message"
  if drive msgbox 1000 >/dev/null 2>&1; then fail "another message after the wrong password"; fi
  [ ! -e "$(host_path "$target")" ] || fail "the target folder was created"
  [ -z "$(find "$STORE_ROOT" -name '*.oeaccount')" ] || fail "account files were written"
  local rc=0
  drive reg 'HKCU\Software\Microsoft\Windows Mail\signatures' >/dev/null 2>&1 || rc=$?
  [ $rc -ne 0 ] || fail "signatures were written"
  screenshot transfer-wrong-password
  drive exists "$TRANSFER" || fail "the dialog closed"
}

# No mail program and an empty backup folder: only the red notices, nothing to start.
test_transfer_without_mail_program_or_backups() {
  use_backup_folder
  start_brevisto
  wait_main
  drive wmcommand "$MAIN" "$(transfer_command_id)"
  drive wait "$TRANSFER" 10000 >/dev/null || fail "the transfer dialog did not open"
  expect_eq "$(drive text "$TRANSFER" "$T_PROGRAM")" "Gefundenes E-Mail-Programm: Keines von beiden!" "mail program"
  expect_eq "$(drive text "$TRANSFER" "$T_SETTINGS_TEXT")" \
    "Es konnte weder Windows Mail noch Windows Live Mail gefunden werden!" "notice"
  drive state "$TRANSFER" "$(ctl IDC_TRANSFER_NO_BACKUP)" | grep -q 'visible=1' || fail "the no-backup label is hidden"
  expect_eq "$(drive text "$TRANSFER" "$(ctl IDC_TRANSFER_NO_BACKUP)")" "Keine Backupdatei gefunden!" "no-backup label"
  local i
  for i in 0 1 2 3 4 5 6 7; do
    drive state "$TRANSFER" "$(t_step $i)" | grep -q 'enabled=0 checked=1' || fail "step box $i not disabled and ticked"
  done
  t_enabled "$T_RUN" && fail "Entpacken is enabled without a backup"
  t_enabled "$T_PASSWORD" && fail "the password field is enabled without a backup"
  screenshot transfer-empty
  check_clipping "$TRANSFER"
}
