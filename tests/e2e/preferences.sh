# Preferences dialog: every setting written to the registry on OK and read back, the
# association of .bvq, the defaults, Cancel.

PREFS='title=Brevisto - Einstellungen'

open_preferences() {
  start_brevisto
  wait_main
  need_menu "Programm>Einstellungen..."
  drive menucmd "$MAIN" "Programm>Einstellungen..."
  drive wait "$PREFS" 5000 >/dev/null || fail "the preferences dialog did not open"
}

setting() { drive reg "$SETTINGS" "$1" 2>/dev/null || echo "<missing>"; }

# The visible control K of a class on the current tab.
vis() { echo "class=$1;visible;n=${2:-1}"; }

test_preferences_defaults() {
  open_preferences
  local tabs
  tabs=$(drive tabs "$PREFS")
  expect_eq "$tabs" $'*Ordner\n Backups\n Fenster\n Outlook Express\n Diverses' "tabs"
  screenshot prefs-ordner
  check_clipping "$PREFS"
  expect_contains "$(drive text "$PREFS" "$(vis Edit 2)")" 'bvq-backups\' "backup folder default"
  drive tab "$PREFS" Backups
  screenshot prefs-backups
  check_clipping "$PREFS"
  expect_eq "$(drive text "$PREFS" "$(vis Edit 1)")" 10 "maximum backups default"
  expect_contains "$(drive state "$PREFS" "class=msctls_trackbar32")" "pos=5" "compression default"
  expect_contains "$(drive state "$PREFS" "text=Backupdatei nach dem Anlegen überprüfen")" "checked=1" "verify default"
  expect_contains "$(drive state "$PREFS" "text=Backupdatei mit Passwort verschlüsseln")" "checked=0" "encrypt default"
  drive tab "$PREFS" Fenster
  screenshot prefs-fenster
  check_clipping "$PREFS"
  expect_contains "$(drive state "$PREFS" "text=Programm nach Backup beenden")" "checked=1" "noMessages default"
  expect_contains "$(drive state "$PREFS" "text=Startbildschirm unterdrücken")" "checked=0" "stopProgram default"
  drive tab "$PREFS" "Outlook Express"
  screenshot prefs-outlook-express
  check_clipping "$PREFS"
  expect_contains "$(drive state "$PREFS" "text=aber nur wenn OE automatisch geschlossen wurde")" "enabled=0" "OEautoStart2 disabled"
  drive tab "$PREFS" Diverses
  screenshot prefs-diverses
  check_clipping "$PREFS"
  expect_eq "$(drive text "$PREFS" "$(vis Edit 1)")" 30 "update period default"
  expect_contains "$(drive state "$PREFS" "$(vis ComboBox 1)")" "selected=0" "priority default"
  # Cancel writes nothing.
  drive press "$PREFS" Abbrechen
  drive gone "$PREFS" 3000 || fail "the dialog did not close on Abbrechen"
  expect_eq "$(setting maxBackups)" "<missing>" "nothing written on Abbrechen"
}

test_preferences_round_trip() {
  mkdir -p "$WINEPREFIX/drive_c/e2e/tmp" "$WINEPREFIX/drive_c/e2e/bak"
  open_preferences
  drive settext "$PREFS" "$(vis Edit 1)" 'C:\e2e\tmp'
  drive settext "$PREFS" "$(vis Edit 2)" 'C:\e2e\bak'
  drive tab "$PREFS" Backups
  drive settext "$PREFS" "$(vis Edit 1)" 7
  drive slider "$PREFS" "class=msctls_trackbar32" 8
  drive check "$PREFS" "text=Backupdatei nach dem Anlegen überprüfen" 0
  drive check "$PREFS" "text=Backupdatei mit Passwort verschlüsseln" 1
  drive tab "$PREFS" Fenster
  drive check "$PREFS" "text=Startbildschirm unterdrücken" 1
  drive check "$PREFS" "text=Programm nach Backup beenden" 0
  drive check "$PREFS" "text=Fenster minimiert in Taskleiste ablegen" 1
  drive tab "$PREFS" "Outlook Express"
  drive check "$PREFS" "text=Outlook Express beim Sichern automatisch schließen" 1
  drive check "$PREFS" "text=Outlook Express automatisch starten" 1
  expect_contains "$(drive state "$PREFS" "text=aber nur wenn OE automatisch geschlossen wurde")" "enabled=1" "OEautoStart2 enabled"
  drive check "$PREFS" "text=aber nur wenn OE automatisch geschlossen wurde" 1
  drive tab "$PREFS" Diverses
  drive settext "$PREFS" "$(vis Edit 1)" 45
  drive select "$PREFS" "$(vis ComboBox 1)" "High - hohe Rechnerleistung für das Programm"
  drive check "$PREFS" "text=Backupreport automatisch ausdrucken" 1
  drive check "$PREFS" "text=Dateiendung registrieren" 1
  screenshot prefs-diverses-changed
  drive press "$PREFS" OK
  # A folder question may come when a field is left; the folders exist, so none should.
  drive gone "$PREFS" 5000 || { drive msgbox 500 2>/dev/null; fail "the dialog did not close on OK"; }

  log "$(drive reg "$SETTINGS")"
  expect_eq "$(setting tmpFolder)" 'C:\e2e\tmp\' tmpFolder
  expect_eq "$(setting bakFolder)" 'C:\e2e\bak\' bakFolder
  expect_eq "$(setting maxBackups)" 7 maxBackups
  expect_eq "$(setting Compression)" 8 Compression
  expect_eq "$(setting testBackup)" 0 testBackup
  expect_eq "$(setting askForPassword)" 1 askForPassword
  expect_eq "$(setting stopProgram)" 1 stopProgram
  expect_eq "$(setting noMessages)" 0 noMessages
  expect_eq "$(setting Minimize)" 1 Minimize
  expect_eq "$(setting OEautoClose)" 1 OEautoClose
  expect_eq "$(setting OEautoStart)" 1 OEautoStart
  expect_eq "$(setting OEautoStart2)" 1 OEautoStart2
  expect_eq "$(setting UpdOUPeriod)" 45 UpdOUPeriod
  expect_eq "$(setting Priority)" 2 Priority
  expect_eq "$(setting OEprintAfterBackup)" 1 OEprintAfterBackup
  # The association of .bvq.
  expect_eq "$(drive reg 'HKCR\.bvq' '')" "Outlook Express Sicherung" ".bvq class"
  expect_eq "$(drive reg 'HKCR\Outlook Express Sicherung' '')" "Brevisto Sicherungsdatei" "class description"
  expect_eq "$(drive reg 'HKCR\Outlook Express Sicherung\DefaultIcon' '')" "$PROGRAM_WIN,0" "icon"
  expect_eq "$(drive reg 'HKCR\Outlook Express Sicherung\shell\open\command' '')" "$PROGRAM_WIN \"%1\"" "open command"

  # Read back: the dialog shows what was stored.
  drive menucmd "$MAIN" "Programm>Einstellungen..."
  drive wait "$PREFS" 5000 >/dev/null || fail "the preferences dialog did not open again"
  expect_eq "$(drive text "$PREFS" "$(vis Edit 1)")" 'C:\e2e\tmp\' "tmp folder shown"
  drive tab "$PREFS" Backups
  expect_eq "$(drive text "$PREFS" "$(vis Edit 1)")" 7 "maximum backups shown"
  expect_contains "$(drive state "$PREFS" "class=msctls_trackbar32")" "pos=8" "compression shown"
  expect_contains "$(drive state "$PREFS" "text=Backupdatei nach dem Anlegen überprüfen")" "checked=0" "verify shown"
  drive tab "$PREFS" Diverses
  expect_contains "$(drive state "$PREFS" "$(vis ComboBox 1)")" "selected=2" "priority shown"
  expect_contains "$(drive state "$PREFS" "text=Dateiendung registrieren")" "checked=1" "association shown"
  # Unticking removes the association again.
  drive check "$PREFS" "text=Dateiendung registrieren" 0
  drive press "$PREFS" OK
  drive gone "$PREFS" 5000 || fail "the dialog did not close on OK"
  if drive reg 'HKCR\.bvq' '' >/dev/null 2>&1; then fail ".bvq still registered after unticking"; fi
}

test_preferences_reset_notices() {
  reg_import <<EOF
[$SETTINGS_KEY]
"again_password"=dword:00000001
"again_dontdelmain"=dword:00000001
"again_bvqhandle"=dword:00000001
EOF
  open_preferences
  drive tab "$PREFS" Fenster
  drive press "$PREFS" "Hinweise einschalten"
  # Acts at once, also when the dialog is then cancelled.
  setting_is() { [ "$(setting "$1")" = "$2" ]; }
  poll 5 setting_is again_password 0 || fail "the notices were not switched on"
  drive press "$PREFS" Abbrechen
  drive gone "$PREFS" 3000 || fail "the dialog did not close"
  expect_eq "$(setting again_password)" 0 again_password
  expect_eq "$(setting again_dontdelmain)" 0 again_dontdelmain
  expect_eq "$(setting again_bvqhandle)" 0 again_bvqhandle
}
