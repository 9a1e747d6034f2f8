#!/usr/bin/env bash
# The release as a user gets it: the zip files' contents, then the installer
# in a fresh Wine prefix of its own: a silent install, the saver started as
# Windows starts it and its settings dialog, the per-user default picture of
# other users, and a silent uninstall. The shipped installer is an x86 one and
# 32-bit programs cannot run here, so this runs the same script built for
# amd64 (scripts/test.sh packs it with the zips).
# Usage: installer.sh PACKAGE_DIR VERSION BIN_DIR PYTHON_WITH_PILLOW
set -uo pipefail
[ $# -eq 4 ] || { echo "usage: installer.sh PACKAGE_DIR VERSION BIN_DIR PYTHON"; exit 2; }
packages=$1 version=$2 bin=$3 python=$4
checks=$(dirname "$0")/check_package.py
setup=$packages/vornelle-$version-setup-amd64.exe
[ -f "$setup" ] || { echo "no $setup: scripts/test.sh packs it"; exit 1; }
"$python" "$checks" zips "$packages" "$version" || exit 1

WINEPREFIX=$(dirname "$bin")/wineprefix-installer
export WINEPREFIX WINEDEBUG=-all
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
work=$(mktemp -d)
saver_pid=
finish() {
  [ -n "$saver_pid" ] && kill "$saver_pid" 2>/dev/null
  wineserver -k >/dev/null 2>&1
  rm -rf "$work"
}
trap finish EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }

# The value of a registry entry, or nothing.
reg_value() { # key name
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    sed -n "s/^    $2    REG_[A-Z_]*    //p"
}
# Runs a command line as Windows would, without its quotes going through argv:
# from a batch file, its operators escaped so that the line's own cmd, not the
# batch, acts on them (our lines have none inside quotes).
run_line() {
  printf '@%s\r\n' "$(printf '%s' "$1" | sed 's/[&|<>]/^&/g')" >"$work/line.bat"
  wine cmd /c "$(winepath -w "$work/line.bat")" >/dev/null 2>&1
}

rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
DISPLAY= wineboot -i >/dev/null 2>&1
wineserver -w
wineserver -p >/dev/null 2>&1
wine wineboot >/dev/null 2>&1

wine "$setup" /S || { echo "FAIL: the silent install ended with $?"; exit 1; }
system=$WINEPREFIX/drive_c/windows/system32
folder_name='C:\Program Files\Vornelle Screensaver'
folder="$WINEPREFIX/drive_c/Program Files/Vornelle Screensaver"
installed=("$system/vornelle.scr" "$folder/test.gif" "$folder/readme.txt"
  "$folder/uninstall.exe" "$folder"/licences/{zlib,libpng,libjpeg-turbo,libjpeg-ijg}.txt)
for f in "${installed[@]}"; do
  [ -s "$f" ] || fail "not installed: $f"
done
cmp -s "$system/vornelle.scr" "$bin/vornelle.scr" || fail "system32 holds another saver"
config='HKCU\Software\Ombrelune\vornelle\Config'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vornelle'
active_setup_key='HKLM\Software\Microsoft\Active Setup\Installed Components\Vornelle'
picture=$(reg_value "$config" Picture)
[ "$picture" = "$folder_name\\test.gif" ] || fail "Picture is '$picture'"

# Windows starts a saver through its short name, in the system folder.
cd "$system" || exit 1
short=$(wine cmd /c 'for %I in (C:\windows\system32\vornelle.scr) do @echo %~sI' | tr -d '\r')
wine "$short" /s >/dev/null 2>&1 &
saver_pid=$!
frames=()
for n in 1 2 3; do
  sleep 1.2
  wine "$bin/screen_capture.exe" "$(winepath -w "$work/frame$n.png")"
  frames+=("$work/frame$n.png")
done
"$python" "$checks" frames "$folder/test.gif" "${frames[@]}" || status=1
kill "$saver_pid"
wait "$saver_pid" 2>/dev/null

wine "$short" /c >/dev/null 2>&1 &
saver_pid=$!
for _ in $(seq 50); do
  xwininfo -root -tree | grep -q '"Vornelle Saver"' && break
  sleep 0.2
done
xwininfo -root -tree | grep -q '"Vornelle Saver"' || fail "no settings dialog"
kill "$saver_pid"
wait "$saver_pid" 2>/dev/null
saver_pid=
cd "$work" || exit 1

# Another user's first logon: the bundled picture once, a choice kept.
stub=$(reg_value "$active_setup_key" StubPath)
wine reg delete "$config" /v Picture /f >/dev/null 2>&1
run_line "$stub"
picture=$(reg_value "$config" Picture)
[ "$picture" = "$folder_name\\test.gif" ] || fail "the logon stub gave Picture '$picture'"
wine reg add "$config" /v Picture /t REG_SZ /d mine.png /f >/dev/null 2>&1
run_line "$stub"
picture=$(reg_value "$config" Picture)
[ "$picture" = mine.png ] || fail "the logon stub replaced a chosen picture by '$picture'"

# The uninstaller runs from a copy of itself and returns at once.
run_line "$(reg_value "$uninstall_key" QuietUninstallString)"
for _ in $(seq 100); do
  [ ! -e "$folder" ] && ! wine reg query "$uninstall_key" >/dev/null 2>&1 && break
  sleep 0.2
done
for f in "${installed[@]}" "$folder"; do
  [ ! -e "$f" ] || fail "not uninstalled: $f"
done
for key in "$uninstall_key" "$active_setup_key"; do
  wine reg query "$key" >/dev/null 2>&1 && fail "key left: $key"
done
[ "$(reg_value "$config" Picture)" = mine.png ] || fail "the user's settings went"
exit $status
