#!/usr/bin/env bash
# Installs what is missing, builds the program for 64-bit and 32-bit Windows
# (warnings are errors) and runs every test of both builds under Wine and
# Xvfb, and replays the fuzzers' corpora and regression files through the
# native sanitizer build of the readers (scripts/fuzz.sh --check).
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/lib/setup.sh"
source "$ROOT/scripts/lib/package.sh"
source "$ROOT/scripts/lib/fuzzlibs.sh"

# The fuzzing check's libraries too: its entry then only builds our code.
PACKAGES+=("${FUZZ_PACKAGES[@]}")
ensure_packages
ensure_deps x86_64-w64-mingw32
ensure_deps i686-w64-mingw32
ensure_fuzz_deps

# The fuzzing check's native build needs neither Windows build: it goes beside
# them, so that its entry has only the corpora left to run.
log "building the fuzzing check (log: $BUILD_ROOT/fuzz-build.log)"
mkdir -p "$BUILD_ROOT"
setsid "$ROOT/scripts/fuzz.sh" --build >"$BUILD_ROOT/fuzz-build.log" 2>&1 &
fuzz_build=$!
# A failed Windows build ends the run: the fuzzing build, in a process group
# of its own, goes with it.
trap 'kill -- "-$fuzz_build" 2>/dev/null || true' EXIT
log "building for x86_64"
build_target x86_64-w64-mingw32
log "building for i686"
build_target i686-w64-mingw32
wait $fuzz_build || { tail -30 "$BUILD_ROOT/fuzz-build.log" >&2; log "building the fuzzing check failed"; exit 1; }
trap - EXIT
# The tests' release is signed, with a throwaway certificate made here: its
# installer test runs signed files.
log "packing the release for the installer test"
make_test_certificate "$BUILD_ROOT/package/signing"
VORNELLE_SIGN_PKCS12=$BUILD_ROOT/package/signing/cert.p12 VORNELLE_SIGN_PASSWORD=test \
  VORNELLE_SIGN_TIMESTAMP_URL='' make_release "$BUILD_ROOT/package" test

# One CTest run over both builds and the native fuzzing check: each build's
# test programs run one at a time on its own display and Wine prefix (made
# there when missing), beside the other build's and the entries that have a
# display and prefix of their own; the longest start first.
log "running tests"
wine_runs_32bit ||
  log "$(no_32bit_reason): the i686 entries are skipped, and the installer entry runs the amd64 build of the installer"
printf 'subdirs("x86_64" "i686")\n' >"$BUILD_ROOT/CTestTestfile.cmake"
cd "$BUILD_ROOT"
ctest --output-on-failure --timeout 300 -j "${CTEST_PARALLEL:-$(nproc)}" "$@"
