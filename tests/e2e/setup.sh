# SETUP.EXE from a folder as it would lie on a CD: the wizard page by page, what the install
# left (files, shortcuts, registry, the uninstall entry and its information file), then the
# registered uninstaller, after which everything the install recorded is gone.

SETUP_WIN='title=Setup'
SETUP_PRODUCT='Brevisto Test'
SETUP_TARGET='C:\Programme\Daten Sicherung Ä'

# A control of SETUP.EXE by its name in resources/setup_ids.h: "id=<number>".
sid() {
  local value
  value=$(sed -n "s/^#define $1 \([0-9][0-9]*\)\$/\1/p" "$ROOT/resources/setup_ids.h")
  [ -n "$value" ] || fail "no control id $1 in resources/setup_ids.h"
  echo "id=$((value + ${2:-0}))"
}

header_is() { [ "$(drive text "$SETUP_WIN" "$(sid IDC_HEADER_TITLE)" 2>/dev/null)" = "$1" ]; }
wait_header() { poll 15 header_is "$1" || fail "the wizard did not show \"$1\" (it shows \"$(drive text "$SETUP_WIN" "$(sid IDC_HEADER_TITLE)" 2>&1)\")"; }

# The CD folder: SETUP.EXE, its script and the files the script names.
make_setup_folder() {
  [ -f "$E2E_BIN/SETUP.EXE" ] || fail "SETUP.EXE is not built"
  CD=$(test_dir cd)
  cp "$E2E_BIN/SETUP.EXE" "$E2E_BIN/brevisto.exe" "$CD/"
  printf 'Brevisto Test\r\nLies mich.\r\n' >"$CD/ReadMe.txt"
  printf 'Lizenzvertrag\r\n\r\n1. Sie dürfen das Programm benutzen.\r\n' | iconv -f UTF-8 -t CP1252 >"$CD/Lizenz.txt"
  iconv -f UTF-8 -t CP1252 <<'EOS' | sed 's/$/\r/' >"$CD/Setup.in"
[InstallInfo]
ApplicationName=Brevisto Test
DefaultTargetFolder=Brevisto
DefaultUnistallFileName=BrvTestUninst.exe
AppExeName=brevisto.exe
IconFile=SETUP.EXE
UninstallName=Brevisto Test

[ProgFiles]
F1=brevisto.exe
F2=ReadMe.txt
F3=Lizenz.txt

[Options]
LicenceFile=Lizenz.txt

[CreateRegKeys]
R1=HKCU\Software\BrevistoTest;Ordner=%INSTDIR%

[AddLink]
DesktopLink=%ProgDir%brevisto.exe,Brevisto Test
ProgramGroup=Brevisto Test

[ProgramGroupLink]
L1=%ProgDir%brevisto.exe,Brevisto Test
L2=%ProgDir%ReadMe.txt,Liesmich
L3=UNINSTALL,Brevisto Test entfernen
EOS
}

# Every file and folder of drive C outside the test's own folder and the temporary ones.
file_listing() {
  (cd "$WINEPREFIX/drive_c" && find . -path ./e2e -prune -o -print) \
    | grep -viE '/(temp|tmp)(/|$)|/Temporary Internet Files|/History|/Cookies|\.log$' | sort
}

# The software keys of both hives as regedit exports them, without the times Wine keeps.
registry_listing() {
  local out=$E2E_RUN/reg-$1
  wine regedit /e "C:\\e2e\\hklm.reg" 'HKEY_LOCAL_MACHINE\Software' >/dev/null 2>&1 || true
  wine regedit /e "C:\\e2e\\hkcu.reg" 'HKEY_CURRENT_USER\Software' >/dev/null 2>&1 || true
  local f
  for f in hklm hkcu; do iconv -f UTF-16LE -t UTF-8 "$WINEPREFIX/drive_c/e2e/$f.reg" 2>/dev/null || true; done \
    | tr -d '\r' | grep -av '^#time=' | grep -av '^$' \
    | grep -aviE 'ShellNoRoam|MountPoints|RecentDocs|Explorer\\(UserAssist|SessionInfo)|MUICache|Software\\Wine\\|"(LastWriteTime|InstallDate)"' \
    >"$out.full" || true
  cp "$out.full" "$out"
}

test_setup_install_then_uninstall() {
  make_setup_folder
  file_listing >"$E2E_RUN/files-before"
  registry_listing before

  wine "C:\\e2e\\cd\\SETUP.EXE" >>"$E2E_RUN/setup.log" 2>&1 &
  drive wait "$SETUP_WIN" 15000 >/dev/null || fail "the wizard did not appear"
  local next back cancel
  next=$(sid IDC_NEXT); back=$(sid IDC_BACK); cancel='id=2'
  wait_header 'Willkommen'
  expect_eq "$(drive text "$SETUP_WIN" "$(sid IDC_WELCOME_NAME)")" "$SETUP_PRODUCT" "welcome name"
  expect_eq "$(drive text "$SETUP_WIN" "$(sid IDC_BOTTOM_LABEL)")" " $SETUP_PRODUCT " "bottom label"
  screenshot setup-0-willkommen; check_clipping "$SETUP_WIN"

  drive click "$SETUP_WIN" "$next"
  wait_header 'Lizenzvereinbarung'
  expect_eq "$(drive text "$SETUP_WIN" "$next")" '&Ja' "licence Next"
  expect_eq "$(drive text "$SETUP_WIN" "$cancel")" '&Nein' "licence Cancel"
  expect_contains "$(drive text "$SETUP_WIN" "$(sid IDC_LICENCE_TEXT)")" 'Sie dürfen das Programm benutzen.' "licence text"
  screenshot setup-1-lizenz; check_clipping "$SETUP_WIN"

  drive click "$SETUP_WIN" "$next"
  wait_header 'Zielpfad wählen'
  local proposed
  proposed=$(drive text "$SETUP_WIN" "$(sid IDC_TARGET_FOLDER)")
  expect_contains "$proposed" '\Brevisto' "proposed folder"
  drive settext "$SETUP_WIN" "$(sid IDC_TARGET_FOLDER)" "$SETUP_TARGET"
  screenshot setup-2-zielpfad; check_clipping "$SETUP_WIN"

  drive click "$SETUP_WIN" "$next"
  wait_header 'Installationsoptionen'
  [ -d "$WINEPREFIX/drive_c/Programme/Daten Sicherung Ä" ] || fail "the options page did not create the folder"
  drive state "$SETUP_WIN" "$(sid IDC_OPTION_DESKTOP)" | grep -q 'checked=1' || fail "desktop box not ticked"
  screenshot setup-3-optionen; check_clipping "$SETUP_WIN"

  drive click "$SETUP_WIN" "$next"
  wait_header 'Programmordner im Startmenü wählen'
  expect_eq "$(drive text "$SETUP_WIN" "$(sid IDC_GROUP_FOLDER)")" "$SETUP_PRODUCT" "program folder"
  screenshot setup-4-programmordner; check_clipping "$SETUP_WIN"

  drive click "$SETUP_WIN" "$next"
  wait_header 'Installation kann durchgeführt werden'
  expect_eq "$(drive text "$SETUP_WIN" "$next")" 'Fertig stellen' "ready Next"
  screenshot setup-5-bereit; check_clipping "$SETUP_WIN"

  drive click "$SETUP_WIN" "$next"
  wait_header 'Installation abgeschlossen'
  expect_eq "$(drive text "$SETUP_WIN" "$next")" 'Schließen' "done Next"
  drive state "$SETUP_WIN" "$back" | grep -q 'enabled=0' || fail "Back enabled after the run"
  drive state "$SETUP_WIN" "$(sid IDC_DONE_README)" | grep -q 'checked=1' || fail "readme box not ticked"
  drive state "$SETUP_WIN" "$(sid IDC_DONE_START)" | grep -q 'checked=1' || fail "start box not ticked"
  screenshot setup-7-abgeschlossen; check_clipping "$SETUP_WIN"
  drive check "$SETUP_WIN" "$(sid IDC_DONE_README)" 0
  drive click "$SETUP_WIN" "$next"
  drive gone "$SETUP_WIN" 10000 >/dev/null || fail "the wizard did not close"
  # The start box starts the installed program.
  drive wait "$MAIN" 20000 >/dev/null || fail "the installed program did not start"
  drive close "$MAIN"
  drive gone "$MAIN" 10000 >/dev/null || fail "the installed program did not end"
  log "installed and started"

  # What the install left.
  local inst="$WINEPREFIX/drive_c/Programme/Daten Sicherung Ä"
  for f in brevisto.exe ReadMe.txt Lizenz.txt; do [ -f "$inst/$f" ] || fail "not installed: $f"; done
  cmp "$inst/brevisto.exe" "$CD/brevisto.exe" || fail "brevisto.exe differs"
  expect_eq "$(drive reg 'HKCU\Software\BrevistoTest' Ordner)" "$SETUP_TARGET" "created value"
  expect_eq "$(drive reg 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\brevisto.exe' '')" \
    "$SETUP_TARGET\\brevisto.exe" "App Paths"
  local entry='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\BrevistoTest'
  expect_eq "$(drive reg "$entry" DisplayName)" "$SETUP_PRODUCT" "uninstall entry name"
  local uninstall
  uninstall=$(drive reg "$entry" UninstallString)
  expect_contains "$uninstall" ' /UnInst:"' "uninstall command"
  local uninstaller=${uninstall%% /UnInst:*} info=${uninstall#* /UnInst:}
  info=${info//\"/}
  local info_host="$WINEPREFIX/drive_c/${info#C:\\}"
  info_host=${info_host//\\//}
  info_host=$(find "$(dirname "$info_host")" -maxdepth 1 -iname "$(basename "$info_host")" -print -quit)
  [ -f "$info_host" ] || fail "no information file $info"
  [ "$(stat -c %A "$info_host" | cut -c3)" = - ] || fail "the information file is not read-only"
  local info_text
  info_text=$(iconv -f CP1252 -t UTF-8 <"$info_host" | tr -d '\r')
  expect_contains "$info_text" "InstPath=$SETUP_TARGET" "information file"
  expect_contains "$info_text" "ApplicationName=$SETUP_PRODUCT" "information file"
  local desktop_link group
  desktop_link=$(find "$WINEPREFIX/drive_c" -path '*/e2e' -prune -o -iname 'Brevisto Test.lnk' -ipath '*Desktop*' -print -quit)
  [ -n "$desktop_link" ] || fail "no desktop link"
  group=$(find "$WINEPREFIX/drive_c" -path '*/e2e' -prune -o -type d -name "$SETUP_PRODUCT" -ipath '*Programs*' -print -quit)
  [ -n "$group" ] || group=$(find "$WINEPREFIX/drive_c" -path '*/e2e' -prune -o -type d -name "$SETUP_PRODUCT" -ipath '*Programme*' -print -quit)
  [ -n "$group" ] || fail "no program folder in the start menu"
  for l in 'Brevisto Test.lnk' 'Liesmich.lnk' 'Brevisto Test entfernen.lnk'; do
    [ -f "$group/$l" ] || fail "no link $l in the program folder"
  done
  local win_link="C:\\${desktop_link#"$WINEPREFIX/drive_c/"}"
  win_link=${win_link//\//\\}
  expect_contains "$(drive shortcut "$win_link")" "$SETUP_TARGET\\brevisto.exe" "desktop link target"
  local win_uninst_link="C:\\${group#"$WINEPREFIX/drive_c/"}\\Brevisto Test entfernen.lnk"
  win_uninst_link=${win_uninst_link//\//\\}
  expect_contains "$(drive shortcut "$win_uninst_link")" "/UnInst:" "uninstall link"

  # The listings see what the install did.
  file_listing >"$E2E_RUN/files-during"
  grep -q 'Daten Sicherung Ä/brevisto.exe' "$E2E_RUN/files-during" || fail "the file listing misses the install"
  registry_listing during
  grep -q 'BrevistoTest' "$E2E_RUN/reg-during" || fail "the registry listing misses the install"

  # The registered uninstaller.
  wine "$uninstaller" "/UnInst:$info" >>"$E2E_RUN/uninstall.log" 2>&1 &
  drive wait "$SETUP_WIN" 15000 >/dev/null || fail "the uninstaller did not appear"
  poll 10 sh -c "[ -n \"\$(wine '$E2E_BIN/bvdrive.exe' text '$SETUP_WIN' '$(sid IDC_UNINSTALL_TEXT)' 2>/dev/null)\" ]" || true
  expect_contains "$(drive text "$SETUP_WIN" "$(sid IDC_UNINSTALL_TEXT)")" \
    "Es soll das Produkt $SETUP_PRODUCT deinstalliert werden" "uninstaller text"
  expect_eq "$(drive text "$SETUP_WIN" "$(sid IDC_HEADER_TITLE)")" 'Lizenzvereinbarung' "uninstaller header"
  screenshot setup-uninstall; check_clipping "$SETUP_WIN"
  drive click "$SETUP_WIN" "$(sid IDC_UNINSTALL_RUN)"
  expect_msgbox OK "Stellen Sie sicher, dass Sie $SETUP_PRODUCT auf Ihrem Rechner beendet haben." >/dev/null
  drive msgbox 8000 >/dev/null || fail "no data question"
  screenshot setup-uninstall-steps
  expect_msgbox Ja 'Möchten Sie auch die von der Anwendung' >/dev/null
  drive msgbox 15000 >/dev/null || fail "no restart question"
  screenshot setup-uninstall-done
  local out
  out=$(drive answer Nein 15000 'Zum Abschluss der Deinstallation muss Windows neu gestartet werden.') ||
    fail "no restart question"
  drive gone "$SETUP_WIN" 10000 >/dev/null || fail "the uninstaller did not close"
  log "uninstaller closed"

  # Everything recorded is gone; the uninstaller and its information file go at the restart.
  file_listing >"$E2E_RUN/files-after"
  registry_listing after
  diff "$E2E_RUN/files-before" "$E2E_RUN/files-after" >"$E2E_RUN/files.diff" || true
  diff "$E2E_RUN/reg-before" "$E2E_RUN/reg-after" >"$E2E_RUN/reg.diff" || true
  local left
  left=$(grep '^>' "$E2E_RUN/files.diff" | grep -viE 'BrvTestUninst|_Uninstall\.in|wininit\.ini' || true)
  [ -z "$left" ] || fail "files left after the uninstall:"$'\n'"$left"
  left=$(grep '^[<>]' "$E2E_RUN/reg.diff" | grep -viE 'PendingFileRenameOperations|^[<>] *$|^[<>] *"[^"]*"=hex\(7\)|^[<>] *[0-9a-f,\\ ]*$' || true)
  [ -z "$left" ] || fail "registry changed by install and uninstall:"$'\n'"$left"
}

test_setup_cancel_on_folder_page() {
  make_setup_folder
  file_listing >"$E2E_RUN/files-before"
  registry_listing before
  wine "C:\\e2e\\cd\\SETUP.EXE" >>"$E2E_RUN/setup.log" 2>&1 &
  drive wait "$SETUP_WIN" 15000 >/dev/null || fail "the wizard did not appear"
  wait_header 'Willkommen'
  drive click "$SETUP_WIN" "$(sid IDC_NEXT)"
  wait_header 'Lizenzvereinbarung'
  drive click "$SETUP_WIN" "$(sid IDC_NEXT)"
  wait_header 'Zielpfad wählen'
  drive click "$SETUP_WIN" 'id=2'
  expect_msgbox Nein 'Möchten Sie Setup wirklich beenden ohne die Installation abzuschließen?' >/dev/null
  header_is 'Zielpfad wählen' || fail "No closed the wizard"
  drive click "$SETUP_WIN" 'id=2'
  expect_msgbox Ja 'Damit beenden Sie Setup, ohne das Programm zu installieren.' >/dev/null
  drive gone "$SETUP_WIN" 10000 >/dev/null || fail "the wizard did not close"
  file_listing >"$E2E_RUN/files-after"
  registry_listing after
  diff "$E2E_RUN/files-before" "$E2E_RUN/files-after" || fail "the cancelled install left files"
  diff "$E2E_RUN/reg-before" "$E2E_RUN/reg-after" || fail "the cancelled install changed the registry"
}

test_setup_refuses_its_own_folder() {
  make_setup_folder
  wine "C:\\e2e\\cd\\SETUP.EXE" >>"$E2E_RUN/setup.log" 2>&1 &
  drive wait "$SETUP_WIN" 15000 >/dev/null || fail "the wizard did not appear"
  wait_header 'Willkommen'
  drive click "$SETUP_WIN" "$(sid IDC_NEXT)"
  wait_header 'Lizenzvereinbarung'
  drive click "$SETUP_WIN" "$(sid IDC_NEXT)"
  wait_header 'Zielpfad wählen'
  local field
  field=$(sid IDC_TARGET_FOLDER)
  for folder in 'C:\e2e\cd' 'C:\'; do
    drive focus "$SETUP_WIN" "$field" >/dev/null
    drive settext "$SETUP_WIN" "$field" "$folder"
    drive click "$SETUP_WIN" "$(sid IDC_NEXT)"
    expect_msgbox OK "Sie können $SETUP_PRODUCT nicht in diesen Ordner installieren, da sich in diesem Ordner die Installationsdateien befinden!" >/dev/null
    sleep 0.5
    header_is 'Zielpfad wählen' || fail "the wizard left the folder page with $folder"
  done
  # Enter in the field checks it as leaving it does.
  drive focus "$SETUP_WIN" "$field" >/dev/null
  drive settext "$SETUP_WIN" "$field" 'C:\e2e\cd'
  drive key "$SETUP_WIN" RETURN
  expect_msgbox OK "Sie können $SETUP_PRODUCT nicht in diesen Ordner installieren" >/dev/null
  sleep 0.5
  header_is 'Zielpfad wählen' || fail "Enter left the folder page"
  drive focus "$SETUP_WIN" "$field" >/dev/null
  drive settext "$SETUP_WIN" "$field" ''
  drive click "$SETUP_WIN" "$(sid IDC_NEXT)"
  expect_msgbox OK 'Der Zielordner ist ungültig!' >/dev/null
  wait_header 'Zielpfad wählen'
}

test_setup_without_script() {
  [ -f "$E2E_BIN/SETUP.EXE" ] || fail "SETUP.EXE is not built"
  local cd
  cd=$(test_dir leer)
  cp "$E2E_BIN/SETUP.EXE" "$cd/"
  wine "C:\\e2e\\leer\\SETUP.EXE" >>"$E2E_RUN/setup.log" 2>&1 &
  local pid=$!
  expect_msgbox OK 'Datei Setup.in konnte nicht geöffnet werden. Stellen Sie sicher, dass sich alle Installationsdateien in einem Ordner befinden!' >/dev/null
  local i
  for ((i = 0; i < 100; i++)); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  ! kill -0 $pid 2>/dev/null || fail "SETUP.EXE did not end"
  # Under another name and without arguments the program ends at once, without a window.
  cp "$E2E_BIN/SETUP.EXE" "$cd/Entferne.exe"
  timeout 20 wine "C:\\e2e\\leer\\Entferne.exe" >>"$E2E_RUN/setup.log" 2>&1 || fail "the copy did not end by itself"
}

# The run page is seen while the run asks whether a present file may be overwritten.
test_setup_run_page() {
  make_setup_folder
  printf 'Notiz\r\n' >"$CD/Notiz.txt"
  local ue
  ue=$(printf 'Ü' | iconv -f UTF-8 -t CP1252)
  sed -i "s/^F3=Lizenz.txt\r\$/F3=Lizenz.txt\r\nF4=Notiz.txt;OVERWRITEWARN=Die Datei %s ist schon vorhanden.\\\\n${ue}berschreiben?\r/" "$CD/Setup.in"
  grep -q '^F4=Notiz' "$CD/Setup.in" || fail "the script has no overwrite entry"
  mkdir -p "$WINEPREFIX/drive_c/e2e/ziel"
  printf 'alt\r\n' >"$WINEPREFIX/drive_c/e2e/ziel/Notiz.txt"
  wine "C:\\e2e\\cd\\SETUP.EXE" >>"$E2E_RUN/setup.log" 2>&1 &
  drive wait "$SETUP_WIN" 15000 >/dev/null || fail "the wizard did not appear"
  wait_header 'Willkommen'
  local next
  next=$(sid IDC_NEXT)
  drive click "$SETUP_WIN" "$next"; wait_header 'Lizenzvereinbarung'
  drive click "$SETUP_WIN" "$next"; wait_header 'Zielpfad wählen'
  drive settext "$SETUP_WIN" "$(sid IDC_TARGET_FOLDER)" 'C:\e2e\ziel'
  drive click "$SETUP_WIN" "$next"; wait_header 'Installationsoptionen'
  drive click "$SETUP_WIN" "$next"; wait_header 'Programmordner im Startmenü wählen'
  drive click "$SETUP_WIN" "$next"; wait_header 'Installation kann durchgeführt werden'
  drive click "$SETUP_WIN" "$next"
  drive msgbox 15000 >/dev/null || fail "no overwrite question"
  screenshot setup-6-dateien
  expect_eq "$(drive text "$SETUP_WIN" "$(sid IDC_HEADER_TITLE)")" 'Dateien installieren' "run page"
  drive state "$SETUP_WIN" "$next" | grep -q 'enabled=0' || fail "Next enabled during the run"
  drive state "$SETUP_WIN" 'id=2' | grep -q 'enabled=0' || fail "Cancel enabled during the run"
  check_clipping "$SETUP_WIN"
  expect_msgbox Ja $'Die Datei Notiz.txt ist schon vorhanden.\r\nÜberschreiben?' >/dev/null
  wait_header 'Installation abgeschlossen'
  expect_eq "$(tr -d '\r' <"$WINEPREFIX/drive_c/e2e/ziel/Notiz.txt")" 'Notiz' "overwritten file"
  drive check "$SETUP_WIN" "$(sid IDC_DONE_README)" 0
  drive check "$SETUP_WIN" "$(sid IDC_DONE_START)" 0
  drive click "$SETUP_WIN" "$next"
  drive gone "$SETUP_WIN" 10000 >/dev/null || fail "the wizard did not close"
}

# The release folder as `./run dist` assembles it, installed with the wizard's proposals and
# removed again by its registered uninstaller.
test_setup_release_folder() {
  [ -f "$ROOT/dist/Setup.in" ] && [ -f "$ROOT/dist/SETUP.EXE" ] || skip "no dist/ (./run dist assembles it)"
  # dist/ holds the i686 release, which a 64-bit prefix cannot start.
  [ "$("$ROOT/tools/wine/program-arch.sh" "$ROOT/dist/SETUP.EXE")" = "$WINEARCH" ] ||
    skip "dist/ is built for another architecture than this run"
  local cd
  cd=$(test_dir cd)
  cp "$ROOT"/dist/* "$cd/"
  file_listing >"$E2E_RUN/files-before"
  registry_listing before

  wine "C:\\e2e\\cd\\SETUP.EXE" >>"$E2E_RUN/setup.log" 2>&1 &
  drive wait "$SETUP_WIN" 15000 >/dev/null || fail "the wizard did not appear"
  local next
  next=$(sid IDC_NEXT)
  wait_header 'Willkommen'
  expect_eq "$(drive text "$SETUP_WIN" "$(sid IDC_WELCOME_NAME)")" 'Brevisto' "product name"
  drive click "$SETUP_WIN" "$next"; wait_header 'Lizenzvereinbarung'
  expect_contains "$(drive text "$SETUP_WIN" "$(sid IDC_LICENCE_TEXT)")" 'Brevisto' "licence text"
  drive click "$SETUP_WIN" "$next"; wait_header 'Zielpfad wählen'
  local target
  target=$(drive text "$SETUP_WIN" "$(sid IDC_TARGET_FOLDER)")
  expect_contains "$target" '\Brevisto' "proposed folder"
  drive click "$SETUP_WIN" "$next"; wait_header 'Installationsoptionen'
  drive click "$SETUP_WIN" "$next"; wait_header 'Programmordner im Startmenü wählen'
  expect_eq "$(drive text "$SETUP_WIN" "$(sid IDC_GROUP_FOLDER)")" 'Brevisto' "program folder"
  drive click "$SETUP_WIN" "$next"; wait_header 'Installation kann durchgeführt werden'
  drive click "$SETUP_WIN" "$next"; wait_header 'Installation abgeschlossen'
  screenshot setup-release-done; check_clipping "$SETUP_WIN"
  drive check "$SETUP_WIN" "$(sid IDC_DONE_README)" 0
  drive check "$SETUP_WIN" "$(sid IDC_DONE_START)" 0
  drive click "$SETUP_WIN" "$next"
  drive gone "$SETUP_WIN" 10000 >/dev/null || fail "the wizard did not close"

  # Every file of the release in its place, byte for byte.
  local inst="$WINEPREFIX/drive_c/${target#C:\\}"
  inst=${inst//\\//}
  for f in brevisto.exe hilfe.chm ReadMe.txt Lizenz.txt; do
    cmp "$inst/$f" "$cd/$f" || fail "not installed as shipped: $f"
  done
  for f in saveok.wav saveerror.wav; do cmp "$inst/sounds/$f" "$cd/$f" || fail "not installed as shipped: sounds/$f"; done
  expect_eq "$(drive reg 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\brevisto.exe' '')" \
    "$target\\brevisto.exe" "App Paths"
  expect_eq "$(drive reg 'HKLM\SOFTWARE\Microsoft\Windows\HTML Help' 'hilfe.chm')" "$target\\" "help registration"
  local entry='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Brevisto'
  expect_eq "$(drive reg "$entry" DisplayName)" 'Brevisto' "uninstall entry"
  local uninstall uninstaller info
  uninstall=$(drive reg "$entry" UninstallString)
  uninstaller=${uninstall%% /UnInst:*}
  info=${uninstall#* /UnInst:}
  info=${info//\"/}

  wine "$uninstaller" "/UnInst:$info" >>"$E2E_RUN/uninstall.log" 2>&1 &
  drive wait "$SETUP_WIN" 15000 >/dev/null || fail "the uninstaller did not appear"
  poll 10 sh -c "[ -n \"\$(wine '$E2E_BIN/bvdrive.exe' text '$SETUP_WIN' '$(sid IDC_UNINSTALL_TEXT)' 2>/dev/null)\" ]" || true
  drive click "$SETUP_WIN" "$(sid IDC_UNINSTALL_RUN)"
  expect_msgbox OK 'Stellen Sie sicher, dass Sie Brevisto auf Ihrem Rechner beendet haben.' >/dev/null
  expect_msgbox Ja 'Möchten Sie auch die von der Anwendung' 15000 >/dev/null
  drive answer Nein 15000 'Zum Abschluss der Deinstallation muss Windows neu gestartet werden.' >/dev/null ||
    fail "no restart question"
  drive gone "$SETUP_WIN" 10000 >/dev/null || fail "the uninstaller did not close"

  file_listing >"$E2E_RUN/files-after"
  registry_listing after
  diff "$E2E_RUN/files-before" "$E2E_RUN/files-after" >"$E2E_RUN/files.diff" || true
  diff "$E2E_RUN/reg-before" "$E2E_RUN/reg-after" >"$E2E_RUN/reg.diff" || true
  local left
  left=$(grep '^>' "$E2E_RUN/files.diff" | grep -viE 'BrevistoUninstall|_Uninstall\.in|wininit\.ini' || true)
  [ -z "$left" ] || fail "files left after the uninstall:"$'\n'"$left"
  left=$(grep '^[<>]' "$E2E_RUN/reg.diff" | grep -viE 'PendingFileRenameOperations|^[<>] *$|^[<>] *"[^"]*"=hex\(7\)|^[<>] *[0-9a-f,\\ ]*$' || true)
  [ -z "$left" ] || fail "registry changed by install and uninstall:"$'\n'"$left"
}
