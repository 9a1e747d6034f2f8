#!/usr/bin/env bash
# Installs what is missing, builds the program for 64-bit and 32-bit Windows
# (warnings are errors) and runs every test under Wine and Xvfb; then replays
# the fuzzers' corpora and regression files through the native sanitizer
# build of the readers (scripts/fuzz.sh --check).
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/lib/setup.sh"
source "$ROOT/scripts/lib/package.sh"

setup_all
ensure_deps i686-w64-mingw32

log "building for x86_64"
build_target x86_64-w64-mingw32
# 32-bit programs cannot run here: this build only proves the code compiles.
log "building for i686"
build_target i686-w64-mingw32
# What the installer test checks: the zips, and the installer built for amd64
# (the shipped x86 one cannot run here).
log "packing for the installer test"
make_zips "$BUILD_ROOT/x86_64/package"
make_installer amd64-unicode \
  "$BUILD_ROOT/x86_64/package/vornelle-$(project_version)-setup-amd64.exe"

log "running tests"
cd "$BUILD_ROOT/x86_64"
status=0
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  # Wine'"'"'s background processes start here, not inside a test: one that
  # inherits a test'"'"'s output pipe keeps CTest waiting for it to close.
  wineserver -p >/dev/null 2>&1
  wine wineboot >/dev/null 2>&1
  # Once the first program after start-up ended at once, silent, failing the
  # first test: a program must start before the tests do.
  for try in 1 2 3; do
    wine cmd /c exit 0 >/dev/null 2>&1 && break
    echo "[vornelle] Wine did not start a program (try $try)" >&2
    sleep 2
  done
  status=0
  ctest --output-on-failure --timeout 300 "$@" || status=$?
  wineserver -k || true
  exit $status' ctest-under-xvfb "$@" || status=$?

log "replaying the fuzzers' corpora and regression files under the sanitizers"
"$ROOT/scripts/fuzz.sh" --check || status=1
exit $status
