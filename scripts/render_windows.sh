#!/usr/bin/env bash
# Renders BexoLogExport's windows to PNG files for review: the main window
# on each page with and without a unit, and each dialog, under Wine in Xvfb.
# The images are for looking at, not for the repository.
# Usage: scripts/render_windows.sh [OUTDIR]   (default: build/mingw/render)
# Needs the mingw build (cmake --preset mingw) and ImageMagick.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"
OUT=${1:-build/mingw/render}
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)
cmake --build --preset mingw --target gui_render BexoLogExport
command -v convert >/dev/null || { echo "render_windows.sh: ImageMagick's convert is needed" >&2; exit 1; }
rm -f "$OUT"/*.bmp "$OUT"/*.png
win_out="Z:${OUT//\//\\}"
# shellcheck disable=SC2016 # expanded by the inner bash
xvfb-run -a -s '-screen 0 1280x1024x24' bash -c '
  cmake/wine/wine-run.sh --init build/mingw >/dev/null || exit 125
  cmake/wine/wine-run.sh build/mingw/bin/gui_render.exe "$1"
  rc=$?
  cmake/wine/wine-run.sh --stop build/mingw
  exit $rc' render "$win_out"
for bmp in "$OUT"/*.bmp; do
  convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
ls -1 "$OUT"/*.png
