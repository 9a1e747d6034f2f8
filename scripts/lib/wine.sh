# Wine prefixes and X servers for the scripts and the test entries. Sourced,
# not run; every function works on $WINEPREFIX.

# Debian keeps the 64-bit loader off PATH: `wine` is the 32-bit one once
# wine32 is installed, and a 32-bit process sees system32 as syswow64.
WINE64=${WINE64:-/usr/lib/wine/wine64}

# No Mono or Gecko installer prompts when a prefix is made.
WINE_NO_SETUP_PROMPTS='mscoree,mshtml='

# wine_test_overrides: for the tests, besides, a program that crashes ends at
# once: the debugger would keep it, and the pipes CTest reads, open until the
# entry's timeout.
wine_test_overrides() {
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-$WINE_NO_SETUP_PROMPTS};winedbg.exe=d"
}

# wine_prefix_ready: made to the end, and of the kind its marker names. A
# prefix made before wine32 was installed has an empty syswow64 and starts
# nothing.
wine_prefix_ready() {
  local marker=$WINEPREFIX/.vornelle-ready
  [ -f "$WINEPREFIX/system.reg" ] && [ -f "$marker" ] || return 1
  [ "$(cat "$marker")" = win32 ] || [ -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]
}

# make_wine_prefix [win32]: $WINEPREFIX made anew, a WOW64 prefix that runs
# both builds unless win32 (a 32-bit Windows) is asked for. Takes about 10 s.
make_wine_prefix() {
  local kind=${1:-wow64}
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  if [ "$kind" = win32 ]; then
    DISPLAY= WINEARCH=win32 wineboot -i >/dev/null 2>&1
  else
    DISPLAY= WINEARCH=win64 wineboot -i >/dev/null 2>&1
  fi
  wineserver -w
  [ -f "$WINEPREFIX/system.reg" ] || { echo "wineboot made no prefix in $WINEPREFIX" >&2; return 1; }
  if [ "$kind" != win32 ] && [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
    echo "$WINEPREFIX has no 32-bit system folder: is wine32:i386 installed?" >&2
    return 1
  fi
  echo "$kind" >"$WINEPREFIX/.vornelle-ready"
}

# wine_can_start: Wine runs a program in the prefix; once the first program
# after start-up ended at once, silent, so it is tried three times.
wine_can_start() {
  local try
  for try in 1 2 3; do
    wine cmd /c exit 0 >/dev/null 2>&1 && return 0
    sleep 2
  done
  echo "Wine starts no program in $WINEPREFIX: $(wine cmd /c exit 0 2>&1 | tail -1)" >&2
  return 1
}

# start_xvfb STATE_DIR [SCREEN]: an Xvfb on a free display (the server picks
# it, so parallel starts cannot race), DISPLAY exported, its PID in
# STATE_DIR/xvfb.pid. Its output goes to a file: a process that keeps a test's
# pipe open keeps CTest waiting.
start_xvfb() {
  local state=$1 screen=${2:-1024x768x24} n
  mkdir -p "$state"
  rm -f "$state/display"
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$state/display" \
    >"$state/xvfb.log" 2>&1 </dev/null &
  echo $! >"$state/xvfb.pid"
  for n in $(seq 100); do
    [ -s "$state/display" ] && break
    sleep 0.1
  done
  [ -s "$state/display" ] || { echo "Xvfb did not start" >&2; cat "$state/xvfb.log" >&2; return 1; }
  DISPLAY=:$(tr -d '\n' <"$state/display")
  export DISPLAY
}

stop_xvfb() {
  local state=$1
  [ -f "$state/xvfb.pid" ] && kill "$(cat "$state/xvfb.pid")" 2>/dev/null
  rm -f "$state/xvfb.pid" "$state/display"
  return 0
}
