#!/usr/bin/env bash
# Installs what is missing, builds, and runs the screen saver under Wine.
usage() {
  cat <<'USAGE'
Usage: scripts/run.sh [ROLE] [options]
Roles:
  --saver          full-screen saver, as after the idle time (default; "/s")
  --preview        preview role ("/p" with a host window handle)
  --configure      settings dialog ("/c")
Options:
  --time SECONDS   end the program after this long if it is still running (default 20)
  --display DISP   use this X display (default: $DISPLAY, else an Xvfb of its own)
  --xvfb           always use an Xvfb of its own, even when $DISPLAY is set
  -h, --help       this text
USAGE
}
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/lib/setup.sh"

role=saver
seconds=20
display=${DISPLAY:-}
own_xvfb=0
while [ $# -gt 0 ]; do
  case $1 in
    --saver) role=saver ;;
    --preview) role=preview ;;
    --configure) role=configure ;;
    --time) seconds=${2:?--time needs a number of seconds}; shift ;;
    --display) display=${2:?--display needs a display such as :0}; shift ;;
    --xvfb) own_xvfb=1 ;;
    --inside-xvfb) display=$DISPLAY ;; # internal: we are the re-run under xvfb-run
    -h | --help) usage; exit 0 ;;
    *) echo "unknown option: $1" >&2; usage >&2; exit 2 ;;
  esac
  shift
done

if [ -z "$display" ] || [ "$own_xvfb" = 1 ]; then
  setup_all
  build_target x86_64-w64-mingw32 >/dev/null
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside-xvfb --$role --time "$seconds"
fi
export DISPLAY=$display

setup_all
build_target x86_64-w64-mingw32 >/dev/null

case $role in
  saver) args=(/s) ;;
  configure) args=(/c) ;;
  # No host program yet: the preview role gets no host window and ends.
  preview) args=(/p 0) ;;
esac

program=$BUILD_ROOT/x86_64/bin/vornelle.scr
log "starting vornelle.scr ${args[*]} on display $DISPLAY for at most ${seconds}s"
wine "$program" "${args[@]}" &
pid=$!
status=0
for ((i = 0; i < seconds * 10; i++)); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  log "time is up: ending the program"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
else
  wait "$pid" || status=$?
  log "the program ended with exit code $status"
fi
wineserver -k 2>/dev/null || true
exit $status
