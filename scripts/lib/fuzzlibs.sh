# shellcheck shell=bash
# What the fuzzing build links and no commit changes, built once per machine
# into VORNELLE_DEPS_ROOT/fuzz-N: Debian's zlib, libpng and libjpeg-turbo with
# clang-14, the sanitizers and libFuzzer's coverage (the fuzzer learns their
# edges, and a fault inside them is a finding as one of ours is), giflib with
# the sanitizers only (gif_diff's yardstick, no progress of ours), and a
# 12-bit cjpeg for the seeds. Sources and build folders stay there: sanitizer
# reports and --coverage point into them. Sourced by scripts/fuzz.sh and
# scripts/test.sh, after scripts/lib/setup.sh.

FUZZ_PACKAGES=(cmake ninja-build make clang-14 libclang-rt-14-dev dpkg-dev bzip2 xz-utils)

# Bump when the recipe below changes, so that a new folder is built.
FUZZ_DEPS_RECIPE=1
FUZZ_DEPS=$VORNELLE_DEPS_ROOT/fuzz-$FUZZ_DEPS_RECIPE
FUZZ_SANITIZER_CFLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined \
-fno-omit-frame-pointer -g"
# UndefinedBehaviorSanitizer doubles the time of libjpeg-turbo's loops over
# the blocks: the timeouts in scripts/fuzz.sh allow for it.
FUZZ_LIBS_CFLAGS="-fsanitize=fuzzer-no-link $FUZZ_SANITIZER_CFLAGS"

fuzz_source() { echo "$FUZZ_DEPS"/src/"$1"-*; }

fuzz_lib_failed() {
  log "building $1 failed (log: $FUZZ_DEPS/logs/$1.log)"
  tail -30 "$FUZZ_DEPS/logs/$1.log" >&2
  return 1
}

# fuzz_lib_build NAME SOURCE TARGET [CMAKE ARGUMENTS...]: one target, built
# in build/NAME; later arguments override the defaults.
fuzz_lib_build() {
  local name=$1 src=$2 target=$3 logfile=$FUZZ_DEPS/logs/$1.log
  shift 3
  cmake -S "$src" -B "$FUZZ_DEPS/build/$name" -G Ninja -DCMAKE_C_COMPILER=clang-14 \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS="$FUZZ_LIBS_CFLAGS" "$@" \
    >"$logfile" 2>&1 &&
    cmake --build "$FUZZ_DEPS/build/$name" --target "$target" >>"$logfile" 2>&1 ||
    fuzz_lib_failed "$name"
}

fuzz_lib_zlib() {
  local src
  src=$(fuzz_source zlib)
  # Its CMake file wants the Windows resources Debian's tarball leaves out.
  (cd "$src" && CC=clang-14 CFLAGS="-O2 $FUZZ_LIBS_CFLAGS" ./configure --static &&
    make -j"$(nproc)" libz.a) >"$FUZZ_DEPS/logs/zlib.log" 2>&1 || fuzz_lib_failed zlib || return 1
  cp "$src/libz.a" "$FUZZ_DEPS/lib/" && cp "$src/zlib.h" "$src/zconf.h" "$FUZZ_DEPS/include/"
}

fuzz_lib_png() {
  local src
  src=$(fuzz_source libpng)
  fuzz_lib_build png "$src" png_static -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DZLIB_LIBRARY="$FUZZ_DEPS/lib/libz.a" \
    -DZLIB_INCLUDE_DIR="$FUZZ_DEPS/include" || return 1
  cp "$FUZZ_DEPS/build/png/libpng16.a" "$FUZZ_DEPS/lib/libpng.a" &&
    cp "$src/png.h" "$src/pngconf.h" "$FUZZ_DEPS/build/png/pnglibconf.h" "$FUZZ_DEPS/include/"
}

# C code only, so that the decoder's own edges are instrumented.
fuzz_lib_jpeg() {
  local src
  src=$(fuzz_source libjpeg-turbo)
  fuzz_lib_build jpeg "$src" jpeg-static -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
    -DWITH_SIMD=OFF -DWITH_ARITH_ENC=ON -DWITH_ARITH_DEC=ON -DWITH_TURBOJPEG=OFF || return 1
  cp "$FUZZ_DEPS/build/jpeg/jconfig.h" "$src/jpeglib.h" "$src/jmorecfg.h" "$src/jerror.h" \
    "$FUZZ_DEPS/include/" && cp "$FUZZ_DEPS/build/jpeg/libjpeg.a" "$FUZZ_DEPS/lib/"
}

fuzz_lib_gif() {
  local src files
  src=$(fuzz_source giflib)
  files=("${GIFLIB_SOURCES[@]/#/$src/}")
  mkdir -p "$FUZZ_DEPS/build/gif"
  # shellcheck disable=SC2086 # the flags are words
  (cd "$FUZZ_DEPS/build/gif" && clang-14 -O2 -DNDEBUG $FUZZ_SANITIZER_CFLAGS -w -c \
    "${files[@]/%/.c}" &&
    ar rcs "$FUZZ_DEPS/lib/libgif.a" ./*.o) >"$FUZZ_DEPS/logs/gif.log" 2>&1 ||
    fuzz_lib_failed gif || return 1
  cp "$src/gif_lib.h" "$FUZZ_DEPS/include/"
}

# The 2.1 library is 8- or 12-bit at compile time, and Debian's is 8-bit: a
# cjpeg of its own, without sanitizers, only to write 12-bit seeds. Fuzzing
# goes on without it.
fuzz_lib_cjpeg12() {
  fuzz_lib_build cjpeg12 "$(fuzz_source libjpeg-turbo)" cjpeg-static -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS= -DWITH_12BIT=1 -DENABLE_SHARED=OFF -DENABLE_STATIC=ON &&
    cp "$FUZZ_DEPS/build/cjpeg12/cjpeg-static" "$FUZZ_DEPS/bin/cjpeg12" ||
    log "no 12-bit cjpeg: fuzzing goes on without 12-bit seeds"
}

build_fuzz_deps() {
  local package jpeg status=0
  fetch_dep_sources && fetch_debian_source zlib && fetch_debian_source giflib || return 1
  log "building the fuzzing libraries for this machine (logs: $FUZZ_DEPS/logs)"
  rm -rf "$FUZZ_DEPS"
  mkdir -p "$FUZZ_DEPS"/{bin,build,include,lib,logs,src}
  for package in zlib libpng1.6 libjpeg-turbo giflib; do
    tar xf "$(ls "$VORNELLE_DEPS_ROOT"/src/"$package"_*.orig.tar.* | sort -V | tail -1)" \
      -C "$FUZZ_DEPS/src" || return 1
  done
  # Configure steps try one thing at a time: libjpeg-turbo builds beside the
  # others, which keeps both cores busy.
  { fuzz_lib_jpeg && fuzz_lib_cjpeg12; } &
  jpeg=$!
  { fuzz_lib_zlib && fuzz_lib_png && fuzz_lib_gif; } || status=1
  wait "$jpeg" || status=1
  [ "$status" = 0 ] && touch "$FUZZ_DEPS/.done"
}

# Clones on one machine share the folder: a second run waits for the first.
ensure_fuzz_deps() {
  [ -f "$FUZZ_DEPS/.done" ] && return 0
  mkdir -p "$VORNELLE_DEPS_ROOT"
  (
    flock -n 9 || { log "waiting for another run to build $FUZZ_DEPS" && flock 9; } || exit 1
    [ -f "$FUZZ_DEPS/.done" ] || build_fuzz_deps
  ) 9>"$FUZZ_DEPS.lock"
}
