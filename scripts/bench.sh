#!/usr/bin/env bash
# Installs what is missing, builds for 64-bit Windows and runs every benchmark
# under Wine, each printing its own table. Usage: scripts/bench.sh [picture ...]
# The readers are timed on pictures they make themselves, on the shared sample
# pictures when there are some, and on any picture given here (Unix paths
# work): .bmp files go to the bitmap reader, .gif files to the GIF reader,
# .jpg, .jpeg and .png files to the JPEG and PNG readers. The scene's frame
# rate is measured on a virtual display of its own. --prefix DIR (first)
# runs them in that Wine prefix rather than build/wineprefix.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/lib/setup.sh"
if [ "${1:-}" = --prefix ]; then
  WINEPREFIX=$(realpath -m "${2:?--prefix needs a folder}")
  shift 2
fi

setup_all
giflib=$(ensure_giflib x86_64-w64-mingw32)
dir=$BUILD_ROOT/x86_64
# giflib, the GIF reader's yardstick, is a cache setting of the normal build
# folder: the tests neither use nor need it.
add_giflib() {
  grep -qx "VORNELLE_GIFLIB_PREFIX:PATH=$giflib" "$dir/CMakeCache.txt" 2>/dev/null ||
    cmake -S "$ROOT" -B "$dir" -DVORNELLE_GIFLIB_PREFIX="$giflib" >/dev/null
}
[ -f "$dir/build.ninja" ] && add_giflib
log "building for x86_64"
build_target x86_64-w64-mingw32
# A build folder made just now was configured without it.
add_giflib
cmake --build "$dir" --target gif_read_bench

samples=$ROOT/../shared/images
bmp=() gif=() codec=()
for f in "$samples"/harvesters.bmp; do [ -f "$f" ] && bmp+=("$f"); done
for f in "$samples"/harvesters.gif "$samples"/hat.gif; do [ -f "$f" ] && gif+=("$f"); done
for f in "$samples"/{harvesters,hat}.{jpeg,png}; do [ -f "$f" ] && codec+=("$f"); done
for f in "$@"; do
  case "${f,,}" in
    *.bmp) bmp+=("$f") ;;
    *.gif) gif+=("$f") ;;
    *.jpg | *.jpeg | *.png) codec+=("$f") ;;
    *) log "not a picture type the benchmarks read: $f"; exit 2 ;;
  esac
done

bin=$dir/bin
log "running bmp_read_bench"
wine "$bin/bmp_read_bench.exe" "${bmp[@]}"
log "running gif_read_bench"
wine "$bin/gif_read_bench.exe" "${gif[@]}"
log "running codec_read_bench"
wine "$bin/codec_read_bench.exe" "${codec[@]}"
log "running render_bench"
# Windows made now must reach the display: the Wine session of the benches
# above, which had none, has to be over first. The large window needs a screen
# at least as large, and Wine must be gone before that screen is.
wineserver -w
xvfb-run -a -s "-screen 0 1920x1080x24" bash -c '
  status=0
  wine "$1" || status=$?
  wineserver -w
  exit $status' render-under-xvfb "$bin/render_bench.exe"
