# The tools of the end-to-end tests themselves, against fake_oe.exe: finding windows by
# class and caption, posted keys, WM_CLOSE, the exit of a process, registry values.

test_harness_fake_outlook_express() {
  mkdir -p "$WINEPREFIX/drive_c/e2e"
  cp "$E2E_BIN/fake_oe.exe" "$WINEPREFIX/drive_c/e2e/"
  wine 'C:\e2e\fake_oe.exe' --prompt closes-on-n --log 'C:\e2e\fake_oe.log' >/dev/null 2>&1 &
  local pid=$!
  drive wait "class=Outlook Express Browser Class" 10000 >/dev/null || fail "no browser window"
  drive wait "title=Outlook Express" 5000 >/dev/null || fail "no prompt window"
  expect_eq "$(drive text "class=Outlook Express Browser Class")" "Posteingang - Outlook Express" "caption"
  screenshot harness-fake-oe
  drive key "title=Outlook Express" N
  drive gone "title=Outlook Express" 3000 || fail "the prompt did not close on N"
  drive close "class=Outlook Express Browser Class"
  drive gone "class=Outlook Express Browser Class" 3000 || fail "the browser window did not close"
  local i
  for ((i = 0; i < 50; i++)); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  if kill -0 $pid 2>/dev/null; then fail "fake_oe did not end"; fi
  expect_eq "$(tr -d '\r' <"$WINEPREFIX/drive_c/e2e/fake_oe.log")" $'started\nkey N\nprompt closed\nclose\nexit' "events"
  # Absent things are reported as such, not as errors.
  local rc=0
  drive exists "class=Outlook Express Browser Class" 2>/dev/null || rc=$?
  expect_eq "$rc" 3 "exit code for an absent window"
  rc=0
  drive wait "title=nie da" 300 2>/dev/null || rc=$?
  expect_eq "$rc" 4 "exit code for a time-out"
}

test_harness_registry() {
  reg_import <<EOF
[$SETTINGS_KEY]
"Text"="Größe"
"Zahl"=dword:0000002a
EOF
  expect_eq "$(drive reg 'HKCU\Software\Quillmar Software\bvq' Text)" "Größe" "string value"
  expect_eq "$(drive reg 'HKCU\Software\Quillmar Software\bvq' Zahl)" 42 "dword value"
  local rc=0
  drive reg 'HKCU\Software\Quillmar Software\bvq' Fehlt 2>/dev/null || rc=$?
  expect_eq "$rc" 3 "missing value"
}
