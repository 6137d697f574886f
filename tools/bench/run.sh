#!/usr/bin/env bash
# Benchmark of the ZIP archive components (TZipWriter/TZipReader) against Info-ZIP zip/unzip
# and against raw zlib, on a reproducible mail-like corpus of about 1.1 GiB under build/bench/.
# Release build without sanitizers in build/bench-native. Prints a Markdown table; the same
# table is kept in build/bench/results.md.
# Then an end-to-end backup of a synthetic identity of about 1.1 GiB (full, then update after
# 5 % of the mail changed) beside `zip -5 -r` of the same store folder.
#   tools/bench/run.sh [all|archive|backup]
set -euo pipefail
MODE=${1:-all}
cd "$(dirname "$0")/../.."
ROOT=$PWD
B=$ROOT/build/bench
NATIVE=$ROOT/build/bench-native
mkdir -p "$B"

# Always the whole program: a partial-build setting left in the cache must not apply here.
cmake -S . -B "$NATIVE" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBREVISTO_TESTS=OFF -DBREVISTO_EXCLUDE_REGEX= >/dev/null
cmake --build "$NATIVE" --target zip_bench backup_bench -- -j2 >/dev/null
BENCH=$NATIVE/tools/bench/zip_bench
for tool in zip unzip; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (./run deps installs it)" >&2; exit 1; }
done

if [ "$MODE" = all ] || [ "$MODE" = archive ]; then
CORPUS=$B/corpus
if [ ! -f "$CORPUS/.done" ]; then
  rm -rf "$CORPUS"; mkdir -p "$CORPUS"
  "$BENCH" corpus "$CORPUS" >&2
  touch "$CORPUS/.done"
fi
# Every contender reads a warm page cache.
cat "$CORPUS"/* > /dev/null

LOG=$B/raw.txt
: > "$LOG"
run() { "$@" | tee -a "$LOG" >&2; }
clean() { rm -rf "$B/ours.zip" "$B/ours-pw.zip" "$B/iz.zip" "$B/iz-pw.zip" "$B/x" "$B/upd.zip" "$B/extra.dbx"; }
clean
PW='Bench-Passwort'

run "$BENCH" floor "$CORPUS" 5
run "$BENCH" add "$B/ours.zip" "$CORPUS" 5
run "$BENCH" run zip-5 "$CORPUS" zip -5 -q -r "$B/iz.zip" .
echo "izsize 0 0 0 $(stat -c %s "$B/iz.zip")" >> "$LOG"
run "$BENCH" test "$B/ours.zip"
run "$BENCH" run unzip-t "$B" unzip -tq "$B/ours.zip"
run "$BENCH" extract "$B/ours.zip" "$B/x/ours"
run "$BENCH" run unzip-x "$B" unzip -oq "$B/ours.zip" -d "$B/x/iz"
rm -rf "$B/x"
run "$BENCH" add "$B/ours-pw.zip" "$CORPUS" 5 "$PW"
run "$BENCH" run zip-5-pw "$CORPUS" zip -5 -q -r -P "$PW" "$B/iz-pw.zip" .
run "$BENCH" test "$B/ours-pw.zip" "$PW"
run "$BENCH" run unzip-t-pw "$B" unzip -tq -P "$PW" "$B/ours-pw.zip"
run "$BENCH" extract "$B/ours-pw.zip" "$B/x/ours" "$PW"
run "$BENCH" run unzip-x-pw "$B" unzip -oq -P "$PW" "$B/ours-pw.zip" -d "$B/x/iz"
rm -rf "$B/x"
# Adding one file to an existing archive of the whole corpus.
cp "$B/ours.zip" "$B/upd.zip"
head -c 20000000 "$CORPUS/Ordner000.dbx" > "$B/extra.dbx"
run "$BENCH" update "$B/upd.zip" "$B/extra.dbx" 5
clean

# label wall-s cpu-s rss-kib rest...
val() { awk -v l="$1" -v f="$2" '$1 == l { print $f; exit }' "$LOG"; }
mib() { awk -v k="$(val "$1" 4)" 'BEGIN { printf "%.1f", k / 1024 }'; }
ratio() { awk -v a="$(val "$1" "$3")" -v b="$(val "$2" "$3")" 'BEGIN { printf "%.2f", a / b }'; }
{
  echo "| operation | Brevisto wall s | CPU s | peak RSS MiB | outside tool | wall s | CPU s | peak RSS MiB | CPU ours/theirs |"
  echo "|---|---|---|---|---|---|---|---|---|"
  for pair in "add:zip-5:AddFiles level 5:zip -5 -q" "test:unzip-t:TestArchive:unzip -tq" \
              "extract:unzip-x:ExtractMatching (DoAll):unzip -oq" \
              "add-pw:zip-5-pw:AddFiles level 5, password:zip -5 -q -P" \
              "test-pw:unzip-t-pw:TestArchive, password:unzip -tq -P" \
              "extract-pw:unzip-x-pw:ExtractMatching, password:unzip -oq -P"; do
    IFS=: read -r ours theirs name tool <<< "$pair"
    echo "| $name | $(val "$ours" 2) | $(val "$ours" 3) | $(mib "$ours") | \`$tool\` | $(val "$theirs" 2) | $(val "$theirs" 3) | $(mib "$theirs") | $(ratio "$ours" "$theirs" 3) |"
  done
  echo
  echo "| measure | value | target |"
  echo "|---|---|---|"
  echo "| raw zlib deflate level 5 + CRC-32 over the corpus (floor) | $(val floor 2) s wall, $(val floor 3) s CPU | |"
  awk -v a="$(val add 3)" -v f="$(val floor 3)" -v aw="$(val add 2)" -v fw="$(val floor 2)" \
    'BEGIN { printf "| AddFiles level 5 over the floor | %+.1f %% CPU (%+.1f %% wall) | <= 5 %% |\n", (a / f - 1) * 100, (aw / fw - 1) * 100 }'
  echo "| adding 20 MB to the archive of the corpus: bytes written / final size | $(awk '$1 == "update" { for (i = 1; i <= NF; i++) if ($i == "ratio") print $(i + 1) }' "$LOG") | <= 1.05 |"
  echo "| peak RSS, largest of our operations | $(for l in add test extract add-pw test-pw extract-pw update; do val "$l" 4; done | sort -n | tail -1 | awk '{ printf "%.1f MiB", $1 / 1024 }') | <= 32 MiB |"
  echo "| archive size, ours / zip -5 | $(val add 7) / $(val izsize 5) bytes | |"
} | tee "$B/results.md"
fi


if [ "$MODE" = all ] || [ "$MODE" = backup ]; then
  BB=$NATIVE/tools/bench/backup_bench
  ROOTDIR=$B/backup-root
  BLOG=$B/backup-raw.txt
  rm -rf "$ROOTDIR"; mkdir -p "$ROOTDIR"
  : > "$BLOG"
  brun() { "$@" | tee -a "$BLOG" >&2; }
  brun "$BB" identity "$ROOTDIR" 1100
  STORE=$(awk '$1 == "identity" { sub(/.*store=/, ""); sub(/ mail=.*/, ""); print }' "$BLOG")
  cat "$STORE"/* > /dev/null
  brun "$BB" full "$ROOTDIR"
  brun "$NATIVE/tools/bench/zip_bench" run zip-r "$STORE" zip -5 -q -r "$B/store.zip" .
  sleep 2  # the last backup's time has a resolution of one second
  brun "$BB" touch "$ROOTDIR" 5
  brun "$BB" update "$ROOTDIR"
  bval() { awk -v l="$1" -v f="$2" '$1 == l { print $f; exit }' "$BLOG"; }
  bfield() { awk -v l="$1" -v k="$2" '$1 == l { for (i = 5; i <= NF; i++) if (index($i, k "=") == 1) { print substr($i, length(k) + 2); exit } }' "$BLOG"; }
  {
    echo "| backup of a $(awk -v b="$(bfield identity mail)" 'BEGIN { printf "%.0f", b / 1048576 }') MiB identity | wall s | CPU s | peak RSS MiB | note |"
    echo "|---|---|---|---|---|"
    echo "| full backup (all groups, test of the archive) | $(bval full 2) | $(bval full 3) | $(awk -v k="$(bval full 4)" 'BEGIN { printf "%.1f", k / 1024 }') | archive $(bfield full archive) bytes |"
    echo "| \`zip -5 -r\` of the store folder | $(bval zip-r 2) | $(bval zip-r 3) | $(awk -v k="$(bval zip-r 4)" 'BEGIN { printf "%.1f", k / 1024 }') | |"
    echo "| update backup after $(bfield touch changed) of $(bfield touch of) mail bytes changed | $(bval update 2) | $(bval update 3) | $(awk -v k="$(bval update 4)" 'BEGIN { printf "%.1f", k / 1024 }') | read $(bfield update read), written $(bfield update written), archive $(bfield update archive) bytes |"
    awk -v f="$(bval full 2)" -v z="$(bval zip-r 2)" -v fc="$(bval full 3)" -v zc="$(bval zip-r 3)" \
      'BEGIN { printf "\nfull backup / zip -5 -r: %.2f wall, %.2f CPU (target <= 1.05; the backup also tests the archive)\n", f / z, fc / zc }'
  } | tee "$B/backup-results.md"
  rm -rf "$ROOTDIR" "$B/store.zip"
fi
