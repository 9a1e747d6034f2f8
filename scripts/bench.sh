#!/usr/bin/env bash
# Installs what is missing, builds for 64-bit Windows and runs the benchmarks
# under Wine (no display needed). Usage: scripts/bench.sh [more.bmp ...]
# The bitmap reader is timed on its own large bitmaps, on the shared sample
# picture when there is one, and on any bitmap given here (Unix paths work).
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/lib/setup.sh"

setup_all
log "building for x86_64"
build_target x86_64-w64-mingw32

files=()
sample=/work/shared/images/harvesters.bmp
[ -f "$sample" ] && files+=("$sample")
log "running bmp_read_bench"
wine "$BUILD_ROOT/x86_64/bin/bmp_read_bench.exe" "${files[@]}" "$@"
