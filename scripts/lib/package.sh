# Packing the release: the zip files and the NSIS installer. Shared by
# scripts/package.sh and scripts/test.sh, whose installer test runs the very
# files that ship. Sourced after setup.sh; expects both targets to be built.

project_version() {
  sed -n 's/^project(vornelle VERSION \([0-9][0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt"
}

# Plain text for Notepad: CRLF line ends.
crlf() { sed 's/\r*$/\r/'; }

# stage_common DIR: what both zips and the installer carry beside the saver.
stage_common() {
  local stage=$1 src=$VORNELLE_DEPS_ROOT/src version
  version=$(project_version)
  fetch_dep_sources
  rm -rf "$stage"
  mkdir -p "$stage/licences"
  cp "$BUILD_ROOT/x86_64/bin/test.gif" "$stage/"
  sed "s/@VERSION@/$version/" "$ROOT/installer/readme.txt" | crlf >"$stage/readme.txt"
  # The notices that binary distributions must carry, from the very sources built.
  tar -xzOf "$src"/libpng1.6_*.orig.tar.gz --wildcards --no-wildcards-match-slash '*/LICENSE' |
    crlf >"$stage/licences/libpng.txt"
  tar -xzOf "$src"/libjpeg-turbo_*.orig.tar.gz --wildcards --no-wildcards-match-slash \
    '*/LICENSE.md' | crlf >"$stage/licences/libjpeg-turbo.txt"
  tar -xzOf "$src"/libjpeg-turbo_*.orig.tar.gz --wildcards --no-wildcards-match-slash \
    '*/README.ijg' | crlf >"$stage/licences/libjpeg-ijg.txt"
  # zlib's notice is the head of its header.
  {
    sed -n '2s/^ *//p' /usr/x86_64-w64-mingw32/include/zlib.h | sed 's/^/zlib /'
    echo
    sed -n '/Copyright (C)/,/madler@/{s/^  //;p}' /usr/x86_64-w64-mingw32/include/zlib.h
  } | crlf >"$stage/licences/zlib.txt"
  local f
  for f in "$stage"/licences/*; do
    [ -s "$f" ] || { log "no licence text for $(basename "$f")"; return 1; }
  done
}

# make_zips OUT_DIR: vornelle-VERSION-win32.zip and -win64.zip.
make_zips() {
  local out version arch tag stage
  out=$(realpath -m "$1")
  version=$(project_version)
  mkdir -p "$out"
  stage=$(mktemp -d)
  stage_common "$stage/common"
  for arch in i686 x86_64; do
    tag=win64
    [ "$arch" = i686 ] && tag=win32
    rm -rf "$stage/$tag"
    cp -r "$stage/common" "$stage/$tag"
    cp "$BUILD_ROOT/$arch/bin/vornelle.scr" "$stage/$tag/"
    rm -f "$out/vornelle-$version-$tag.zip"
    (cd "$stage/$tag" && zip -X -q -r "$out/vornelle-$version-$tag.zip" \
      vornelle.scr test.gif readme.txt licences)
  done
  rm -rf "$stage"
}

# make_installer OUT_FILE [NSIS_TARGET]: the x86 installer, which carries both
# savers and its uninstaller and installs the saver that fits; amd64-unicode
# only for the tests.
make_installer() {
  local outfile=$1 stage status=0
  local defines=(-DVERSION="$(project_version)")
  [ -n "${2:-}" ] && defines+=(-DTARGET="$2")
  stage=$(mktemp -d)
  mkdir -p "$(dirname "$outfile")"
  stage_common "$stage" &&
    makensis -V2 -NOCD "${defines[@]}" -DOUTFILE="$stage/uninstall.exe" \
      "$ROOT/installer/uninstall.nsi" &&
    makensis -V2 -NOCD "${defines[@]}" -DOUTFILE="$outfile" -DSTAGE="$stage" \
      -DSAVER64="$BUILD_ROOT/x86_64/bin/vornelle.scr" -DSAVER32="$BUILD_ROOT/i686/bin/vornelle.scr" \
      "$ROOT/installer/vornelle.nsi" || status=1
  rm -rf "$stage"
  return $status
}

# make_release OUT_DIR: the three release files. scripts/package.sh packs
# dist/, scripts/test.sh the folder its installer test runs.
make_release() {
  local out=$1
  make_zips "$out"
  make_installer "$out/vornelle-$(project_version)-setup.exe"
}

# make_test_installer OUT_DIR: where the x86 installer cannot run, the
# installer test runs an amd64 build of it.
make_test_installer() {
  rm -f "$1/vornelle-$(project_version)-setup-amd64.exe"
  wine_runs_32bit ||
    make_installer "$1/vornelle-$(project_version)-setup-amd64.exe" amd64-unicode
}
