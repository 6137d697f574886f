#!/usr/bin/env bash
# Every result of a file operation that changes something must be looked at. GCC does not
# diagnose [[nodiscard]] on virtual calls, so the native sources are checked once more with
# clang (syntax only; clang knows no CP1252 execution character set, which does not matter here).
set -euo pipefail
BUILD=${1:?native build folder}
command -v clang++ >/dev/null || { echo "clang++ missing" >&2; exit 1; }
python3 - "$BUILD/compile_commands.json" <<'PY'
import json, shlex, subprocess, sys
failed = False
for entry in json.load(open(sys.argv[1])):
    if not entry["file"].endswith(".cpp") or "/build/" in entry["file"]:
        continue
    args = shlex.split(entry["command"])
    keep = ["clang++", "-fsyntax-only", "-Werror=unused-result", "-Wno-unknown-warning-option"]
    skip_next = False
    for a in args[1:]:
        if skip_next:
            skip_next = False
            continue
        if a in ("-o", "-MF", "-MT", "-c"):
            skip_next = a != "-c"
            continue
        if a.startswith(("-fexec-charset", "-finput-charset", "-fsanitize", "-fno-sanitize", "-W", "-MD")) or a == entry["file"]:
            continue
        if a.startswith("ccache") or a.endswith("c++") or a.endswith("g++"):
            continue
        keep.append(a)
    keep.append(entry["file"])
    r = subprocess.run(keep, cwd=entry["directory"], capture_output=True, text=True)
    if r.returncode != 0:
        failed = True
        sys.stderr.write(r.stderr)
sys.exit(1 if failed else 0)
PY
