# Sourced by the Wine scripts: what this host can run. Some virtual machines boot a kernel
# without 32-bit support, where every 32-bit program fails with "Exec format error" and
# Debian's "wine" (which prefers the 32-bit loader whenever it is installed) cannot start
# at all. There the scripts use the 64-bit loader directly, and callers test
# `host_runs_32bit` before anything that needs the 32-bit half.

host_runs_32bit() {
  [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

if [ -x /usr/lib/wine/wine64 ] && ! host_runs_32bit; then
  _wine_shims=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/build/wine/host-bin
  if [ ! -x "$_wine_shims/wine" ]; then
    mkdir -p "$_wine_shims"
    for _name in wine wine-stable; do
      printf '#!/bin/sh\n# This host runs no 32-bit programs: the 64-bit loader only.\n[ -n "$WINEDEBUG" ] || export WINEDEBUG=fixme-all\nexec /usr/lib/wine/wine64 "$@"\n' > "$_wine_shims/$_name"
      chmod +x "$_wine_shims/$_name"
    done
  fi
  case ":$PATH:" in *":$_wine_shims:"*) ;; *) export PATH=$_wine_shims:$PATH ;; esac
  export WINELOADER=/usr/lib/wine/wine64
  unset _wine_shims _name
fi
