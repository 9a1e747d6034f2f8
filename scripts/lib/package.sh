# Packing the release: the zip files, the NSIS installer, the savers' symbols
# and SHA256SUMS, the same bytes from every build of one commit, signed when a
# certificate is given. Shared by scripts/package.sh and scripts/test.sh, whose
# installer test runs the very files that ship. Sourced after setup.sh;
# expects both targets to be built.

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
  crlf <"$ROOT/LICENSE" >"$stage/licences/vornelle.txt"
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

# The time of every file in a release: the last commit's, so that each build
# of one commit gives the same bytes.
release_epoch() {
  if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
    echo "$SOURCE_DATE_EPOCH"
  elif ! git -C "$ROOT" log -1 --format=%ct 2>/dev/null; then
    log "no git history and no SOURCE_DATE_EPOCH: the release files take this moment's time"
    date +%s
  fi
}

# Authenticode signing, only when a certificate is given.
signing_wanted() { [ -n "${VORNELLE_SIGN_PKCS12:-}" ]; }

sign_file() { # FILE
  signing_wanted || return 0
  local file=$1 args=(-h sha256 -n "Vornelle Screensaver")
  [ -n "${VORNELLE_SIGN_TIMESTAMP_URL:-}" ] && args+=(-ts "$VORNELLE_SIGN_TIMESTAMP_URL")
  # The password goes through a pipe, not the command line that ps shows.
  if osslsigncode sign -pkcs12 "$VORNELLE_SIGN_PKCS12" \
    -readpass <(printf '%s' "${VORNELLE_SIGN_PASSWORD:-}") "${args[@]}" \
    -in "$file" -out "$file.signed" >/dev/null; then
    mv "$file.signed" "$file"
  else
    rm -f "$file.signed"
    log "could not sign $file"
    return 1
  fi
}

# stage_release DIR: what the release files carry, with the release's time:
# common/ beside the saver, win32/ and win64/ the savers (signed when a
# certificate is given) and symbols/ their unstripped copies.
stage_release() {
  local stage=$1 arch tag
  stage_common "$stage/common" || return 1
  for arch in i686 x86_64; do
    tag=$(release_tag "$arch")
    mkdir -p "$stage/$tag" "$stage/symbols/$tag"
    cp "$BUILD_ROOT/$arch/bin/vornelle.scr" "$stage/$tag/" &&
      cp "$BUILD_ROOT/$arch/symbols/vornelle.scr" "$stage/symbols/$tag/" &&
      sign_file "$stage/$tag/vornelle.scr" || return 1
  done
  find "$stage" -exec touch -h -d "@$(release_epoch)" {} +
}

# stage_uninstaller STAGE [NSIS_TARGET]: STAGE/uninstall.exe, for the
# installer to carry.
stage_uninstaller() {
  local file=$1/uninstall.exe defines=(-DVERSION="$(project_version)")
  [ -n "${2:-}" ] && defines+=(-DTARGET="$2")
  makensis -V2 -NOCD "${defines[@]}" -DOUTFILE="$file" "$ROOT/installer/uninstall.nsi" &&
    sign_file "$file" && touch -d "@$(release_epoch)" "$file"
}

release_tag() { if [ "$1" = i686 ]; then echo win32; else echo win64; fi; }

# pack_zip ZIP DIR: DIR's files in a fixed order, with no owner or extra
# times; zip keeps local time, so the zone is fixed too.
pack_zip() {
  rm -f "$1"
  (cd "$2" && find . -mindepth 1 -printf '%P\n' | LC_ALL=C sort | TZ=UTC zip -X -q "$1" -@)
}

# make_zips STAGE OUT_DIR: vornelle-VERSION-win32.zip and -win64.zip, and the
# symbols of both savers in vornelle-VERSION-symbols.zip.
make_zips() {
  local stage=$1 out=$2 version tag
  version=$(project_version)
  for tag in win32 win64; do
    cp -a "$stage/common" "$stage/zip-$tag"
    cp -a "$stage/$tag/vornelle.scr" "$stage/zip-$tag/"
    pack_zip "$out/vornelle-$version-$tag.zip" "$stage/zip-$tag" || return 1
  done
  pack_zip "$out/vornelle-$version-symbols.zip" "$stage/symbols"
}

# make_installer STAGE OUT_FILE [NSIS_TARGET]: the x86 installer, which
# carries both savers and the staged uninstaller and installs the saver that
# fits; amd64-unicode only for the tests.
make_installer() {
  local stage=$1 outfile=$2 defines=(-DVERSION="$(project_version)")
  [ -n "${3:-}" ] && defines+=(-DTARGET="$3")
  makensis -V2 -NOCD "${defines[@]}" -DOUTFILE="$outfile" -DSTAGE="$stage/common" \
    -DUNINSTALLER="$stage/uninstall.exe" -DSAVER64="$stage/win64/vornelle.scr" \
    -DSAVER32="$stage/win32/vornelle.scr" \
    "$ROOT/installer/vornelle.nsi" && sign_file "$outfile"
}

# make_release OUT_DIR [test]: the release files and their SHA256SUMS.
# scripts/package.sh packs dist/; scripts/test.sh packs the folder its
# installer test runs, with "test": where the x86 installer cannot run, that
# test runs an amd64 build of it, made from the same savers.
make_release() {
  local out stage version test_installer status=0
  out=$(realpath -m "$1")
  version=$(project_version)
  test_installer=$out/vornelle-$version-setup-amd64.exe
  signing_wanted || log "no VORNELLE_SIGN_PKCS12: the release files are not signed"
  stage=$(mktemp -d)
  mkdir -p "$out"
  rm -f "$out/SHA256SUMS" "$test_installer"
  stage_release "$stage" && stage_uninstaller "$stage" && make_zips "$stage" "$out" &&
    make_installer "$stage" "$out/vornelle-$version-setup.exe" &&
    (cd "$out" && sha256sum vornelle-"$version"-{win32.zip,win64.zip,setup.exe,symbols.zip} \
      >SHA256SUMS) || status=1
  if [ $status = 0 ] && [ "${2:-}" = test ] && ! wine_runs_32bit; then
    stage_uninstaller "$stage" amd64-unicode &&
      make_installer "$stage" "$test_installer" amd64-unicode || status=1
  fi
  rm -rf "$stage"
  return $status
}

# make_test_certificate DIR: a throwaway self-signed code-signing certificate,
# DIR/cert.pem and DIR/cert.p12 with the password "test".
make_test_certificate() {
  mkdir -p "$1"
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$1/key.pem" -out "$1/cert.pem" -days 30 \
    -subj "/CN=Vornelle test signing" -addext extendedKeyUsage=codeSigning 2>/dev/null &&
    openssl pkcs12 -export -inkey "$1/key.pem" -in "$1/cert.pem" -out "$1/cert.p12" \
      -passout pass:test
}
