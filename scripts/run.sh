#!/usr/bin/env bash
# The main job: install what is missing, build the default preset, then
#  1. convert the sample raw log image offline:
#     bexolog convert build/default/sample/bexo-log.bin -o build/default/sample/bexo-log.txt
#  2. make a virtual unit and identify it through zelusb, as a real one would be:
#     bexo-sim create build/default/demo-unit; ZELUSB_VIRTUAL=... bexolog info
#  3. log the repository's recorded tracks into it and download its logs, as
#     BexoLogExport does: bexolog status; bexolog download -o ... -f gpx
# Usage: scripts/run.sh   (from anywhere; root, or a user with sudo)
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"
# shellcheck source=scripts/lib/common.sh
source scripts/lib/common.sh

bexo_say "Checking packages"
bexo_ensure_packages "${BEXO_NATIVE_PACKAGES[@]}"

BUILD=build/default
SAMPLE_DIR=$BUILD/sample
IMAGE=$SAMPLE_DIR/bexo-log.bin
TEXT=$SAMPLE_DIR/bexo-log.txt
CLI=$BUILD/cli/bexolog

bexo_say "Configuring (preset default)"
cmake --preset default || bexo_die "configure failed"
bexo_say "Building (preset default)"
cmake --build --preset default || bexo_die "build failed"
# Explicitly, in case either is not part of 'all'.
cmake --build --preset default --target bexo_sample_image bexolog bexo-sim ||
  bexo_die "could not build the sample image (target bexo_sample_image), the CLI (target bexolog) or bexo-sim"

[ -x "$CLI" ] || bexo_die "the build did not produce $CLI"
[ -s "$IMAGE" ] || bexo_die "the build did not produce $IMAGE"

bexo_say "Converting $IMAGE"
rm -f "$TEXT"
"$CLI" convert "$IMAGE" -o "$TEXT" || bexo_die "bexolog convert failed"
[ -f "$TEXT" ] || bexo_die "bexolog convert wrote no $TEXT"

bexo_say "$TEXT ($(wc -l <"$TEXT") lines), first 20:"
head -n 20 "$TEXT" | tr -d '\r'

SIM=$BUILD/sim/tool/bexo-sim
UNIT=$ROOT/$BUILD/demo-unit
bexo_say "Making a virtual unit in $UNIT"
rm -rf "$UNIT"
"$SIM" create "$UNIT" || bexo_die "bexo-sim create failed"
"$SIM" show "$UNIT" >"$BUILD/demo-unit.txt" || bexo_die "bexo-sim show failed"
head -n 12 "$BUILD/demo-unit.txt"

bexo_say "Identifying it through zelusb (real-time waits: about 7 s)"
ZELUSB_VIRTUAL=$UNIT "$CLI" info || bexo_die "bexolog info failed"

bexo_say "Logging the recorded tracks into it"
"$SIM" add-logs "$UNIT" tests/data/tracks/logger-a.gpx tests/data/tracks/logger-b.gpx ||
  bexo_die "bexo-sim add-logs failed"
bexo_say "Its state, as the Summary and Configure pages show it"
ZELUSB_VIRTUAL=$UNIT "$CLI" status || bexo_die "bexolog status failed"
DOWNLOAD=$BUILD/demo-download
rm -rf "$DOWNLOAD"
mkdir -p "$DOWNLOAD"
bexo_say "Downloading its logs (real-time waits: about 10 s)"
ZELUSB_VIRTUAL=$UNIT "$CLI" download -o "$DOWNLOAD/bexo-logs.txt" --raw "$DOWNLOAD/bexo-log.bin" -f gpx ||
  bexo_die "bexolog download failed"
bexo_say "$DOWNLOAD: $(ls "$DOWNLOAD" | tr '\n' ' ')"
head -n 5 "$DOWNLOAD/bexo-logs.txt" | tr -d '\r'
