#!/usr/bin/env bash
# End-to-end tests: the real brevisto.exe under Wine and a virtual X server, driven from
# outside through its windows by bvdrive.exe (tools/e2e). Every test gets a fresh copy of
# the template prefix, its own registry state and files, and a time limit.
#   tools/wine/run-e2e.sh [--build DIR] [--dpi N] [NAME-PATTERN...]
#     DIR      the build whose program is tested (default build/mingw32, the i686 release,
#              in a 32-bit prefix as on Windows XP; an x86_64 build gets a 64-bit prefix)
#     N        the screen density of the prefixes (96, 120 large fonts, 144); screenshots
#              of other densities than 96 carry it in their names
#     PATTERN  run only tests whose function name contains one of the patterns
# Prints "e2e: N passed, M failed, K skipped"; the exit code is non-zero on failures.
# Screenshots go to build/screenshots/.
set -euo pipefail
# shellcheck source=tools/wine/host.sh
source "$(dirname "${BASH_SOURCE[0]}")/host.sh"

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
SELF=$ROOT/tools/wine/run-e2e.sh
TESTS_DIR=$ROOT/tests/e2e
SKIP_CODE=77

# ------------------------------------------------------------------ helpers for the tests

log() { printf '   %s\n' "$*"; }
fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*"; exit $SKIP_CODE; }

expect_eq() {  # actual expected what
  [ "$1" = "$2" ] || fail "$3: expected [$2], got [$1]"
}
expect_contains() {  # haystack needle what
  case "$1" in *"$2"*) ;; *) fail "$3: [$2] not in [$1]" ;; esac
}

# Runs COMMAND until it succeeds, for up to SECONDS; its status is the last run's.
poll() {  # SECONDS COMMAND...
  local seconds=$1 i
  shift
  for ((i = 0; i < seconds * 10; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  "$@"
}

# A control id of the program by its name in resources/brevisto_ids.h: "id=<number>".
declare -A RESOURCE_IDS=()
load_resource_ids() {
  local name value
  while read -r name value; do RESOURCE_IDS[$name]=$value; done < <(
    sed -n 's/^#define \([A-Z_0-9]*\) \([0-9][0-9]*\)$/\1 \2/p' "$ROOT/resources/brevisto_ids.h")
}
ctl() {  # NAME
  [ -n "${RESOURCE_IDS[$1]:-}" ] || fail "no control id $1 in resources/brevisto_ids.h"
  echo "id=${RESOURCE_IDS[$1]}"
}

# The driver; its output is UTF-8 with LF line ends.
drive() { wine "$E2E_BIN/bvdrive.exe" "$@"; }

# A Windows path for a path inside the prefix's drive C (relative to drive_c).
winpath() { printf 'C:\\%s' "$(printf '%s' "$1" | sed 's|/|\\|g')"; }

# Imports REGEDIT4 lines from stdin (UTF-8; written as CP1252 with CR LF like regedit's own).
REG_SEQ=0
reg_import() {
  REG_SEQ=$((REG_SEQ + 1))
  local file=$WINEPREFIX/drive_c/e2e-import-$REG_SEQ.reg
  { printf 'REGEDIT4\n\n'; cat; printf '\n'; } | iconv -f UTF-8 -t CP1252 | sed 's/$/\r/' >"$file"
  wine regedit /s "C:\\e2e-import-$REG_SEQ.reg" >/dev/null 2>&1
  rm -f "$file"
}

SETTINGS_KEY='HKEY_CURRENT_USER\Software\Quillmar Software\bvq'
SETTINGS='HKCU\Software\Quillmar Software\bvq'

# Outlook Express of the given version ("6,0,2900,5512"; empty: the key without "Current").
oe_version() {
  if [ -n "${1:-}" ]; then
    reg_import <<EOF
[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Outlook Express\\Version Info]
"Current"="$1"
EOF
  else
    reg_import <<'EOF'
[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Outlook Express\Version Info]
"Other"="x"
EOF
  fi
}

windows_version() {  # winxp, vista, win7
  reg_import <<EOF
[HKEY_CURRENT_USER\\Software\\Wine]
"Version"="$1"
EOF
}

# The program lives where setup puts it; its folder holds the help file and the sounds.
PROGRAM_DIR='Programme/Brevisto'
PROGRAM_WIN='C:\Programme\Brevisto\brevisto.exe'
# The version as the program shows it, from the one place that sets it.
PRODUCT_VERSION=$(sed -n 's/^#define BREVISTO_PRODUCT_VERSION "\(.*\)"$/\1/p' "$ROOT/resources/version.h")
MAIN_TITLE="Brevisto - Spezialversion - V$PRODUCT_VERSION"
MAIN="title=$MAIN_TITLE"

start_brevisto() {
  wine "$PROGRAM_WIN" "$@" >>"$E2E_RUN/program.log" 2>&1 &
  BV_PID=$!
}

wait_main() { drive wait "$MAIN" "${1:-15000}" >/dev/null || fail "the main window did not appear"; }

# Waits up to N seconds for the program started by start_brevisto to end; its exit
# code lands in BV_EXIT. Not in a subshell: only this shell can wait for it.
wait_brevisto_exit() {
  local i
  BV_EXIT=
  for ((i = 0; i < ${1:-10} * 10; i++)); do
    if ! kill -0 "$BV_PID" 2>/dev/null; then
      BV_EXIT=0
      wait "$BV_PID" || BV_EXIT=$?
      return 0
    fi
    sleep 0.1
  done
  return 1
}

screenshot() {
  mkdir -p "$E2E_SHOTS"
  local name=$1
  [ "${E2E_DPI:-96}" = 96 ] || name="$name-${E2E_DPI}dpi"
  import -display "$DISPLAY" -window root "$E2E_SHOTS/$name.png" 2>/dev/null || log "no screenshot $name"
}

# The main window is built when it has controls (not only a bare frame).
need_main_controls() { [ -n "$(drive controls "$MAIN" 2>/dev/null)" ] || fail "the main window has no controls"; }
need_menu() {  # PATH
  drive menuhas "$MAIN" "$1" 2>/dev/null || fail "the main window has no menu entry $1"
}

# Fails when a caption of the window does not fit its control (in the control's own font).
check_clipping() {  # WIN
  local out rc=0
  out=$(drive clipcheck "$1" 2>&1) || rc=$?
  [ $rc -eq 0 ] || fail "clipped texts in $1 at ${E2E_DPI:-96} DPI:"$'\n'"$out"
}

# The message box that must appear now: prints "caption<LF>text"; fails after the time-out.
expect_msgbox() {  # BUTTON NEEDLE [ms]
  drive answer "$1" "${3:-8000}" "$2" || fail "no message box saying [$2]"
}

# Test files get their own folder in drive C.
test_dir() { mkdir -p "$WINEPREFIX/drive_c/e2e/$1"; echo "$WINEPREFIX/drive_c/e2e/$1"; }

# ------------------------------------------------------------------ one test (inside X)

run_one() {  # FILE FUNCTION
  local file=$1 fn=$2
  export E2E_RUN=$E2E_RUNS/$fn
  mkdir -p "$E2E_RUN"
  export WINEPREFIX=$E2E_RUN/prefix
  cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    # Small volumes a test mounted in its own mount namespace.
    local mounted
    for mounted in $(awk -v run="$E2E_RUN/" 'index($2, run) == 1 {print $2}' /proc/self/mounts 2>/dev/null); do
      umount -l "$mounted" 2>/dev/null || true
    done
  }
  trap cleanup EXIT
  trap 'exit 143' TERM INT
  flock -s "$TEMPLATE.lock" cp -a "$TEMPLATE" "$WINEPREFIX"
  mkdir -p "$WINEPREFIX/drive_c/$PROGRAM_DIR"
  cp "$E2E_BIN/brevisto.exe" "$WINEPREFIX/drive_c/$PROGRAM_DIR/"
  wineserver -p 30 >/dev/null 2>&1 || true
  # Large fonts: the screen density of the test's prefix (Wine reads both places).
  if [ -n "${E2E_DPI:-}" ] && [ "$E2E_DPI" != 96 ]; then
    reg_import <<EOF
[HKEY_CURRENT_USER\\Control Panel\\Desktop]
"LogPixels"=dword:$(printf '%08x' "$E2E_DPI")

[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts]
"LogPixels"=dword:$(printf '%08x' "$E2E_DPI")
EOF
  fi
  load_resource_ids
  # shellcheck disable=SC1090
  source "$file"
  "$fn"
}

# ------------------------------------------------------------------ all tests (inside X)

run_all() {
  # Each test in a mount namespace of its own where that is allowed: a test may mount a
  # small volume (a full disk) that nobody else sees and that ends with the test.
  PRIVATE_MOUNTS=()
  if unshare -m --propagation private true 2>/dev/null; then PRIVATE_MOUNTS=(unshare -m --propagation private); fi
  local passed=0 failed=0 skipped=0 failures=()
  local file fn rc out started
  for file in "$TESTS_DIR"/*.sh; do
    for fn in $(sed -n 's/^\(test_[A-Za-z0-9_]*\)() {.*/\1/p' "$file"); do
      if [ ${#E2E_PATTERNS[@]} -gt 0 ]; then
        local hit=0 p
        for p in "${E2E_PATTERNS[@]}"; do [[ $fn == *"$p"* ]] && hit=1; done
        [ $hit -eq 1 ] || continue
      fi
      started=$(date +%s)
      set +e
      out=$(timeout -k 5 "${E2E_TEST_TIMEOUT:-120}" "${PRIVATE_MOUNTS[@]}" "$SELF" --one "$file" "$fn" 2>&1)
      rc=$?
      set -e
      # Whatever the test left behind ends here.
      WINEPREFIX=$E2E_RUNS/$fn/prefix wineserver -k >/dev/null 2>&1 || true
      local secs=$(($(date +%s) - started))
      case $rc in
        0) passed=$((passed + 1)); printf 'PASS %s (%ss)\n' "$fn" "$secs" ;;
        "$SKIP_CODE")
          skipped=$((skipped + 1))
          printf 'SKIP %s: %s\n' "$fn" "$(printf '%s\n' "$out" | grep '^SKIP: ' | tail -1 | sed 's/^SKIP: //')" ;;
        *)
          failed=$((failed + 1)); failures+=("$fn")
          [ $rc -eq 124 ] && out="$out"$'\n'"time-out after ${E2E_TEST_TIMEOUT:-120} s"
          printf 'FAIL %s (exit code %s, %ss)\n' "$fn" "$rc" "$secs"
          printf '%s\n' "$out" | tail -25 | sed 's/^/     | /' ;;
      esac
      [ -n "${E2E_KEEP:-}" ] || rm -rf "${E2E_RUNS:?}/$fn"
    done
  done
  echo "e2e: $passed passed, $failed failed, $skipped skipped"
  [ $failed -eq 0 ] || { echo "failed: ${failures[*]}" >&2; return 1; }
}

# ------------------------------------------------------------------ entry

case "${1:-}" in
  --one) shift; run_one "$@"; exit $? ;;
  --inside) shift; E2E_PATTERNS=("$@"); run_all; exit $? ;;
esac

BUILD=$ROOT/build/mingw32
PATTERNS=()
while [ $# -gt 0 ]; do
  case $1 in
    --build) BUILD=$(realpath "$2"); shift 2 ;;
    --dpi) export E2E_DPI=$2; shift 2 ;;
    -h|--help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) PATTERNS+=("$1"); shift ;;
  esac
done

for tool in wine wineserver xvfb-run import iconv zip timeout flock; do
  command -v $tool >/dev/null || { echo "$tool is missing (./run deps)" >&2; exit 1; }
done
locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' \
  || { echo "locale de_DE.UTF-8 is not generated (./run deps)" >&2; exit 1; }

mkdir -p "$ROOT/build/wine" "$ROOT/build/screenshots"
E2E_RUNS=$(mktemp -d "$ROOT/build/wine/e2e.XXXXXX")
trap 'rm -rf "$E2E_RUNS"' EXIT
E2E_BIN=$E2E_RUNS/bin
mkdir -p "$E2E_BIN"
for f in brevisto.exe tools/e2e/bvdrive.exe tools/e2e/bvhook.dll tools/e2e/fake_oe.exe tools/e2e/hold_file.exe; do
  [ -f "$BUILD/$f" ] || { echo "not built: $BUILD/$f" >&2; exit 1; }
  cp "$BUILD/$f" "$E2E_BIN/"
done
for f in tools/make-identity/make_identity.exe tools/param-file/param-file.exe hilfe.chm SETUP.EXE; do
  if [ -f "$BUILD/$f" ]; then cp "$BUILD/$f" "$E2E_BIN/"; fi
done
# Every helper runs beside the program in one prefix: all of its architecture (a 64-bit
# driver cannot read a 32-bit program's tree view, nor its hook enter that process).
ARCH=$("$ROOT/tools/wine/program-arch.sh" "$E2E_BIN/brevisto.exe")
for f in "$E2E_BIN"/*.exe "$E2E_BIN"/*.dll; do
  [ "$("$ROOT/tools/wine/program-arch.sh" "$f")" = "$ARCH" ] \
    || { echo "$f is not built for $ARCH like brevisto.exe" >&2; exit 1; }
done
TEMPLATE=$ROOT/build/wine/template-$ARCH
export WINEARCH=$ARCH

"$ROOT/tools/wine/make-prefix.sh" "$TEMPLATE" "$ARCH"

export E2E_BIN E2E_RUNS TEMPLATE
export E2E_SHOTS=$ROOT/build/screenshots
export WINEDEBUG=-all
# No debugger on a crash: the test fails at once instead of waiting for its time-out.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe,winedbg.exe=d"
export LC_ALL=de_DE.UTF-8

echo "== e2e tests of $BUILD/brevisto.exe ($ARCH, ${E2E_DPI:-96} DPI)"
xvfb-run -a -s "-screen 0 1024x768x24" "$SELF" --inside "${PATTERNS[@]}"
