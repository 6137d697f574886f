#!/usr/bin/env bash
# Builds and runs the libFuzzer targets of tests/fuzz against the POSIX backend.
#   tools/fuzz.sh build                     build every target into build/fuzz/
#   tools/fuzz.sh run TARGET [SECONDS]      fuzz one target (default 180 s) from its corpus
#   tools/fuzz.sh all [SECONDS]             build, then fuzz every target in turn
# Targets: regfile_import_fuzz, dbx_folders_fuzz, dbx_messages_fuzz, zip_reader_fuzz,
# ini_profile_fuzz, wm_store_fuzz.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
OUT=${FUZZ_OUT:-$ROOT/build/fuzz}
CXX=${FUZZ_CXX:-clang++}
# clang has no -fexec-charset for code page 1252; the parsers under test do not depend
# on the code page of literals.
FLAGS=(-std=c++17 -g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer,address,undefined
       -fno-sanitize-recover=all -I"$ROOT")

PLATFORM_SOURCES=(platform/path.cpp platform/ansi.cpp platform/portable_profile.cpp platform/locale_date.cpp
                  platform/posix/*.cpp)
declare -A TARGET_SOURCES=(
  [regfile_import_fuzz]="brevisto/regfile/*.cpp"
  [dbx_folders_fuzz]="brevisto/mailstore/*.cpp"
  [dbx_messages_fuzz]="brevisto/mailstore/*.cpp"
  [zip_reader_fuzz]="brevisto/archive/*.cpp"
  [ini_profile_fuzz]=""
  [wm_store_fuzz]="brevisto/mailstore/*.cpp"
)

build_one() {
  local target=$1
  mkdir -p "$OUT/obj"
  # shellcheck disable=SC2086
  "$CXX" "${FLAGS[@]}" -o "$OUT/$target" "tests/fuzz/$target.cpp" \
    ${TARGET_SOURCES[$target]} "${PLATFORM_SOURCES[@]}" -lz
  echo "built $OUT/$target"
}

seed_corpus() {
  local target=$1 dir=$OUT/corpus/$1
  mkdir -p "$dir"
  case $target in
    dbx_folders_fuzz) cp -f tests/fixtures/oe6-store/Folders.dbx "$dir/seed-folders.dbx" ;;
    dbx_messages_fuzz)
      cp -f tests/fixtures/oe6-store/Inbox.dbx "$dir/seed-inbox.dbx"
      cp -f tests/fixtures/oe6-store/Outbox.dbx "$dir/seed-outbox.dbx" ;;
    zip_reader_fuzz)
      printf 'Brevisto' > "$dir/a.txt"
      (cd "$dir" && zip -q -P fuzz seed-encrypted.zip a.txt && zip -q seed-plain.zip a.txt && rm -f a.txt) ;;
    ini_profile_fuzz)
      printf '[Backup]\r\nUPDATE=1\r\nPasswort="x"\r\n; Kommentar\r\n\r\n[Profile0]\r\nPath=Profiles/a.default\r\n' > "$dir/seed-1.ini" ;;
    regfile_import_fuzz)
      printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Fuzz]\r\n"Pfad"="C:\\\\Mail"\r\n@="x"\r\n"Zahl"=dword:0000001a\r\n"Bin"=hex:00,01,\\\r\n  02\r\n"M"=hex(7):61,00,00\r\n"T"="a\\r\\nb"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Fuzz\\Sub]\r\n"e"=hex:\r\n' > "$dir/seed-1.reg"
      printf '; comment\r\nREGEDIT4\r\n[HKEY_LOCAL_MACHINE\\Software\\F]\r\n"a"=HEX(11):1,2,,3,\r\n"b"="C:\\"\r\n' > "$dir/seed-2.reg" ;;
    wm_store_fuzz)
      # No public store file has this layout: the seeds come from the tests' generator.
      "$CXX" -std=c++17 -g -O1 -fsanitize=address,undefined -I"$ROOT" -o "$OUT/wm_store_seeds" \
        tests/fuzz/wm_store_seeds.cpp tests/support/wm_store_writer.cpp "${PLATFORM_SOURCES[@]}"
      "$OUT/wm_store_seeds" "$dir" ;;
  esac
}

run_one() {
  local target=$1 seconds=${2:-180}
  [ -x "$OUT/$target" ] || build_one "$target"
  seed_corpus "$target"
  mkdir -p "$OUT/artifacts"
  "$OUT/$target" "$OUT/corpus/$target" -max_total_time="$seconds" -max_len=200000 \
    -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$OUT/artifacts/$target-"
}

case ${1:-} in
  build) for t in "${!TARGET_SOURCES[@]}"; do build_one "$t"; done ;;
  run) run_one "${2:?target}" "${3:-180}" ;;
  all)
    for t in "${!TARGET_SOURCES[@]}"; do build_one "$t"; done
    for t in "${!TARGET_SOURCES[@]}"; do run_one "$t" "${2:-180}"; done ;;
  *) sed -n '2,6p' "$0"; exit 2 ;;
esac
