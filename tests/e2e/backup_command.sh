# Command line and the checks that precede every backup: parameter file, Windows
# version, Outlook Express version, a running Outlook Express.

# Presses "Backup anlegen" (the button, else the menu entry).
start_backup_command() {
  if drive state "$MAIN" "class=Button;text=Backup anlegen" >/dev/null 2>&1; then
    drive click "$MAIN" "class=Button;text=Backup anlegen"
  else
    need_menu "Backup>anlegen..."
    drive menucmd "$MAIN" "Backup>anlegen..."
  fi
}

need_backup_command() {
  drive state "$MAIN" "class=Button;text=Backup anlegen" >/dev/null 2>&1 \
    || drive menuhas "$MAIN" "Backup>anlegen..." 2>/dev/null \
    || fail "the main window has neither the button nor the menu entry to start a backup"
}

test_missing_parameter_file() {
  start_brevisto 'C:\fehlt\Nacht.BVT'
  local out
  out=$(drive answer OK 10000 'Die angegebene Taskplaner-Datei wurde nicht gefunden!') ||
    fail "no message about the missing parameter file"
  log "$out"
  expect_eq "$(printf '%s\n' "$out" | sed -n 1p)" "Brevisto" "caption"
  expect_eq "$(printf '%s\n' "$out" | sed -n 2p)" \
    'Die angegebene Taskplaner-Datei wurde nicht gefunden!\rDas automatische Backup konnte nicht durchgeführt werden.\r\rParameter: C:\fehlt\Nacht.BVT' \
    "message text"
  # The program stays open as in interactive use.
  wait_main 5000
  if wait_brevisto_exit 1; then fail "the program ended"; fi
}

test_outlook_express_not_installed() {
  start_brevisto
  wait_main
  need_backup_command
  start_backup_command
  local out
  out=$(drive answer OK 8000) || fail "no message"
  log "$out"
  expect_eq "$out" $'Brevisto\nDas E-Mail-Programm "Microsoft® Outlook Express" ist nicht auf Ihrem Rechner installiert!' "message"
  wait_main 3000
}

test_outlook_express_version_4() {
  oe_version '4,72,3110,1'
  start_brevisto
  wait_main
  need_backup_command
  start_backup_command
  local out
  out=$(drive answer OK 8000) || fail "no message"
  expect_eq "$out" $'Brevisto\nVermutlich nutzen Sie "Microsoft® Outlook Express" in der Version 4.0.\\rDiese Version wird jedoch nicht vom Programm unterstützt.' "message"
  wait_main 3000
}

test_outlook_express_version_missing() {
  oe_version ''
  start_brevisto
  wait_main
  need_backup_command
  start_backup_command
  drive answer OK 8000 'in der Version 4.0.' || fail "no version-4 message without \"Current\""
  wait_main 3000
}

refusal() {  # wine version
  windows_version "$1"
  oe_version '6,0,2900,5512'
  start_brevisto
  wait_main
  need_backup_command
  start_backup_command
  local out
  out=$(drive msgbox 8000) || fail "no message on $1"
  screenshot "refusal-$1"
  # No: Yes would open a browser.
  drive answer Nein 3000 >/dev/null
  expect_eq "$out" $'Brevisto\nDie Software Brevisto ist nicht für das Mailprogramm "Windows Mail" konzipiert. Für "Windows Mail" benötigen Sie die Software Velmora - Korvanta.\\r\\rMöchten Sie die Produkthomepage von Velmora besuchen?' "message"
  wait_main 3000
}
test_windows_7_refused() { refusal win7; }
test_windows_vista_refused() { refusal vista; }

# ------------------------------------------------------------------ a running Outlook Express

FAKE_OE_LOG=e2e/fake_oe.log
start_fake_oe() {
  mkdir -p "$WINEPREFIX/drive_c/e2e"
  cp "$E2E_BIN/fake_oe.exe" "$WINEPREFIX/drive_c/e2e/"
  wine 'C:\e2e\fake_oe.exe' "$@" --log 'C:\e2e\fake_oe.log' >/dev/null 2>&1 &
  FAKE_PID=$!
  drive wait "class=Outlook Express Browser Class" 10000 >/dev/null || fail "fake_oe did not start"
}
fake_oe_log() { tr -d '\r' <"$WINEPREFIX/drive_c/$FAKE_OE_LOG" 2>/dev/null || true; }

test_outlook_express_running_asks() {
  oe_version '6,0,2900,5512'
  start_fake_oe
  start_brevisto
  wait_main
  need_backup_command
  start_backup_command
  local out
  out=$(drive msgbox 8000) || fail "no question about the running Outlook Express"
  screenshot oe-running-question
  drive answer Nein 3000 >/dev/null
  expect_eq "$out" $'Brevisto\nBeenden Sie bitte das Programm "Microsoft® Outlook Express",\\rErst dann können die aktuellen Daten gespeichert bzw. eingespielt werden!\\r\\rMöchten Sie die Einstellungen aufrufen, um Brevisto zukünftig automatisch schließen zu lassen?' "question"
  # No backup: the main window stays and Outlook Express was not asked to close.
  wait_main 3000
  drive exists "class=Outlook Express Browser Class" || fail "Outlook Express was closed"
  case "$(fake_oe_log)" in *close*) fail "WM_CLOSE sent although OEautoClose is off" ;; esac
}

test_outlook_express_running_yes_opens_preferences() {
  oe_version '6,0,2900,5512'
  start_fake_oe
  start_brevisto
  wait_main
  need_backup_command
  start_backup_command
  drive answer Ja 8000 'Beenden Sie bitte das Programm' >/dev/null || fail "no question"
  drive wait "title=Brevisto - Einstellungen" 5000 >/dev/null || fail "the preferences dialog did not open"
  drive tabs "title=Brevisto - Einstellungen" | grep -q '^\*Outlook Express$' || fail "not opened on the tab Outlook Express"
  screenshot preferences-from-oe-question
  drive press "title=Brevisto - Einstellungen" Abbrechen
  drive gone "title=Brevisto - Einstellungen" 3000 || fail "preferences did not close"
}

test_outlook_express_auto_close() {
  oe_version '6,0,2900,5512'
  reg_import <<EOF
[$SETTINGS_KEY]
"OEautoClose"=dword:00000001
EOF
  start_fake_oe --close accept
  start_brevisto
  wait_main
  need_backup_command
  start_backup_command
  drive gone "class=Outlook Express Browser Class" 8000 || fail "Outlook Express was not closed"
  expect_contains "$(fake_oe_log)" close "fake_oe log"
  # No message; the backup goes on (the main window hides for the wizard).
  if out=$(drive msgbox 1500 2>/dev/null); then
    case "$out" in
      *"Es konnten keine Identitäten ermittelt werden"*) drive answer OK 2000 >/dev/null ;;
      *) fail "unexpected message: $out" ;;
    esac
  fi
  drive gone "$MAIN" 5000 || fail "the main window stays: the backup wizard did not take over"
  screenshot wizard-after-oe-closed
}

# Outlook Express does not answer the close request within 20 s and a prompt window
# "Outlook Express" stays: the backup must not start.
test_outlook_express_cannot_be_closed() {
  oe_version '6,0,2900,5512'
  reg_import <<EOF
[$SETTINGS_KEY]
"OEautoClose"=dword:00000001
EOF
  start_fake_oe --close hang:24000 --prompt stays
  drive wait "title=Outlook Express" 5000 >/dev/null || fail "fake_oe prompt missing"
  start_brevisto
  wait_main
  need_backup_command
  start_backup_command
  local out
  out=$(drive answer OK 30000) || fail "no message after the close time-out"
  expect_eq "$out" $'Brevisto\nOutlook Express kann nicht automatisch beendet werden, da z.B. noch E-Mails gesendet werden müssen oder gerade die Mailkonten abgefragt werden.\\rBitte probieren Sie die Aktion in wenigen Sekunden erneut.' "message"
  expect_contains "$(fake_oe_log)" "key N" "the prompt got the key N"
  wait_main 3000
}
