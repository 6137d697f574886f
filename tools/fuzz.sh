#!/usr/bin/env bash
# Builds and runs the libFuzzer targets of tests/fuzz against the POSIX backend.
#   tools/fuzz.sh build [TARGET]            build every target (or one) into build/fuzz/
#   tools/fuzz.sh run TARGET [SECONDS]      fuzz one target (default 180 s) from its corpus
#   tools/fuzz.sh all [SECONDS]             build, then fuzz every target in turn
# Targets: regfile_import_fuzz, dbx_folders_fuzz, dbx_messages_fuzz, zip_reader_fuzz,
# ini_profile_fuzz, wm_store_fuzz, install_script_fuzz, uninstall_info_fuzz, backup_info_fuzz,
# reg_snapshot_fuzz, settings_transfer_fuzz, password_cipher_fuzz, account_file_fuzz,
# parameter_file_fuzz.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
OUT=${FUZZ_OUT:-$ROOT/build/fuzz}
export CCACHE_DIR=${CCACHE_DIR:-$ROOT/build/ccache}
CXX=${FUZZ_CXX:-clang++}
# clang has no -fexec-charset for code page 1252; the parsers under test do not depend
# on the code page of literals.
FLAGS=(-std=c++17 -g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer,address,undefined
       -fno-sanitize-recover=all -I"$ROOT")

PLATFORM_SOURCES=(platform/*.cpp platform/posix/*.cpp)
declare -A TARGET_SOURCES=(
  [regfile_import_fuzz]="brevisto/regfile/*.cpp"
  [dbx_folders_fuzz]="brevisto/mailstore/*.cpp"
  [dbx_messages_fuzz]="brevisto/mailstore/*.cpp"
  [zip_reader_fuzz]="brevisto/archive/*.cpp"
  [ini_profile_fuzz]=""
  [wm_store_fuzz]="brevisto/mailstore/*.cpp"
  [install_script_fuzz]="setup/install/*.cpp common/*.cpp"
  [uninstall_info_fuzz]="setup/install/*.cpp common/*.cpp"
  [backup_info_fuzz]="brevisto/backup/backup_info.cpp brevisto/shell/archive_profiles.cpp brevisto/settings/*.cpp brevisto/support/*.cpp brevisto/archive/*.cpp brevisto/regfile/*.cpp common/*.cpp"
  [reg_snapshot_fuzz]="brevisto/transfer/reg_snapshot.cpp brevisto/regfile/*.cpp"
  [settings_transfer_fuzz]="brevisto/transfer/settings_transfer.cpp brevisto/transfer/reg_snapshot.cpp brevisto/transfer/transfer_target.cpp brevisto/regfile/*.cpp brevisto/archive/*.cpp brevisto/shell/product.cpp brevisto/support/*.cpp common/*.cpp"
  [password_cipher_fuzz]="brevisto/automation/password_cipher.cpp brevisto/automation/sha1.cpp brevisto/automation/twofish.cpp"
  [account_file_fuzz]="brevisto/transfer/account_file.cpp"
  [parameter_file_fuzz]="brevisto/automation/*.cpp brevisto/backup/*.cpp brevisto/mailstore/*.cpp brevisto/settings/*.cpp brevisto/support/*.cpp brevisto/archive/*.cpp brevisto/regfile/*.cpp brevisto/shell/*.cpp common/*.cpp"
)

# Objects are compiled one by one through ccache, so the targets share what they have in
# common and a rebuild after a change compiles only what changed.
compile_one() {
  local src=$1 obj=$OUT/obj/${1%.cpp}.o
  mkdir -p "$(dirname "$obj")"
  ccache "$CXX" "${FLAGS[@]}" -c -o "$obj" "$src"
}

build_one() {
  local target=$1 src objs=()
  local sources
  # shellcheck disable=SC2206
  sources=("tests/fuzz/$target.cpp" ${TARGET_SOURCES[$target]} "${PLATFORM_SOURCES[@]}")
  export -f compile_one
  export OUT CXX CCACHE_DIR
  export FLAGS_TEXT="${FLAGS[*]}"
  printf '%s\n' "${sources[@]}" |
    xargs -P 2 -I{} bash -c 'FLAGS=($FLAGS_TEXT); compile_one "$1"' _ {}
  for src in "${sources[@]}"; do objs+=("$OUT/obj/${src%.cpp}.o"); done
  "$CXX" "${FLAGS[@]}" -pthread -o "$OUT/$target" "${objs[@]}" -lz
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
        tests/fuzz/wm_store_seeds.cpp tests/support/wm_store_writer.cpp "${PLATFORM_SOURCES[@]}" -pthread -lz
      "$OUT/wm_store_seeds" "$dir" ;;
    install_script_fuzz)
      cp -f resources/dist/Setup.in "$dir/seed-setup.in"
      printf '[InstallInfo]\r\nApplicationName=Fuzz\r\nUninstallName=Fuzz 1\r\n[ProgFiles]\r\nF1=a.exe\r\nF2=b.dic;data\\b.dic\r\nF3=c.exe;tools EXEC\r\nF4=d.dll;REGISTER\r\nF5=e.txt;OVERWRITEWARN=%%s ersetzen?\r\nF6=oeshared.dll\r\nF7=f.txt;sub/../g.txt\r\n[CopyDestination]\r\noeshared.dll=%%COMMON_FILES%%\\Fuzz\r\n[AdditionalFiles]\r\nA1=x.ex_\r\n[CreateRegKeys]\r\nK1=HKLM\\Software\\Fuzz,Pfad,%%INSTDIR%%\r\n[UninstallRegKeys]\r\nU1=HKCU\\Software\\Fuzz\r\n[ProgramGroupLink]\r\nL1=%%ProgDir%%a.exe,Fuzz\r\n' > "$dir/seed-2.in" ;;
    uninstall_info_fuzz)
      printf '; Fuzz\r\n\r\n[InstallInfo]\r\nInstPath=C:\\Programme\\Fuzz\r\nApplicationName=Fuzz\r\nStartMenuFolder=C:\\WINDOWS\\Startmen\xfc\\Programme\\Fuzz\r\n\r\n[UnInstallFiles]\r\nF0=C:\\Programme\\Fuzz\\a.exe\r\nF2=C:\\Programme\\Fuzz\\data\\b.dic\r\n\r\n[UnInstallLinks]\r\nSL0=C:\\WINDOWS\\Desktop\\Fuzz.lnk\r\n\r\n[UnInstallPaths]\r\nUP0=C:\\Programme\\Fuzz\\data\\\r\n\r\n[UnInstallRegistrySettings]\r\nVAL0=HKLM\\SOFTWARE\\Fuzz\r\nVAL10=HKCU\\Software\\Fuzz\r\n\r\n[UninstallLibs]\r\nVAL10=C:\\Programme\\Gemeinsame Dateien\\Fuzz\\x.dll\r\n\r\n[UnInstallAutoRun]\r\nUninstallExe=C:\\Programme\\Fuzz\\a.exe,/ende\r\nUninstallLib=\r\n' > "$dir/seed-1.in" ;;
    backup_info_fuzz)
      printf '[BackupInfo]\r\nBackupArt=UpdateBackup\r\nHauptBackup=Haupt_2026-12-01_10-00-00.bvq\r\nIdentitaet=Haupt\r\nIdentID={1A2B}\r\nCounter=3\r\nDate=08.12.2026\r\nComment=Vor dem Umzug\r\n\r\n[Firefox]\r\nVersion=45\r\n\r\n[Profile0]\r\nName=default\r\nPath=Profiles\\abc.default\r\n\r\n[Profile1]\r\nName=Arbeit\r\nPath=D:\\FF\\arbeit\r\n\r\n[velbundle]\r\nVersion=1.0\r\n' > "$dir/seed-1.txt" ;;
    reg_snapshot_fuzz|settings_transfer_fuzz)
      # The first byte picks the snapshot kind for the settings transfer.
      printf '\001REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Identities\\{1A2B}\\Software\\Microsoft\\Outlook Express\\5.0\\Rules\\Mail\\000]\r\n"Name"="Regel"\r\n"Criteria"=hex:41,42,\\\r\n  43\r\n"Z"=dword:00000001\r\n\r\n[HKEY_CURRENT_USER\\Identities\\{1A2B}\\Software\\Microsoft\\Outlook Express\\5.0\\Block Senders\\Mail\\Criteria\\0]\r\n"Sender"="spam@example.com"\r\n' > "$dir/seed-1.reg"
      printf '\202REGEDIT4\r\n[HKEY_CURRENT_USER\\Identities\\{1A2B}\\Software\\Microsoft\\Outlook Express\\5.0\\signatures\\00000000]\r\n"name"="Sig"\r\n"text"="a\\r\\nb"\r\n"type"=dword:00000001\r\n[HKEY_LOCAL_MACHINE\\Software\\X]\r\n"a"="b"\r\n' > "$dir/seed-2.reg"
      if [ "$target" = reg_snapshot_fuzz ]; then
        for f in "$dir"/seed-[12].reg; do tail -c +2 "$f" > "$f.tmp" && mv -f "$f.tmp" "$f"; done
      fi ;;
    password_cipher_fuzz)
      printf 'YWJjZA==' > "$dir/seed-1.txt"; printf 'QUJD' > "$dir/seed-2.txt"; printf '!!!=' > "$dir/seed-3.txt" ;;
    parameter_file_fuzz)
      printf '[Identity]\r\nName=Haupt\r\nMailPath=C:\\Store\\\r\nGID={1A2B}\r\n[Setup]\r\nTempPath=C:\\Temp\\\r\nSavePath=C:\\Backups\\\r\nPasswort=YWJjZA==\r\n[Backup]\r\nUPDATE=0\r\n[Folders]\r\nF2=Inbox.dbx\r\nF3=..\\x.dbx\r\n[FoldersRealName]\r\nF2=Posteingang\r\n[OESetup]\r\nOE0=1\r\nOE3=1\r\n[IESetup]\r\nIE0=1\r\n' > "$dir/seed-1.bvt"
      printf '[Identity]\r\nMailPath=C:\\Store\\\r\n[AllFolders]\r\nALL=1\r\n' > "$dir/seed-2.bvt"
      printf '[Identity]\r\nMailPath=C:\\Store\r\n[Folders]\r\nF0=sub\\y.dbx\r\nF1=C:\\x.dbx\r\nF2=Inbox.dbx\r\n' > "$dir/seed-3.bvt" ;;
    account_file_fuzz)
      printf 'Pop3 Konto' > "$dir/seed-1.txt"; printf 'CON.txt' > "$dir/seed-2.txt"; printf 'a/b\\c:<x>&y.. ' > "$dir/seed-3.txt" ;;
  esac
}

# Each run appends a line to $OUT/results.tsv: date, target, seconds, executions, corpus
# size, result ("clean" or the exit status of a run that found something).
run_one() {
  local target=$1 seconds=${2:-180} rc=0
  build_one "$target"  # cheap when nothing changed; never fuzz a stale binary
  seed_corpus "$target"
  mkdir -p "$OUT/artifacts" "$OUT/logs"
  "$OUT/$target" "$OUT/corpus/$target" -max_total_time="$seconds" -max_len=200000 \
    -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$OUT/artifacts/$target-" 2>&1 | tee "$OUT/logs/$target.log" | tail -n 25 ||
    rc=${PIPESTATUS[0]}
  local execs
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$OUT/logs/$target.log" | tail -n 1)
  printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$(date -u +%F)" "$target" "$seconds" "${execs:-?}" \
    "$(find "$OUT/corpus/$target" -type f | wc -l)" "$([ "$rc" -eq 0 ] && echo clean || echo "failed($rc)")" \
    >> "$OUT/results.tsv"
  return "$rc"
}

case ${1:-} in
  build)
    if [ -n "${2:-}" ]; then build_one "$2"
    else for t in "${!TARGET_SOURCES[@]}"; do build_one "$t"; done; fi ;;
  run) run_one "${2:?target}" "${3:-180}" ;;
  all)
    failed=0
    for t in $(printf '%s\n' "${!TARGET_SOURCES[@]}" | sort); do build_one "$t"; done
    for t in $(printf '%s\n' "${!TARGET_SOURCES[@]}" | sort); do run_one "$t" "${2:-180}" || failed=1; done
    exit "$failed" ;;
  *) sed -n '2,6p' "$0"; exit 2 ;;
esac
