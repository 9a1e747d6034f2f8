#!/usr/bin/env bash
# Installs what is missing, builds, and runs the screen saver under Wine.
usage() {
  cat <<'USAGE'
Usage: scripts/run.sh [ROLE] [options]
Roles:
  --saver            full-screen saver, as after the idle time ("/s"; the default)
  --preview          preview role: our host window starts the saver with "/p <area>"
                     (under Wine the child's drawing does not reach the screen)
  --pane             a picture window inside the host's preview area, in-process,
                     as the settings dialog shows its pane: visible in screenshots
  --configure        settings dialog ("/c")
Settings (written to the registry before the start):
  --picture FILE     the picture to show (default: the bundled test.gif)
  --effect N         0 Zoom 'n Rotate, 1 Wave, 2 still (default 0)
  --bilinear 0|1     texture filtering (default 1)
  --windowed 0|1     "WindowPrev": animate the preview too (default 0)
Options:
  --time SECONDS     end the program after this long if it still runs (default 20)
  --screenshot FILE  save a PNG of the screen while the program runs
  --shot-at SECONDS  when to take it (default: 2 seconds before the end)
  --display DISP     use this X display (default: $DISPLAY, else an Xvfb of its own)
  --xvfb             use an Xvfb of its own even when $DISPLAY is set
  -h, --help         this text
USAGE
}
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/lib/setup.sh"

role=saver
seconds=20
display=${DISPLAY:-}
own_xvfb=0
picture=
effect=0
bilinear=1
windowed=0
screenshot=
shot_at=
original_args=("$@")
while [ $# -gt 0 ]; do
  case $1 in
    --saver | --preview | --pane | --configure) role=${1#--} ;;
    --picture) picture=${2:?--picture needs a file}; shift ;;
    --effect) effect=${2:?--effect needs a number}; shift ;;
    --bilinear) bilinear=${2:?--bilinear needs 0 or 1}; shift ;;
    --windowed) windowed=${2:?--windowed needs 0 or 1}; shift ;;
    --time) seconds=${2:?--time needs a number of seconds}; shift ;;
    --screenshot) screenshot=${2:?--screenshot needs a file}; shift ;;
    --shot-at) shot_at=${2:?--shot-at needs a number of seconds}; shift ;;
    --display) display=${2:?--display needs a display such as :0}; shift ;;
    --xvfb) own_xvfb=1 ;;
    --inside-xvfb) display=$DISPLAY ;; # internal: the re-run under xvfb-run
    -h | --help) usage; exit 0 ;;
    *) echo "unknown option: $1" >&2; usage >&2; exit 2 ;;
  esac
  shift
done
[ -n "$picture" ] && picture=$(realpath "$picture")
[ -n "$screenshot" ] && screenshot=$(realpath -m "$screenshot")
[ -n "$shot_at" ] || shot_at=$((seconds > 3 ? seconds - 2 : 1))

setup_all
build_target x86_64-w64-mingw32 >/dev/null
if [ -z "$display" ] || [ "$own_xvfb" = 1 ]; then
  filtered=()
  for a in "${original_args[@]}"; do [ "$a" = --xvfb ] || filtered+=("$a"); done
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside-xvfb "${filtered[@]}" \
    ${picture:+--picture "$picture"} ${screenshot:+--screenshot "$screenshot"}
fi
export DISPLAY=$display

bin=$BUILD_ROOT/x86_64/bin
cd "$bin"
wineserver -p >/dev/null 2>&1
wine wineboot >/dev/null 2>&1 || true

key='HKCU\Software\Ombrelune\vornelle\Config'
picture_setting=test.gif
[ -n "$picture" ] && picture_setting=$(winepath -w "$picture" 2>/dev/null)
wine reg add "$key" /v Picture /t REG_SZ /d "$picture_setting" /f >/dev/null 2>&1
wine reg add "$key" /v Effect /t REG_DWORD /d "$effect" /f >/dev/null 2>&1
wine reg add "$key" /v Bilinear /t REG_DWORD /d "$bilinear" /f >/dev/null 2>&1
wine reg add "$key" /v WindowPrev /t REG_DWORD /d "$windowed" /f >/dev/null 2>&1

shot_args=()
[ -n "$screenshot" ] && shot_args=(--screenshot "$(winepath -w "$screenshot")")
case $role in
  saver) command=(wine vornelle.scr /s) ;;
  configure) command=(wine vornelle.scr /c) ;;
  preview) command=(wine preview_host.exe --seconds "$shot_at" "${shot_args[@]}" vornelle.scr) ;;
  pane) command=(wine preview_host.exe --in-process --seconds "$shot_at" "${shot_args[@]}"
    vornelle.scr) ;;
esac

log "role $role on display $DISPLAY, for at most ${seconds}s: ${command[*]}"
"${command[@]}" &
pid=$!
status=0
for ((i = 0; i < seconds * 10; i++)); do
  kill -0 "$pid" 2>/dev/null || break
  if [ "$role" = saver ] && [ -n "$screenshot" ] && [ "$i" = $((shot_at * 10)) ]; then
    wine screen_capture.exe "$(winepath -w "$screenshot")" >/dev/null 2>&1 &&
      log "screenshot saved to $screenshot"
  fi
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  log "time is up: ending the program"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
else
  wait "$pid" || status=$?
  log "the program ended with exit code $status"
  if [ "$role" != saver ] && [ -n "$screenshot" ] && [ -f "$screenshot" ]; then
    log "screenshot saved to $screenshot"
  fi
fi
wineserver -k 2>/dev/null || true
exit $status
