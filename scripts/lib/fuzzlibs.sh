# The fuzzing build's own zlib, libpng and libjpeg-turbo: Debian's sources
# built with clang-14, the sanitizers and libFuzzer's coverage, so that the
# fuzzer sees the edges inside them and learns the file variants that send
# our readers down their rarer paths. Static, into FUZZ_ROOT/libs, built once.
# Sourced by scripts/fuzz.sh after scripts/lib/setup.sh; expects FUZZ_ROOT.

# Bump when the recipe below changes, so that old prefixes are rebuilt.
FUZZ_LIBS_RECIPE=3
# As image/ is built: the same sanitizers, so that a fault inside a library
# is a finding as one of ours is. UndefinedBehaviorSanitizer doubles the time
# of libjpeg-turbo's loops over the blocks (a progressive picture of 100 scans
# takes 9 s instead of 4): the timeouts in scripts/fuzz.sh allow for it. The
# build type adds -O2 -g.
FUZZ_LIBS_CFLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined \
-fno-omit-frame-pointer -g"

fuzz_libs_prefix() { echo "$FUZZ_ROOT/libs"; }
# Sources and build folders stay: sanitizer reports and coverage point into them.
fuzz_libs_sources() { echo "$FUZZ_ROOT/libs-src"; }

# The newest orig tarball of a Debian source package.
orig_tarball() {
  ls "$VORNELLE_DEPS_ROOT"/src/"$1"_*.orig.tar.* 2>/dev/null | sort -V | tail -1
}

fuzz_lib_failed() {
  log "building $1 failed (log: $2)"
  tail -30 "$2" >&2
  return 1
}

# fuzz_lib_build NAME SOURCE TARGET [CMAKE ARGUMENTS...]: one library target,
# built in SOURCE-build, logged to logs/libs-NAME.log.
fuzz_lib_build() {
  local name=$1 src=$2 target=$3
  shift 3
  local logfile=$FUZZ_ROOT/logs/libs-$name.log
  cmake -S "$src" -B "$src-build" -G Ninja -DCMAKE_C_COMPILER=clang-14 \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS="$FUZZ_LIBS_CFLAGS" "$@" \
    >"$logfile" 2>&1 &&
    cmake --build "$src-build" --target "$target" --parallel "$(nproc)" >>"$logfile" 2>&1 ||
    fuzz_lib_failed "$name" "$logfile"
}

# Each fuzz_lib_* builds one library from SOURCE into PREFIX.
fuzz_lib_zlib() {
  local src=$1 prefix=$2 logfile=$FUZZ_ROOT/logs/libs-zlib.log
  # Its CMake file wants the Windows resources Debian's tarball leaves out.
  (cd "$src" && CC=clang-14 CFLAGS="-O2 $FUZZ_LIBS_CFLAGS" ./configure --static &&
    make -j"$(nproc)" libz.a) >"$logfile" 2>&1 || fuzz_lib_failed zlib "$logfile" || return 1
  cp "$src/libz.a" "$prefix/lib/"
  cp "$src/zlib.h" "$src/zconf.h" "$prefix/include/"
}

fuzz_lib_png() {
  local src=$1 prefix=$2
  fuzz_lib_build png "$src" png_static -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DZLIB_LIBRARY="$prefix/lib/libz.a" \
    -DZLIB_INCLUDE_DIR="$prefix/include" || return 1
  cp "$src-build/libpng16.a" "$prefix/lib/libpng.a"
  cp "$src/png.h" "$src/pngconf.h" "$src-build/pnglibconf.h" "$prefix/include/"
}

# C code only, so that the decoder's own edges are instrumented.
fuzz_lib_jpeg() {
  local src=$1 prefix=$2
  fuzz_lib_build jpeg "$src" jpeg-static -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
    -DWITH_SIMD=OFF -DWITH_ARITH_ENC=ON -DWITH_ARITH_DEC=ON -DWITH_TURBOJPEG=OFF || return 1
  cp "$src-build/libjpeg.a" "$prefix/lib/"
  cp "$src-build/jconfig.h" "$src/jpeglib.h" "$src/jmorecfg.h" "$src/jerror.h" \
    "$prefix/include/"
}

ensure_fuzz_libs() {
  local prefix sources package
  prefix=$(fuzz_libs_prefix)
  sources=$(fuzz_libs_sources)
  [ "$(cat "$prefix/.recipe" 2>/dev/null)" = "$FUZZ_LIBS_RECIPE" ] && return 0
  fetch_dep_sources || return 1
  fetch_debian_source zlib || return 1
  log "building zlib, libpng and libjpeg-turbo instrumented (logs: $FUZZ_ROOT/logs/libs-*.log)"
  rm -rf "$prefix" "$sources"
  mkdir -p "$prefix/include" "$prefix/lib" "$sources" "$FUZZ_ROOT/logs"
  for package in zlib libpng1.6 libjpeg-turbo; do
    tar xf "$(orig_tarball "$package")" -C "$sources"
  done
  # Configure steps try one thing at a time: libjpeg-turbo builds beside the
  # other two, which keeps both cores busy.
  local jpeg_pid status=0
  fuzz_lib_jpeg "$(echo "$sources"/libjpeg-turbo-*)" "$prefix" &
  jpeg_pid=$!
  { fuzz_lib_zlib "$(echo "$sources"/zlib-*)" "$prefix" &&
    fuzz_lib_png "$(echo "$sources"/libpng-*)" "$prefix"; } || status=1
  wait "$jpeg_pid" || status=1
  [ "$status" = 0 ] || return 1
  echo "$FUZZ_LIBS_RECIPE" >"$prefix/.recipe"
}
