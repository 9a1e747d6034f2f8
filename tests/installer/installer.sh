#!/usr/bin/env bash
# The release as a user gets it: the zip files' contents, then the shipped x86
# installer in a fresh Wine prefix and on a display of its own: a silent
# install, the saver started as Windows starts it and its settings dialog, the
# per-user default picture of other users, and a silent uninstall.
# KIND is the Windows it runs on: wow64 (64-bit Windows: the 64-bit saver
# must land in the real system folder) or win32 (32-bit Windows). BIN_DIR is
# the build of the saver that must land there, with its screen capture tool.
# Where 32-bit code does not run, wow64 runs an amd64 build of the installer
# and win32 is skipped.
# Usage: installer.sh KIND PACKAGE_DIR VERSION BIN_DIR PYTHON_WITH_PILLOW
set -uo pipefail
[ $# -eq 5 ] || { echo "usage: installer.sh wow64|win32 PACKAGE_DIR VERSION BIN_DIR PYTHON"; exit 2; }
kind=$1 packages=$2 version=$3 bin=$4 python=$5
here=$(cd "$(dirname "$0")" && pwd)
checks=$here/check_package.py
source "$here/../../scripts/lib/wine.sh"
wine_cannot_run "$bin/vornelle.scr" && exit $SKIP_CODE
setup=$packages/vornelle-$version-setup.exe
prefix_kind=$kind
if [ "$kind" = wow64 ] && ! wine_runs_32bit; then
  # The x86 installer is a 32-bit program: its amd64 build stands in, on a
  # 64-bit Windows without the 32-bit subsystem.
  setup=$packages/vornelle-$version-setup-amd64.exe
  prefix_kind=win64
fi
[ -f "$setup" ] || { echo "no $setup: scripts/test.sh packs it"; exit 1; }
"$python" "$checks" zips "$packages" "$version" || exit 1

WINEPREFIX=$(dirname "$bin")/wineprefix-installer
export WINEPREFIX WINEDEBUG=-all
wine_test_overrides
# On 64-bit Windows everything runs as Windows runs its own programs, 64-bit:
# a 32-bit reg.exe would read the 32-bit registry view, a 32-bit process find
# syswow64 in place of system32.
wine=wine
[ "$kind" = wow64 ] && wine=$WINE64
work=$(mktemp -d)
saver_pid=
finish() {
  [ -n "$saver_pid" ] && kill "$saver_pid" 2>/dev/null
  wineserver -k >/dev/null 2>&1
  stop_xvfb "$work/x"
  rm -rf "$work"
}
trap finish EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }

# The value of a registry entry, or nothing.
reg_value() { # key name
  "$wine" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    sed -n "s/^    $2    REG_[A-Z_]*    //p"
}
# Runs a command line as Windows would, without its quotes going through argv:
# from a batch file, its operators escaped so that the line's own cmd, not the
# batch, acts on them (our lines have none inside quotes). Prints its exit
# code in full: a Unix status keeps only the low byte, and 3010 is not 194.
run_line() {
  printf '@%s >nul 2>&1\r\n@echo %%errorlevel%%\r\n' \
    "$(printf '%s' "$1" | sed 's/[&|<>]/^&/g')" >"$work/line.bat"
  "$wine" cmd /c "$(winepath -w "$work/line.bat")" 2>/dev/null | tr -d '\r' | tail -1
}
# Waits until the settings dialog shows (or 10 s).
dialog_shows() {
  for _ in $(seq 50); do
    xwininfo -root -tree | grep -q '"Vornelle Saver"' && return 0
    sleep 0.2
  done
  return 1
}
# The uninstaller as Apps runs it, silent: it returns when it is done, with
# its exit code. Its own file, and so the folder, can go only after its end.
uninstall() { # EXPECTED_EXIT_CODE
  local code
  code=$(run_line "$(reg_value "$uninstall_key" QuietUninstallString)")
  [ "$code" = "$1" ] || fail "the uninstall ended with $code, not $1"
  "$wine" reg query "$uninstall_key" >/dev/null 2>&1 && fail "the uninstall returned before its work was done"
  for _ in $(seq 50); do
    [ -e "$folder" ] || return 0
    sleep 0.1
  done
  fail "$folder still there 5 s after the uninstall"
}
desktop='HKCU\Control Panel\Desktop'

make_wine_prefix "$prefix_kind" || exit 1
start_xvfb "$work/x" || exit 1
wineserver -p >/dev/null 2>&1
wine wineboot >/dev/null 2>&1

install_line="\"$(winepath -w "$setup")\" /S"
code=$(run_line "$install_line")
[ "$code" = 0 ] || { echo "FAIL: the silent install ended with $code"; exit 1; }
system=$WINEPREFIX/drive_c/windows/system32
[ ! -e "$WINEPREFIX/drive_c/windows/syswow64/vornelle.scr" ] || fail "a saver in syswow64"
folder_name='C:\Program Files\Vornelle Screensaver'
folder="$WINEPREFIX/drive_c/Program Files/Vornelle Screensaver"
installed=("$system/vornelle.scr" "$folder/test.gif" "$folder/readme.txt"
  "$folder/uninstall.exe" "$folder"/licences/{vornelle,zlib,libpng,libjpeg-turbo,libjpeg-ijg}.txt)
for f in "${installed[@]}"; do
  [ -s "$f" ] || fail "not installed: $f"
done
# The saver of the release, as its zip carries it.
tag=win64
[ "$kind" = win32 ] && tag=win32
"$python" -c 'import sys, zipfile
sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read("vornelle.scr"))' \
  "$packages/vornelle-$version-$tag.zip" >"$work/shipped.scr"
cmp -s "$system/vornelle.scr" "$work/shipped.scr" || fail "system32 holds another saver"
# scripts/test.sh signs the tests' release with a throwaway certificate.
certificate=$packages/signing/cert.pem
if [ -f "$certificate" ]; then
  for f in "$setup" "$system/vornelle.scr" "$folder/uninstall.exe"; do
    osslsigncode verify -CAfile "$certificate" -in "$f" >/dev/null 2>&1 ||
      fail "not signed by the test certificate: $f"
  done
fi
config='HKCU\Software\Ombrelune\vornelle\Config'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vornelle'
active_setup_key='HKLM\Software\Microsoft\Active Setup\Installed Components\Vornelle'
# Apps shows EstimatedSize: the installed files in KiB, within one KiB a file.
kib=0
for f in "${installed[@]}"; do kib=$((kib + ($(stat -c %s "$f") + 1023) / 1024)); done
estimated=$(($(reg_value "$uninstall_key" EstimatedSize)))
[ $((estimated > kib ? estimated - kib : kib - estimated)) -le ${#installed[@]} ] ||
  fail "EstimatedSize is $estimated KiB, the installed files take $kib KiB"
picture=$(reg_value "$config" Picture)
[ "$picture" = "$folder_name\\test.gif" ] || fail "Picture is '$picture'"
# The machine's keys in its own view, none in the 32-bit one of 64-bit Windows.
for key in "$uninstall_key" "$active_setup_key"; do
  "$wine" reg query "$key" >/dev/null 2>&1 || fail "no key $key"
  "$wine" reg query "${key/Software/Software\\Wow6432Node}" >/dev/null 2>&1 &&
    fail "key in the 32-bit view: $key"
done

# Windows starts a saver through its short name, in the system folder.
cd "$system" || exit 1
short=$("$wine" cmd /c 'for %I in (C:\windows\system32\vornelle.scr) do @echo %~sI' | tr -d '\r')
"$wine" "$short" /s >/dev/null 2>&1 &
saver_pid=$!
frames=()
for n in 1 2 3; do
  sleep 1.2
  "$wine" "$bin/screen_capture.exe" "$(winepath -w "$work/frame$n.png")"
  frames+=("$work/frame$n.png")
done
"$python" "$checks" frames "$folder/test.gif" "${frames[@]}" || status=1
kill "$saver_pid"
wait "$saver_pid" 2>/dev/null

"$wine" "$short" /c >/dev/null 2>&1 &
saver_pid=$!
dialog_shows || fail "no settings dialog"
kill "$saver_pid"
wait "$saver_pid" 2>/dev/null
saver_pid=

# An older installer over a newer version refuses and changes nothing.
"$wine" reg add "$uninstall_key" /v DisplayVersion /d 99.0 /f >/dev/null 2>&1
touch "$work/before"
code=$(run_line "$install_line")
[ "$code" = 1638 ] || fail "an older installer over version 99.0 ended with $code"
[ "$(reg_value "$uninstall_key" DisplayVersion)" = 99.0 ] || fail "the older installer went on"
changed=$(find "$system/vornelle.scr" "$folder" -cnewer "$work/before")
[ -z "$changed" ] || fail "the older installer changed $changed"
"$wine" reg add "$uninstall_key" /v DisplayVersion /d "$version" /f >/dev/null 2>&1

# The same version again, over another saver that runs from the system
# folder: the package's saver takes its place, the old one goes (at once, or
# at the restart that the exit code asks for).
cp "$system/vornelle.scr" "$work/old.scr"
echo "another build" >>"$work/old.scr"
cp "$work/old.scr" "$system/vornelle.scr"
"$wine" "$short" /c >/dev/null 2>&1 &
saver_pid=$!
dialog_shows || fail "the old saver did not start"
code=$(run_line "$install_line")
[ "$code" = 0 ] || [ "$code" = 3010 ] || fail "the install over a running saver ended with $code"
cmp -s "$system/vornelle.scr" "$work/shipped.scr" || fail "the running saver was not replaced"
old_left() {
  for f in "$system"/*; do [ -f "$f" ] && cmp -s "$f" "$work/old.scr" && return 0; done
  return 1
}
[ "$code" = 3010 ] || ! old_left || fail "exit code 0 with the old saver left for a restart"
kill "$saver_pid"
wait "$saver_pid" 2>/dev/null
saver_pid=
"$wine" wineboot -r >/dev/null 2>&1
! old_left || fail "the old saver is still there after the restart"

# A new saver that cannot be written (a folder holds its name) leaves the old
# one in place and working.
cp "$work/old.scr" "$system/vornelle.scr"
mkdir "$system/vornelle.scr.new"
code=$(run_line "$install_line")
[ "$code" = 1603 ] || fail "the install whose saver could not be written ended with $code"
cmp -s "$system/vornelle.scr" "$work/old.scr" || fail "the failed install did not leave the old saver"
"$wine" "$short" /c >/dev/null 2>&1 &
saver_pid=$!
dialog_shows || fail "the old saver does not start after the failed install"
cd "$work" || exit 1

# Another user's first logon: the bundled picture once, a choice kept.
stub=$(reg_value "$active_setup_key" StubPath)
"$wine" reg delete "$config" /v Picture /f >/dev/null 2>&1
run_line "$stub" >/dev/null
picture=$(reg_value "$config" Picture)
[ "$picture" = "$folder_name\\test.gif" ] || fail "the logon stub gave Picture '$picture'"
"$wine" reg add "$config" /v Picture /t REG_SZ /d mine.png /f >/dev/null 2>&1
run_line "$stub" >/dev/null
picture=$(reg_value "$config" Picture)
[ "$picture" = mine.png ] || fail "the logon stub replaced a chosen picture by '$picture'"

# The uninstalling user's screen saver was ours, by the short name Windows
# gives it: it goes, as choosing (None) does. It runs: it goes at the restart.
"$wine" reg add "$desktop" /v SCRNSAVE.EXE /d "$short" /f >/dev/null 2>&1
uninstall 3010
kill "$saver_pid"
wait "$saver_pid" 2>/dev/null
saver_pid=
rmdir "$system/vornelle.scr.new"
[ -z "$(reg_value "$desktop" SCRNSAVE.EXE)" ] || fail "SCRNSAVE.EXE $short left"
for f in "${installed[@]}" "$folder"; do
  [ ! -e "$f" ] || fail "not uninstalled: $f"
done
for key in "$uninstall_key" "$active_setup_key"; do
  "$wine" reg query "$key" >/dev/null 2>&1 && fail "key left: $key"
done
[ "$(reg_value "$config" Picture)" = mine.png ] || fail "the user's settings went"

# Other names of the screen saver: ours in other spellings goes, another stays.
: >"$system/other.scr"
while IFS='|' read -r name stays; do
  run_line "$install_line" >/dev/null
  "$wine" reg add "$desktop" /v SCRNSAVE.EXE /d "$name" /f >/dev/null 2>&1
  uninstall 0
  have=$(reg_value "$desktop" SCRNSAVE.EXE)
  if [ "$stays" = kept ]; then
    [ "$have" = "$name" ] || fail "SCRNSAVE.EXE $name became '$have'"
  else
    [ -z "$have" ] || fail "SCRNSAVE.EXE $name left"
  fi
done <<'CASES'
VORNELLE.SCR|cleared
C:\Windows\System32\Vornelle.scr|cleared
C:\windows\system32\other.scr|kept
CASES

# A first install that fails leaves nothing behind.
mkdir "$system/vornelle.scr.new"
code=$(run_line "$install_line")
[ "$code" = 1603 ] || fail "the first install whose saver could not be written ended with $code"
for f in "$system/vornelle.scr" "$folder"; do
  [ ! -e "$f" ] || fail "the failed first install left $f"
done
"$wine" reg query "$uninstall_key" >/dev/null 2>&1 && fail "the failed first install left its key"
exit $status
