#!/usr/bin/env bash
# Runs a Windows program of ours under Wine with the project's own prefix.
# CTest uses it as the emulator of every test.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$ROOT/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
exec wine "$@"
