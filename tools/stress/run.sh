#!/usr/bin/env bash
# Power-loss stress: kills the archive writer and the update backup at random moments and
# checks that the archive survives and the next run cleans up (tools/stress/stress_driver.cpp).
# Builds the driver in build/native (sanitizers on, as the unit tests); the work folders live
# under build/stress/ and are made afresh every run.
#   tools/stress/run.sh [ROUNDS] [--seed S] [--verbose]      (200 rounds by default)
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$PWD
NATIVE=$ROOT/build/native
WORK=$ROOT/build/stress/work
export CCACHE_DIR=${CCACHE_DIR:-$ROOT/build/ccache}

if [ ! -f "$NATIVE/build.ninja" ]; then
  cmake --preset native >/dev/null
fi
cmake --build "$NATIVE" --target stress_driver -- -j2 >/dev/null

rm -rf "$WORK"
mkdir -p "$WORK"
exec "$NATIVE/tools/stress/stress_driver" --work "$WORK" "$@"
