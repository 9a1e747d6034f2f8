#!/usr/bin/env bash
# Runs a Windows program of one build under Wine, in that build's prefix and
# on the display of its test session (tests/support/wine_session.sh) while
# one runs. CTest uses it as the emulator of every test; a 32-bit program on
# a machine that runs no 32-bit code exits with the code CTest skips.
# A program still running after VORNELLE_HANG_SECONDS (default 240) has its
# threads' backtraces printed (in at most 40 s) and is ended, all within
# CTest's 300: a hang then says where it hangs rather than only timing out.
# Usage: wine-run.sh BUILD_DIR PROGRAM [ARGUMENTS...]
build=$1
shift
source "$(dirname "$0")/lib/wine.sh"
wine_cannot_run "$1" && exit $SKIP_CODE
export WINEPREFIX=$build/wineprefix
export WINEDEBUG=${WINEDEBUG:--all}
wine_test_overrides
[ -s "$build/wine-session/display" ] && export DISPLAY=:$(tr -d '\n' <"$build/wine-session/display")

wine "$@" &
program=$!
limit=${VORNELLE_HANG_SECONDS:-240}
deadline=$((SECONDS + limit))
while kill -0 $program 2>/dev/null && [ $SECONDS -lt $deadline ]; do
  sleep 0.2
done
if kill -0 $program 2>/dev/null; then
  name=$(basename "$1")
  echo "$name still runs after $limit s; its threads:"
  # The tests keep the debugger off; here it is wanted.
  export WINEDLLOVERRIDES=$WINE_NO_SETUP_PROMPTS
  timeout -k 5 40 winedbg --command "bt all" 2>&1 |
    awk -v name="$name" '/^Backtracing for thread/ { ours = index(tolower($0), tolower(name)) > 0 }
                         ours' | head -300
  kill $program 2>/dev/null
  wait $program
  exit 1
fi
wait $program
