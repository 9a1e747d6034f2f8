#!/usr/bin/env bash
# Installs what is missing, builds the release for 64-bit and 32-bit Windows
# and packs it into dist/: vornelle-VERSION-win32.zip, vornelle-VERSION-win64.zip
# and the installer vornelle-VERSION-setup.exe (the version is the top
# CMakeLists.txt's), the savers' symbols in vornelle-VERSION-symbols.zip and
# SHA256SUMS. With VORNELLE_SIGN_PKCS12 (and VORNELLE_SIGN_PASSWORD) the
# savers, the uninstaller and the installer are signed.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/lib/setup.sh"
source "$ROOT/scripts/lib/package.sh"

ensure_packages
ensure_deps x86_64-w64-mingw32
ensure_deps i686-w64-mingw32
# The build folders of scripts/test.sh: neither command builds twice.
log "building for x86_64"
build_target x86_64-w64-mingw32
log "building for i686"
build_target i686-w64-mingw32

version=$(project_version)
[ -n "$version" ] || { log "no version in CMakeLists.txt"; exit 1; }
dist=$ROOT/dist
log "packing version $version into $dist"
make_release "$dist"
ls -l "$dist"/vornelle-"$version"-* "$dist/SHA256SUMS" >&2
