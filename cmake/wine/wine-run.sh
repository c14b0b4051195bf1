#!/usr/bin/env bash
# Runs a Windows program under Wine: CMAKE_CROSSCOMPILING_EMULATOR of the
# mingw preset (cmake/wine/NOTES.md says why it does what it does).
#
#   wine-run.sh PROGRAM.exe [ARGS...]   run it; its exit code is kept (1-255)
#   wine-run.sh --init BUILD_DIR        only create and warm up the prefix
#   wine-run.sh --stop BUILD_DIR        wait for the prefix's Wine processes
#                                       to end (killed after 30 s)
#
# The Wine prefix is private to the build: <build dir>/wineprefix, where the
# build dir is the nearest folder above PROGRAM.exe holding CMakeCache.txt
# (BEXO_WINEPREFIX overrides it). It is created on first use, under a lock,
# so parallel tests share one initialisation. Wine needs an X display for
# windows even when they are never shown: run tests inside xvfb-run.
set -u

WINE64=${BEXO_WINE64:-/usr/lib/wine/wine64}
WINESERVER=${BEXO_WINESERVER:-/usr/lib/wine/wineserver}
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

die() { echo "wine-run.sh: $*" >&2; exit 125; }

[ -x "$WINE64" ] || die "$WINE64 not found (apt-get install wine64)"
[ $# -ge 1 ] || die "usage: wine-run.sh PROGRAM.exe [ARGS...] | --init BUILD_DIR"

build_dir_of() {
  local d
  d=$(cd "$(dirname "$1")" 2>/dev/null && pwd) || return 1
  while [ "$d" != / ]; do
    [ -f "$d/CMakeCache.txt" ] && { echo "$d"; return 0; }
    d=$(dirname "$d")
  done
  return 1
}

mode=run
if [ "$1" = --init ] || [ "$1" = --stop ]; then
  [ $# -eq 2 ] || die "usage: wine-run.sh $1 BUILD_DIR"
  mode=${1#--}
  build_dir=$(cd "$2" && pwd) || die "no such build dir: $2"
elif [ -z "${BEXO_WINEPREFIX:-}" ]; then
  build_dir=$(build_dir_of "$1") || die "$1 is not inside a CMake build tree; set BEXO_WINEPREFIX"
fi

export WINEPREFIX=${BEXO_WINEPREFIX:-$build_dir/wineprefix}
export WINEARCH=win64
export WINELOADER=$WINE64
export WINEDEBUG=-all
# No Mono/Gecko install prompts; winedbg disabled so that a crash always ends
# the program with a non-zero exit code instead of a dialog or a random 0.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

if [ "$mode" = stop ]; then
  [ -d "$WINEPREFIX" ] || exit 0
  timeout 30 "$WINESERVER" -w || "$WINESERVER" -k
  exit 0
fi

# ---- prefix: create once (wineboot, registry keys), under a lock ----------
ensure_prefix() {
  [ -f "$WINEPREFIX/.bexo-ready" ] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/.bexo-ready" ]; then
    local log="$WINEPREFIX.init.log" regfile
    rm -rf "$WINEPREFIX"
    regfile="Z:${HERE//\//\\}\\prefix.reg"
    # fd 9 is closed for Wine: its background processes must not hold the lock.
    if ! { "$WINE64" wineboot --init &&
           "$WINE64" regedit /S "$regfile" &&
           "$WINESERVER" -w; } </dev/null >"$log" 2>&1 9>&-; then
      cat "$log" >&2
      flock -u 9
      die "could not initialise the Wine prefix $WINEPREFIX"
    fi
    touch "$WINEPREFIX/.bexo-ready"
  fi
  flock -u 9
  exec 9>&-
}
ensure_prefix
[ "$mode" = init ] && { echo "Wine prefix ready: $WINEPREFIX"; exit 0; }

# ---- run ---------------------------------------------------------------------
# Wine's first process starts services.exe, explorer.exe and others, which
# inherit its stderr; if that is ctest's pipe, ctest waits for EOF until its
# time-out. So stderr goes to a temporary file, printed after the exit.
# (stdout is not held open by them and is passed straight through.)
tmp=$(mktemp "${TMPDIR:-/tmp}/bexo-wine-err.XXXXXX") || die "mktemp failed"
trap 'rm -f "$tmp"' EXIT
"$WINE64" "$@" 2>"$tmp"
rc=$?
cat "$tmp" >&2
exit $rc
