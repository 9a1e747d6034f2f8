# Set-up shared by scripts/test.sh, scripts/run.sh and scripts/package.sh:
# Debian packages, the target builds of libpng and libjpeg-turbo, the Wine
# prefix and the build.
# Every step checks first, so a second run costs a few seconds.
# Sourced, not run; expects ROOT (the repository) to be set.

VORNELLE_DEPS_ROOT=${VORNELLE_DEPS_ROOT:-/opt/vornelle}
BUILD_ROOT=${BUILD_ROOT:-$ROOT/build}
# The prefix of run.sh and the benchmarks: ours under the build folder unless
# VORNELLE_WINEPREFIX (or run.sh --prefix) names one. An exported WINEPREFIX
# is a user's own and is not taken. Each build's tests have their own.
export WINEPREFIX=${VORNELLE_WINEPREFIX:-$BUILD_ROOT/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}

PACKAGES=(
  cmake ninja-build dpkg-dev nasm python3 python3-pil clang-format
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
  libz-mingw-w64-dev googletest
  wine wine64 xvfb xauth x11-utils libgl1-mesa-dri libglx-mesa0 xserver-xorg-video-dummy
  openbox nsis zip osslsigncode openssl
)

log() { printf '[vornelle] %s\n' "$*" >&2; }

source "$ROOT/scripts/lib/wine.sh"
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-$WINE_NO_SETUP_PROMPTS}

# A mirror mid-sync fails a download for a while, so each apt step is tried
# a few times with a pause before it counts as failed.
APT_TRIES=${APT_TRIES:-3}
APT_PAUSE=${APT_PAUSE:-10}
apt_retry() {
  local try
  for ((try = 1; ; try++)); do
    "$@" && return 0
    [ "$try" -lt "$APT_TRIES" ] || return 1
    log "apt-get failed (try $try of $APT_TRIES); trying again in $APT_PAUSE s"
    sleep "$APT_PAUSE"
  done
}

apt_updated=0
apt_update_once() {
  [ "$apt_updated" = 1 ] && return 0
  apt_updated=1
  # A list that still fails leaves the old one, or none: what cannot be
  # installed then says so.
  apt_retry apt-get update -qq || log "apt-get update failed: going on with the lists apt has"
}

apt_install() {
  DEBIAN_FRONTEND=noninteractive apt_retry apt-get install -y -qq "$@" >/dev/null
}

ensure_packages() {
  local missing=() p
  # wine32 comes from the i386 architecture: the 32-bit build runs there. On a
  # machine that runs no 32-bit code it would only make `wine` fail, since
  # Debian's wine prefers the 32-bit loader.
  if ! host_runs_32bit && package_installed wine32:i386; then
    log "removing wine32:i386: this machine runs no 32-bit programs"
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq wine32:i386 >/dev/null
  fi
  for p in "${PACKAGES[@]}"; do
    package_installed "$p" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    log "installing ${missing[*]}"
    apt_update_once
    apt_install "${missing[@]}" || { log "could not install ${missing[*]}"; return 1; }
  fi
  if host_runs_32bit && ! package_installed wine32:i386; then
    ensure_wine32
  fi
  return 0
}

# Without wine32 the run goes on as on a machine that runs no 32-bit code:
# the i686 entries are skipped, saying why, rather than every test failing.
ensure_wine32() {
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    log "adding the i386 architecture"
    dpkg --add-architecture i386
    apt_updated=0
  fi
  log "installing wine32:i386"
  apt_update_once
  apt_install wine32:i386 && return 0
  log "WARNING: wine32:i386 could not be installed: the 32-bit build goes untested, its i686 entries skipped"
}

# apt-get source needs a deb-src line for every deb line we have.
ensure_deb_src() {
  local src=/etc/apt/sources.list.d/vornelle-deb-src.sources
  if grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    return 0
  fi
  log "adding deb-src sources"
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$src"
  else
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >/etc/apt/sources.list.d/vornelle-deb-src.list
  fi
  apt_updated=0
  apt_update_once
}

# Debian's orig tarballs of libpng 1.6 and libjpeg-turbo.
fetch_dep_sources() {
  fetch_debian_source libpng1.6 && fetch_debian_source libjpeg-turbo
}

# fetch_debian_source PACKAGE: its orig tarball into VORNELLE_DEPS_ROOT/src,
# unless one is there. The newest version's files may answer 404 on a mirror
# (zlib's security update did), so every version apt knows is tried.
fetch_debian_source() {
  local package=$1 dir=$VORNELLE_DEPS_ROOT/src version
  mkdir -p "$dir"
  ls "$dir"/"$package"_*.orig.tar.* >/dev/null 2>&1 && return 0
  ensure_deb_src
  log "downloading the Debian source of $package"
  for version in "" $(apt-cache showsrc "$package" 2>/dev/null | sed -n 's/^Version: //p'); do
    (cd "$dir" && apt-get source --download-only "$package${version:+=$version}" >/dev/null 2>&1) ||
      true
    ls "$dir"/"$package"_*.orig.tar.* >/dev/null 2>&1 && return 0
  done
  log "no $package source"
  return 1
}

# Bump when the recipe below changes, so that old prefixes are rebuilt.
DEPS_RECIPE=2

deps_prefix() { echo "$VORNELLE_DEPS_ROOT/deps-$DEPS_RECIPE/$1"; }

ensure_deps() {
  [ -f "$(deps_prefix "$1")/.done" ] || build_deps "$1" || return 1
  ensure_gtest "$1"
}

build_deps() {
  local triplet=$1 prefix
  prefix=$(deps_prefix "$triplet")
  fetch_dep_sources
  log "building libjpeg-turbo and libpng for $triplet"
  # A fixed folder of ours: the assembler writes its sources' paths into the
  # objects, and so into the symbols of every build; --reproducible keeps
  # the time out of them.
  local work=$VORNELLE_DEPS_ROOT/work-$DEPS_RECIPE/$triplet
  rm -rf "$work" "$prefix"
  mkdir -p "$work" "$prefix"
  local toolchain=$ROOT/cmake/mingw-w64-${triplet%%-*}.cmake
  tar xzf "$VORNELLE_DEPS_ROOT"/src/libjpeg-turbo_*.orig.tar.gz -C "$work"
  tar xzf "$VORNELLE_DEPS_ROOT"/src/libpng1.6_*.orig.tar.gz -C "$work"

  cmake -S "$work"/libjpeg-turbo-* -B "$work/jpeg-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
    -DWITH_TURBOJPEG=OFF -DREQUIRE_SIMD=ON -DCMAKE_ASM_NASM_COMPILER=nasm \
    -DCMAKE_ASM_NASM_FLAGS=--reproducible >"$work/jpeg.log" 2>&1 &&
    cmake --build "$work/jpeg-build" --target jpeg-static >>"$work/jpeg.log" 2>&1 ||
    { tail -30 "$work/jpeg.log" >&2; return 1; }
  mkdir -p "$prefix/lib" "$prefix/include"
  cp "$work/jpeg-build/libjpeg.a" "$prefix/lib/"
  cp "$work/jpeg-build/jconfig.h" "$work"/libjpeg-turbo-*/jpeglib.h \
    "$work"/libjpeg-turbo-*/jmorecfg.h "$work"/libjpeg-turbo-*/jerror.h "$prefix/include/"

  cmake -S "$work"/libpng-* -B "$work/png-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_FILES=ON \
    -DZLIB_LIBRARY=/usr/$triplet/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/$triplet/include \
    >"$work/png.log" 2>&1 &&
    cmake --build "$work/png-build" --target png_static >>"$work/png.log" 2>&1 ||
    { tail -30 "$work/png.log" >&2; return 1; }
  cp "$work/png-build/libpng16.a" "$prefix/lib/libpng.a"
  cp "$work"/libpng-*/png.h "$work"/libpng-*/pngconf.h "$work/png-build/pnglibconf.h" \
    "$prefix/include/"

  rm -rf "$work"
  touch "$prefix/.done"
}

# ensure_gtest TRIPLET: Debian's GoogleTest built for the target into its deps
# prefix, once per machine and package version rather than in every build.
ensure_gtest() {
  local triplet=$1 prefix version work
  prefix=$(deps_prefix "$triplet")
  version=$(dpkg-query -W -f='${Version}' googletest)
  [ "$(cat "$prefix/.gtest" 2>/dev/null)" = "$version" ] && return 0
  log "building GoogleTest $version for $triplet"
  work=$(mktemp -d)
  # Line tables are all a test's backtrace needs.
  cmake -S /usr/src/googletest -B "$work" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-${triplet%%-*}.cmake" \
    -DCMAKE_CXX_FLAGS=-g1 -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=OFF \
    >"$work.log" 2>&1 && cmake --build "$work" >>"$work.log" 2>&1 &&
    cmake --install "$work" >>"$work.log" 2>&1 ||
    { tail -30 "$work.log" >&2; rm -rf "$work" "$work.log"; return 1; }
  rm -rf "$work" "$work.log"
  echo "$version" >"$prefix/.gtest"
}

# giflib's library files: its plain Makefile builds tools we need not.
GIFLIB_SOURCES=(dgif_lib egif_lib gifalloc gif_err gif_hash openbsd-reallocarray quantize)

# ensure_giflib TRIPLET: giflib 5.2 built for the target, only for the
# benchmarks to compare our GIF reader with; prints its prefix.
ensure_giflib() {
  local triplet=$1 prefix=$VORNELLE_DEPS_ROOT/giflib-1/$1
  if [ ! -f "$prefix/.done" ]; then
    local dir=$VORNELLE_DEPS_ROOT/src
    fetch_debian_source giflib || return 1
    log "building giflib for $triplet"
    local work src f
    work=$(mktemp -d)
    tar xzf "$dir"/giflib_*.orig.tar.gz -C "$work"
    src=$(echo "$work"/giflib-*)
    for f in "${GIFLIB_SOURCES[@]}"; do
      "$triplet-gcc-posix" -O2 -c "$src/$f.c" -o "$work/$f.o" ||
        { rm -rf "$work"; return 1; }
    done
    rm -rf "$prefix"
    mkdir -p "$prefix/lib" "$prefix/include"
    "$triplet-ar" rcs "$prefix/lib/libgif.a" "$work"/*.o
    cp "$src/gif_lib.h" "$prefix/include/"
    rm -rf "$work"
    touch "$prefix/.done"
  fi
  echo "$prefix"
}

# A new prefix takes about ten seconds; tests must not race its creation.
# Prefixes made before wine32 was installed, or for another kind of machine,
# are made again.
# A prefix named on purpose that was made elsewhere is used as it is.
ensure_wine_prefix() {
  wine_prefix_ready && return 0
  if [ -f "$WINEPREFIX/system.reg" ] && ! wine_prefix_ours; then
    grep -q '^#arch=win32' "$WINEPREFIX/system.reg" || return 0
    log "$WINEPREFIX is a 32-bit Windows prefix: it cannot run the 64-bit build"
    return 1
  fi
  log "creating Wine prefix $WINEPREFIX"
  make_wine_prefix
}

# build_target TRIPLET [BUILD_TYPE]: configure once, then an incremental build.
build_target() {
  local triplet=$1 type=${2:-Release} arch=${1%%-*}
  local dir=$BUILD_ROOT/$arch deps
  deps=$(deps_prefix "$triplet")
  # Libraries of another recipe: configured anew, since CMake keeps the paths
  # it found.
  grep -qsx "VORNELLE_DEPS_PREFIX:PATH=$deps" "$dir/CMakeCache.txt" || rm -f "$dir/CMakeCache.txt"
  if [ ! -f "$dir/CMakeCache.txt" ] || [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-$arch.cmake" \
      -DVORNELLE_DEPS_PREFIX="$deps" -DVORNELLE_WERROR=ON >/dev/null
  fi
  cmake --build "$dir"
}

setup_all() {
  ensure_packages
  ensure_deps x86_64-w64-mingw32
  ensure_wine_prefix
}
