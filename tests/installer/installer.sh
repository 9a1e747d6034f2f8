#!/usr/bin/env bash
# The release as a user gets it: the zips' contents, then the shipped x86
# installer in Wine, in the scenarios below, two at a time, each in a Wine
# prefix, wineserver and Xvfb of its own. KIND is the Windows it runs on: wow64
# (64-bit Windows: the 64-bit saver must land in the real system folder) or
# win32. BIN_DIR holds the saver that must land there and the screen capture
# tool. Where 32-bit code does not run, wow64 runs an amd64 build of the
# installer and win32 is skipped. VORNELLE_FAIL_SCENARIO=NAME fails one.
# Usage: installer.sh KIND PACKAGE_DIR VERSION BIN_DIR PYTHON_WITH_PILLOW
set -uo pipefail
[ $# -eq 5 ] || { echo "usage: installer.sh wow64|win32 PACKAGE_DIR VERSION BIN_DIR PYTHON"; exit 2; }
kind=$1 packages=$(realpath -m "$2") version=$3 bin=$4 python=$5
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

clean=$(cd "$(dirname "$bin")" && pwd)/wineprefix-installer
export WINEPREFIX=$clean WINEDEBUG=-all
wine_test_overrides
# On 64-bit Windows everything runs 64-bit, as Windows runs its own programs: a
# 32-bit reg.exe would read the 32-bit registry view, and find syswow64 for system32.
wine=wine
[ "$kind" = wow64 ] && wine=$WINE64
# Beside the fresh prefix, so that copies can share its DLLs.
# A run killed outright (CTest's timeout) leaves its folder, removed here once
# the run that made it is gone.
for old in "${clean%/*}"/installer-test.*; do
  runner=$(cat "$old/runner" 2>/dev/null) || runner=
  { [ -n "$runner" ] && kill -0 "$runner" 2>/dev/null; } || rm -rf "$old"
done
work=$(mktemp -d "${clean%/*}/installer-test.XXXXXX")
trap 'wait; rm -rf "$work"' EXIT
echo $$ >"$work/runner"
desktop='HKCU\Control Panel\Desktop'
config='HKCU\Software\Ombrelune\vornelle\Config'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vornelle'
active_setup_key='HKLM\Software\Microsoft\Active Setup\Installed Components\Vornelle'
folder_name='C:\Program Files\Vornelle Screensaver'

fail() { echo "FAIL: $name: $*"; }
# An absolute path on drive Z:, which a new prefix maps to /: winepath costs a Wine process.
win_path() { echo "Z:${1//\//\\}"; }
# The value of a registry entry, or nothing.
reg_value() { "$wine" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^    $2    REG_[A-Z_]*    //p"; }
reg_set() { "$wine" reg add "$1" /v "$2" /d "$3" /f >/dev/null 2>&1; }
has_key() { "$wine" reg query "$1" >/dev/null 2>&1; }
# Runs a command line as Windows would, without its quotes going through argv:
# from a batch file, its operators escaped so that the line's own cmd, not the
# batch, acts on them (our lines have none inside quotes). Prints its exit
# code in full: a Unix status keeps only the low byte, and 3010 is not 194.
run_line() {
  printf '@%s >nul 2>&1\r\n@echo %%errorlevel%%\r\n' \
    "$(printf '%s' "$1" | sed 's/[&|<>]/^&/g')" >"$dir/line.bat"
  "$wine" cmd /c "$(win_path "$dir/line.bat")" 2>/dev/null | tr -d '\r' | tail -1
}
run_setup() { run_line "\"$(win_path "$setup")\" /S"; }
setup_ends() { code=$(run_setup); [ "$code" = "$1" ] || fail "$2 ended with $code"; }
# Waits until the settings dialog shows (or 10 s).
dialog_shows() { timeout 10 sh -c 'until xwininfo -root -tree | grep -q "\"Vornelle Saver\""; do sleep 0.2; done'; }
# The uninstaller as Apps runs it, silent: it returns when it is done, with
# its exit code. Its own file, and so the folder, can go only after its end.
uninstall() { # EXPECTED_EXIT_CODE
  local code
  code=$(run_line "$(reg_value "$uninstall_key" QuietUninstallString)")
  [ "$code" = "$1" ] || fail "the uninstall ended with $code, not $1"
  has_key "$uninstall_key" && fail "the uninstall returned before its work was done"
  for _ in $(seq 50); do [ -e "$folder" ] || return 0; sleep 0.1; done
  fail "$folder still there 5 s after the uninstall"
}
# Windows starts a saver through its short name, in the system folder.
saver() { # /s or /c
  short=${short:-$("$wine" cmd /c 'for %I in (C:\windows\system32\vornelle.scr) do @echo %~sI' | tr -d '\r')}
  (cd "$system" && exec "$wine" "$short" "$1" >/dev/null 2>&1) &
  saver_pid=$!
}
end_saver() { kill "$saver_pid"; wait "$saver_pid" 2>/dev/null; saver_pid=; }
# A copy of a prefix whose DLLs, Wine's own (1.2 GB in a WOW64 prefix) that no
# scenario writes, are hard links to the original's.
copy_prefix() { # FROM TO
  mkdir "$2" && tar -C "$1" --exclude='*.dll' -c . | tar -C "$2" -x &&
    (cd "$1" && find . -name '*.dll' -exec cp -l --parents -t "$2" {} +)
}
# A copy of the fresh prefix, or of first_install's once it ended.
start() { # clean|installed
  [ "$1" = clean ] || until [ -e "$work/first_install/done" ]; do sleep 0.2; done
  [ -e "$work/$1" ] || { fail "no installed prefix: first_install failed"; return 1; }
  copy_prefix "$work/$1" "$WINEPREFIX" && start_xvfb "$dir/x" || { fail "no prefix or display"; return 1; }
  system=$WINEPREFIX/drive_c/windows/system32 folder="$WINEPREFIX/drive_c/Program Files/Vornelle Screensaver"
  installed=("$system/vornelle.scr" "$folder"/{test.gif,readme.txt,uninstall.exe}
    "$folder"/licences/{vornelle,zlib,libpng,libjpeg-turbo,libjpeg-ijg}.txt)
  wineserver -p >/dev/null 2>&1
  wine wineboot >/dev/null 2>&1
}
# NAME or NAME:clean|installed: the scenario in a shell of its own, from that
# prefix; its report printed whole once it ended.
run() {
  local name=${1%:*} from=${1#*:} dir=$work/${1%:*}
  mkdir "$dir"
  (
    WINEPREFIX=$dir/prefix saver_pid=
    trap 'kill $saver_pid 2>/dev/null; wineserver -k >/dev/null 2>&1; stop_xvfb "$dir/x"' EXIT
    { [ "$from" = "$1" ] || start "$from"; } && "$name"
    [ "${VORNELLE_FAIL_SCENARIO:-}" != "$name" ] || fail "failed on purpose"
  ) >"$dir/log" 2>&1
  grep -q "^FAIL: $name: " "$dir/log" || echo "PASS: $name" >>"$dir/log"
  : >"$dir/done"
  cat "$dir/log"
}
zips() { out=$("$python" "$checks" zips "$packages" "$version") || fail "${out//FAIL: /}"; }

# A silent install on a fresh Windows: the release's saver in the system folder,
# the files, signed by scripts/test.sh's throwaway certificate when it made one,
# the installing user's picture, the machine's keys in its own registry view.
first_install() {
  setup_ends 0 "the silent install"
  [ "$code" = 0 ] || return
  ln -s "$WINEPREFIX" "$work/installed" # what the installed scenarios copy, once this one ended
  [ ! -e "$WINEPREFIX/drive_c/windows/syswow64/vornelle.scr" ] || fail "a saver in syswow64"
  for f in "${installed[@]}"; do [ -s "$f" ] || fail "not installed: $f"; done
  cmp -s "$system/vornelle.scr" "$work/shipped.scr" || fail "system32 holds another saver"
  certificate=$packages/signing/cert.pem
  [ -f "$certificate" ] && for f in "$setup" "$system/vornelle.scr" "$folder/uninstall.exe"; do
    osslsigncode verify -CAfile "$certificate" -in "$f" >/dev/null 2>&1 || fail "not signed by the test certificate: $f"
  done
  picture=$(reg_value "$config" Picture)
  [ "$picture" = "$folder_name\\test.gif" ] || fail "Picture is '$picture'"
  for key in "$uninstall_key" "$active_setup_key"; do
    has_key "$key" || fail "no key $key"
    has_key "${key/Software/Software\\Wow6432Node}" && fail "key in the 32-bit view: $key"
  done
  # Apps shows EstimatedSize: the installed files in KiB, within one KiB a file.
  kib=0
  for f in "${installed[@]}"; do kib=$((kib + ($(stat -c %s "$f") + 1023) / 1024)); done
  estimated=$(($(reg_value "$uninstall_key" EstimatedSize)))
  [ $((estimated > kib ? estimated - kib : kib - estimated)) -le ${#installed[@]} ] ||
    fail "EstimatedSize is $estimated KiB, the installed files take $kib KiB"
}

# The saver started as Windows starts it shows its picture, moving; its settings dialog.
runs_installed_saver() {
  saver /s
  for n in 1 2 3; do sleep 1.2; "$wine" "$bin/screen_capture.exe" "$(win_path "$dir/frame$n.png")"; done
  out=$("$python" "$checks" frames "$folder/test.gif" "$dir"/frame{1,2,3}.png) || fail "${out//FAIL: /}"
  end_saver
  saver /c
  dialog_shows || fail "no settings dialog"
}

# An older installer over a newer version refuses and changes nothing.
older_over_newer() {
  reg_set "$uninstall_key" DisplayVersion 99.0
  touch "$dir/before"
  setup_ends 1638 "an older installer over version 99.0"
  [ "$(reg_value "$uninstall_key" DisplayVersion)" = 99.0 ] || fail "the older installer went on"
  changed=$(find "$system/vornelle.scr" "$folder" -cnewer "$dir/before")
  [ -z "$changed" ] || fail "the older installer changed $changed"
}

# Another build of the saver in the system folder; whether it is there under any name.
put_old_saver() {
  { cat "$system/vornelle.scr"; echo "another build"; } >"$dir/old.scr"
  cp "$dir/old.scr" "$system/vornelle.scr"
}
old_left() { for f in "$system"/*; do [ -f "$f" ] && cmp -s "$f" "$dir/old.scr" && return; done; return 1; }
# The same version again, over another saver running from the system folder: it
# takes its place, the old one goes (at once, or at the restart the code asks for).
upgrade_over_running_saver() {
  put_old_saver
  saver /c
  dialog_shows || fail "the old saver did not start"
  code=$(run_setup)
  [ "$code" = 0 ] || [ "$code" = 3010 ] || fail "the install over a running saver ended with $code"
  cmp -s "$system/vornelle.scr" "$work/shipped.scr" || fail "the running saver was not replaced"
  [ "$code" = 3010 ] || ! old_left || fail "exit code 0 with the old saver left for a restart"
  end_saver
  "$wine" wineboot -r >/dev/null 2>&1
  ! old_left || fail "the old saver is still there after the restart"
}

# A new saver that cannot be written (a folder holds its name) leaves the old one working.
failed_write_keeps_old() {
  put_old_saver
  mkdir "$system/vornelle.scr.new"
  setup_ends 1603 "the install whose saver could not be written"
  cmp -s "$system/vornelle.scr" "$dir/old.scr" || fail "the failed install did not leave the old saver"
  saver /c
  dialog_shows || fail "the old saver does not start after the failed install"
}

# Another user's first logon: the bundled picture once, a choice kept.
logon_stub() {
  "$wine" reg delete "$config" /v Picture /f >/dev/null 2>&1
  for chosen in '' mine.png; do
    [ -z "$chosen" ] || reg_set "$config" Picture "$chosen"
    run_line "$(reg_value "$active_setup_key" StubPath)" >/dev/null
    picture=$(reg_value "$config" Picture)
    [ "$picture" = "${chosen:-$folder_name\\test.gif}" ] || fail "the logon stub gave Picture '$picture' (chosen: '$chosen')"
  done
}

# The uninstalling user's screen saver was ours, by the short name Windows gives
# it: it goes, as choosing (None) does; it runs: it goes at the restart.
uninstall_running() {
  saver /c
  dialog_shows || fail "the saver did not start"
  reg_set "$desktop" SCRNSAVE.EXE "$short"
  uninstall 3010
  end_saver
  [ -z "$(reg_value "$desktop" SCRNSAVE.EXE)" ] || fail "SCRNSAVE.EXE $short left"
  for f in "${installed[@]}" "$folder"; do [ ! -e "$f" ] || fail "not uninstalled: $f"; done
  for key in "$uninstall_key" "$active_setup_key"; do has_key "$key" && fail "key left: $key"; done
  [ "$(reg_value "$config" Picture)" = "$folder_name\\test.gif" ] || fail "the user's settings went"
}

# Other names of the screen saver: ours in other spellings goes, another stays.
uninstall_saver_names() {
  : >"$system/other.scr"
  while IFS='|' read -r value want; do
    run_setup >/dev/null
    reg_set "$desktop" SCRNSAVE.EXE "$value"
    uninstall 0
    have=$(reg_value "$desktop" SCRNSAVE.EXE)
    [ "$have" = "$want" ] || fail "SCRNSAVE.EXE $value became '$have', not '$want'"
  done <<'CASES'
VORNELLE.SCR|
C:\Windows\System32\Vornelle.scr|
C:\windows\system32\other.scr|C:\windows\system32\other.scr
CASES
}

# A first install that fails leaves nothing behind.
failed_first_install() {
  mkdir "$system/vornelle.scr.new"
  setup_ends 1603 "the first install whose saver could not be written"
  for f in "$system/vornelle.scr" "$folder"; do [ ! -e "$f" ] || fail "the failed first install left $f"; done
  has_key "$uninstall_key" && fail "the failed first install left its key"
}

make_wine_prefix "$prefix_kind" && ln -s "$clean" "$work/clean" || exit 1
# The saver of the release, as its zip (win64 or win32) carries it.
"$python" -c 'import sys, zipfile; sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read("vornelle.scr"))' \
  "$packages/vornelle-$version-${kind/wow64/win64}.zip" >"$work/shipped.scr"
# first_install first: the installed scenarios wait for it.
for scenario in first_install:clean uninstall_saver_names:clean runs_installed_saver:installed \
  upgrade_over_running_saver:installed uninstall_running:installed failed_write_keeps_old:installed \
  logon_stub:installed older_over_newer:installed failed_first_install:clean zips; do
  while [ "$(jobs -rp | wc -l)" -ge 2 ]; do wait -n; done
  run "$scenario" &
done
wait
! grep -q '^FAIL: ' "$work"/*/log
