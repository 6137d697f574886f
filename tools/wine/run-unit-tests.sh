#!/usr/bin/env bash
# Runs a Windows GoogleTest program under Wine in a fresh copy of the template prefix of
# its architecture, with a German locale and a virtual X server.
#   tools/wine/run-unit-tests.sh <unit_tests.exe> [gtest options...]
# The exit code is the test program's.
set -euo pipefail
# shellcheck source=tools/wine/host.sh
source "$(dirname "${BASH_SOURCE[0]}")/host.sh"

[ $# -ge 1 ] || { echo "usage: $0 <exe> [gtest options...]" >&2; exit 2; }
EXE=$(realpath "$1")
shift
ROOT=$(cd "$(dirname "$0")/../.." && pwd)

[ -f "$EXE" ] || { echo "no such program: $EXE" >&2; exit 1; }
ARCH=$("$ROOT/tools/wine/program-arch.sh" "$EXE")
TEMPLATE=$ROOT/build/wine/template-$ARCH

for tool in wine wineserver xvfb-run; do
  command -v $tool >/dev/null || { echo "$tool is missing (./run deps)" >&2; exit 1; }
done
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  echo "locale de_DE.UTF-8 is not generated (./run deps)" >&2
  exit 1
fi

"$ROOT/tools/wine/make-prefix.sh" "$TEMPLATE" "$ARCH"

mkdir -p "$ROOT/build/wine"
RUN=$(mktemp -d "$ROOT/build/wine/run.XXXXXX")
LOG=$RUN.log
cleanup() {
  WINEPREFIX=$RUN/prefix wineserver -k >/dev/null 2>&1 || true
  rm -rf "$RUN" "$LOG"
}
trap cleanup EXIT
# Shared lock: the template is not rebuilt while it is being copied.
flock -s "$TEMPLATE.lock" cp -a "$TEMPLATE" "$RUN/prefix"

export WINEPREFIX=$RUN/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LC_ALL=de_DE.UTF-8

set +e
xvfb-run -a -s "-screen 0 1024x768x24" wine "$EXE" --gtest_brief=1 "$@" 2>&1 | tee "$LOG"
rc=${PIPESTATUS[0]}
set -e

# A program that ends before GoogleTest reports has not run the tests.
if ! grep -q '^\[==========\] .* ran\.' "$LOG"; then
  echo "no test summary from $EXE (exit code $rc)" >&2
  [ "$rc" -ne 0 ] || rc=1
fi
summary=$(grep -E '^\[  (PASSED|FAILED|SKIPPED) +\]' "$LOG" | grep -E 'tests?[,.]|test(s)?, listed' | tr '\n' ' ' || true)
echo "== Wine: ${summary:-no summary} (exit code $rc)"
exit "$rc"
