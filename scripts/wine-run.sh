#!/usr/bin/env bash
# Runs a Windows program of one build under Wine, in that build's prefix and
# on the display of its test session (tests/support/wine_session.sh) while
# one runs. CTest uses it as the emulator of every test; a 32-bit program on
# a machine that runs no 32-bit code exits with the code CTest skips.
# Usage: wine-run.sh BUILD_DIR PROGRAM [ARGUMENTS...]
build=$1
shift
source "$(dirname "$0")/lib/wine.sh"
wine_cannot_run "$1" && exit $SKIP_CODE
export WINEPREFIX=$build/wineprefix
export WINEDEBUG=${WINEDEBUG:--all}
wine_test_overrides
[ -s "$build/wine-session/display" ] && export DISPLAY=:$(tr -d '\n' <"$build/wine-session/display")
exec wine "$@"
