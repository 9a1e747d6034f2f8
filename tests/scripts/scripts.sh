#!/usr/bin/env bash
# The scripts as a user meets them: a Wine prefix of the user's is neither
# taken nor cleared, and the set-up goes on without wine32 alone when a
# package cannot be had; the release packed twice is the same bytes.
# Usage: scripts.sh BUILD_ROOT (both builds in place)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build_root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }

# An exported WINEPREFIX is the user's: run.sh runs in its own. One named on
# purpose that is neither empty nor a Wine prefix is refused.
mkdir "$work/user"
echo mine >"$work/user/notes.txt"
user_files_intact() { [ "$(ls -A "$work/user")" = notes.txt ] && [ "$(cat "$work/user/notes.txt")" = mine ]; }
while IFS='|' read -r variable expected; do
  env APT_TRIES=1 "$variable=$work/user" "$root/scripts/run.sh" --time 3 >"$work/run.log" 2>&1
  code=$?
  { [ "$expected" = runs ] && [ $code = 0 ]; } || { [ "$expected" = refused ] && [ $code != 0 ]; } ||
    fail "run.sh with $variable set ended with $code: $(tail -3 "$work/run.log")"
  user_files_intact || fail "run.sh with $variable set changed the folder it names"
done <<'CASES'
WINEPREFIX|runs
VORNELLE_WINEPREFIX|refused
CASES

# A bad registry day, simulated: the packages named cannot be installed.
# wine32 alone may be missing: the run goes on without the 32-bit build.
setup_with_failing() {
  (
    ROOT=$root BUILD_ROOT=$work/build APT_TRIES=3 APT_PAUSE=0 failing=$1
    source "$root/scripts/lib/setup.sh"
    host_32bit=yes
    PACKAGES=(cmake vornelle-extra)
    package_installed() { [ "$1" = cmake ]; }
    dpkg() { echo i386; }
    apt-get() {
      local p
      for p in $failing; do [[ " $* " == *" $p "* ]] && return 100; done
      return 0
    }
    ensure_packages || exit
    # A 32-bit Windows program, as far as its header tells.
    printf 'MZ%58s\x40\0\0\0PE\0\0\x4c\x01' '' >"$work/i386.exe"
    wine_cannot_run "$work/i386.exe"
  ) 2>&1
}
while IFS='|' read -r failing code said; do
  out=$(setup_with_failing "$failing")
  have=$?
  [ "$have" = "$code" ] || fail "with $failing failing the set-up ended with $have: $out"
  [[ $out == *"$said"* ]] || fail "with $failing failing the set-up did not say '$said': $out"
done <<'CASES'
wine32:i386|0|skipped: wine32:i386 is not installed
vornelle-extra|1|could not install vornelle-extra
wine32:i386 vornelle-extra|1|try 2 of 3
CASES

# The release packed twice from one build, seconds apart: the same bytes, as
# SHA256SUMS tells; no build folder in the savers' symbols.
(
  ROOT=$root BUILD_ROOT=$build_root
  source "$root/scripts/lib/setup.sh" && source "$root/scripts/lib/package.sh"
  unset VORNELLE_SIGN_PKCS12
  make_release "$work/release1" && sleep 2 && make_release "$work/release2"
) >"$work/release.log" 2>&1 || fail "packing the release failed: $(tail -3 "$work/release.log")"
for f in "$work"/release1/*; do
  cmp "$f" "$work/release2/${f##*/}" || fail "two packings of one build differ in ${f##*/}"
done
(cd "$work/release1" && sha256sum -c --quiet SHA256SUMS) || fail "SHA256SUMS does not check"
grep -l "$root" "$build_root"/*/symbols/vornelle.scr && fail "a build folder in the symbols"
exit $status
