# Wine prefixes and X servers for the scripts and the test entries. Sourced,
# not run; every function works on $WINEPREFIX.

WINE_SH_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# Debian keeps the 64-bit loader off PATH: `wine` is the 32-bit one once
# wine32 is installed, and a 32-bit process sees system32 as syswow64.
WINE64=${WINE64:-/usr/lib/wine/wine64}

# No Mono or Gecko installer prompts when a prefix is made.
WINE_NO_SETUP_PROMPTS='mscoree,mshtml='

# The smallest i386 program: exit(0) through int 0x80.
I386_EXIT0='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5b\x00\x00\x00\x5b\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\x31\xdb\x31\xc0\x40\xcd\x80'

# host_runs_32bit: the kernel runs i386 programs, as 32-bit Wine needs. Some
# virtual machines run 64-bit user code only (execve answers ENOEXEC); there
# only the x86_64 build can be tested. The probe runs from the build folder: a
# /tmp mounted noexec would refuse it for another reason, and only "Exec
# format error" means no 32-bit code.
host_runs_32bit() {
  if [ -z "${host_32bit:-}" ]; then
    local dir=${BUILD_ROOT:-$WINE_SH_ROOT/build} probe error status=0
    mkdir -p "$dir"
    probe=$dir/.i386-probe.$$
    printf "$I386_EXIT0" >"$probe"
    chmod +x "$probe"
    error=$("$probe" 2>&1) || status=$?
    rm -f "$probe"
    host_32bit=yes
    if [ "$status" = 126 ] && [[ $error == *"Exec format error"* ]]; then
      host_32bit=no
    elif [ "$status" != 0 ]; then
      echo "the i386 probe failed with status $status ($error); taking it that 32-bit code runs" >&2
    fi
  fi
  [ "$host_32bit" = yes ]
}

package_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# wine_runs_32bit: 32-bit Windows programs run here: the kernel runs i386 code
# and wine32 is installed (the set-up goes on without it when it cannot be had).
wine_runs_32bit() {
  host_runs_32bit && package_installed wine32:i386
}

# Why 32-bit Windows programs do not run here.
no_32bit_reason() {
  if host_runs_32bit; then
    echo "wine32:i386 is not installed (the set-up could not install it)"
  else
    echo "this machine runs no 32-bit programs (its kernel refuses i386 code)"
  fi
}

# wine_cannot_run PROGRAM: true, saying why, when PROGRAM is a 32-bit Windows
# program and Wine cannot run 32-bit code here. Test entries then exit with
# SKIP_CODE, which CTest reports as skipped.
SKIP_CODE=77
wine_cannot_run() {
  local header machine
  header=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$header" ] || return 1
  machine=$(od -An -tx2 -j$((header + 4)) -N2 "$1" | tr -d ' ')
  [ "$machine" = 014c ] && ! wine_runs_32bit || return 1
  echo "skipped: $(no_32bit_reason), so Wine cannot run $(basename "$1")"
}

# wine_prefix_kind: the prefix the builds' tests and run.sh use: WOW64, which
# runs both builds, where 32-bit code runs; 64-bit only elsewhere.
wine_prefix_kind() {
  if wine_runs_32bit; then echo wow64; else echo win64; fi
}

# wine_test_overrides: for the tests, besides, a program that crashes ends at
# once: the debugger would keep it, and the pipes CTest reads, open until the
# entry's timeout.
wine_test_overrides() {
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-$WINE_NO_SETUP_PROMPTS};winedbg.exe=d"
}

# wine_prefix_ready: made to the end, and of the kind its marker names. A
# prefix made before wine32 was installed has an empty syswow64 and starts
# nothing; a 64-bit-only one is made again as WOW64 once 32-bit code runs.
wine_prefix_ready() {
  local marker=$WINEPREFIX/.vornelle-ready
  [ -f "$WINEPREFIX/system.reg" ] && [ -f "$marker" ] || return 1
  case $(cat "$marker") in
    win32) return 0 ;;
    win64) ! wine_runs_32bit ;;
    *) wine_runs_32bit && [ -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ] ;;
  esac
}

# Our prefixes carry a marker from their first moment and another once made
# to the end. Only a folder with one of them, or an empty one, is ever
# cleared: a WINEPREFIX may name a user's own prefix.
wine_prefix_ours() {
  [ -f "$WINEPREFIX/.vornelle-prefix" ] || [ -f "$WINEPREFIX/.vornelle-ready" ]
}

clear_wine_prefix() {
  if [ -d "$WINEPREFIX" ] && ! wine_prefix_ours && [ -n "$(ls -A "$WINEPREFIX")" ]; then
    echo "$WINEPREFIX is not an empty folder nor a Wine prefix made here: left as it is" >&2
    return 1
  fi
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX" && : >"$WINEPREFIX/.vornelle-prefix"
}

# make_wine_prefix [wow64|win64|win32]: $WINEPREFIX made anew: by default the
# kind wine_prefix_kind names; win32 is a 32-bit Windows. Takes about 10 s.
make_wine_prefix() {
  local kind=${1:-$(wine_prefix_kind)}
  clear_wine_prefix || return 1
  if [ "$kind" = win32 ]; then
    DISPLAY= WINEARCH=win32 wineboot -i >/dev/null 2>&1
  else
    DISPLAY= WINEARCH=win64 wineboot -i >/dev/null 2>&1
  fi
  wineserver -w
  [ -f "$WINEPREFIX/system.reg" ] || { echo "wineboot made no prefix in $WINEPREFIX" >&2; return 1; }
  if [ "$kind" = wow64 ] && [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
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
