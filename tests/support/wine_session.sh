#!/usr/bin/env bash
# The display and Wine session that one build's test programs share, as CTest
# fixtures: "start" before the first, "stop" after the last. Each build has
# its own Xvfb and prefix, so the two builds' entries can run side by side.
# Usage: wine_session.sh start|stop BUILD_DIR
set -uo pipefail
action=$1 build=$2
source "$(dirname "$0")/../../scripts/lib/wine.sh"
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all
wine_test_overrides
state=$build/wine-session
# A build this machine cannot run needs no session; its entries skip too.
wine_cannot_run "$build/bin/vornelle.scr" && exit $SKIP_CODE

case $action in
  start)
    stop_xvfb "$state"
    wineserver -k >/dev/null 2>&1
    if ! wine_prefix_ready; then
      echo "making the Wine prefix $WINEPREFIX"
      make_wine_prefix || exit 1
    fi
    start_xvfb "$state" || exit 1
    # Wine's background processes start here, not inside a test: one that
    # inherits a test's output pipe keeps CTest waiting for it to close.
    wineserver -p >/dev/null 2>&1 </dev/null
    wine wineboot >/dev/null 2>&1 </dev/null
    # Xvfb has no window manager: a window Wine leaves to one waits two
    # seconds for it at every hide.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
      >/dev/null 2>&1 </dev/null
    wine_can_start </dev/null
    ;;
  stop)
    wineserver -k >/dev/null 2>&1
    stop_xvfb "$state"
    ;;
  *) echo "usage: wine_session.sh start|stop BUILD_DIR" >&2; exit 2 ;;
esac
