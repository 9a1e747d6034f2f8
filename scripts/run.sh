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
  --click TEXT       click the dialog's button labelled TEXT after a second
                     (e.g. --configure --click About for the About box)
  --record FILE.gif  record the screen from the first second to a second before
                     the end, at 10 frames a second, into an animated GIF
  --record-size WxH  the size of the recorded frames (default 400x300)
  --wm               run a window manager (openbox), so that windows get their
                     caption bars
  --display DISP     use this X display (default: $DISPLAY, else an Xvfb of its own)
  --xvfb             use an Xvfb of its own even when $DISPLAY is set
  --prefix DIR       the Wine prefix to run in (default: $VORNELLE_WINEPREFIX, else
                     build/wineprefix); an exported WINEPREFIX is not used
  -h, --help         this text
USAGE
}
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/lib/setup.sh"
# A step that fails says which, rather than ending the script silently.
trap 'log "failed with status $?: $BASH_COMMAND"' ERR

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
click=
record=
record_size=400x300
wm=0
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
    --click) click=${2:?--click needs the text of a button}; shift ;;
    --record) record=${2:?--record needs a file}; shift ;;
    --record-size) record_size=${2:?--record-size needs WIDTHxHEIGHT}; shift ;;
    --wm) wm=1 ;;
    --display) display=${2:?--display needs a display such as :0}; shift ;;
    --xvfb) own_xvfb=1 ;;
    --prefix) WINEPREFIX=$(realpath -m "${2:?--prefix needs a folder}"); shift ;;
    --inside-xvfb) display=$DISPLAY inside=1 ;; # internal: the re-run under xvfb-run
    -h | --help) usage; exit 0 ;;
    *) echo "unknown option: $1" >&2; usage >&2; exit 2 ;;
  esac
  shift
done
[ -n "$picture" ] && picture=$(realpath "$picture")
[ -n "$screenshot" ] && screenshot=$(realpath -m "$screenshot")
[ -n "$record" ] && record=$(realpath -m "$record")
[ -n "$shot_at" ] || shot_at=$((seconds > 3 ? seconds - 2 : 1))

if [ -z "${inside:-}" ]; then
  setup_all
  build_target x86_64-w64-mingw32 >/dev/null
fi
if [ -z "$display" ] || [ "$own_xvfb" = 1 ]; then
  filtered=()
  for a in "${original_args[@]}"; do [ "$a" = --xvfb ] || filtered+=("$a"); done
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside-xvfb "${filtered[@]}" \
    --prefix "$WINEPREFIX" \
    ${picture:+--picture "$picture"} ${screenshot:+--screenshot "$screenshot"} \
    ${record:+--record "$record"}
fi
export DISPLAY=$display

bin=$BUILD_ROOT/x86_64/bin
cd "$bin"
if wine_prefix_ours; then wineserver -p >/dev/null 2>&1; fi
wine wineboot >/dev/null 2>&1 || true
wine_can_start

key='HKCU\Software\Ombrelune\vornelle\Config'
picture_setting=test.gif
[ -n "$picture" ] && picture_setting=$(winepath -w "$picture" 2>/dev/null)
wine reg add "$key" /v Picture /t REG_SZ /d "$picture_setting" /f >/dev/null 2>&1
wine reg add "$key" /v Effect /t REG_DWORD /d "$effect" /f >/dev/null 2>&1
wine reg add "$key" /v Bilinear /t REG_DWORD /d "$bilinear" /f >/dev/null 2>&1
wine reg add "$key" /v WindowPrev /t REG_DWORD /d "$windowed" /f >/dev/null 2>&1

wm_pid=
frames=
cleanup() {
  [ -z "$wm_pid" ] || kill "$wm_pid" 2>/dev/null || true
  [ -z "$frames" ] || rm -rf "$frames"
}
trap cleanup EXIT
if [ "$wm" = 1 ]; then
  openbox >/dev/null 2>&1 &
  wm_pid=$!
  sleep 1 # the manager must own the screen before the first window maps
fi
[ -n "$record" ] && frames=$(mktemp -d)

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
recorder=
for ((i = 0; i < seconds * 10; i++)); do
  kill -0 "$pid" 2>/dev/null || break
  if [ -n "$click" ] && [ "$i" = 10 ]; then
    wine click_button.exe "$click" >/dev/null 2>&1 || log "no button labelled $click"
  fi
  if [ -n "$record" ] && [ "$i" = 10 ]; then
    wine screen_capture.exe --frames $(((seconds > 3 ? seconds - 2 : 1) * 10)) --every 100 \
      --size "$record_size" "$(winepath -w "$frames")" >/dev/null 2>&1 &
    recorder=$!
  fi
  if [ "$role" != preview ] && [ "$role" != pane ] && [ -n "$screenshot" ] &&
    [ "$i" = $((shot_at * 10)) ]; then
    wine screen_capture.exe "$(winepath -w "$screenshot")" >/dev/null 2>&1 &&
      log "screenshot saved to $screenshot"
  fi
  sleep 0.1
done
# The last frames are to show the program, not what is left when it is gone.
if [ -n "$recorder" ]; then
  if wait "$recorder"; then
    python3 "$ROOT/tools/make_gif.py" "$frames" "$record" >&2 || status=1
  else
    log "the recording failed"
    status=1
  fi
fi
if kill -0 "$pid" 2>/dev/null; then
  log "time is up: ending the program"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
else
  wait "$pid" || status=$?
  log "the program ended with exit code $status"
  if { [ "$role" = preview ] || [ "$role" = pane ]; } && [ -n "$screenshot" ] &&
    [ -f "$screenshot" ]; then
    log "screenshot saved to $screenshot"
  fi
fi
# A prefix of the user's may run programs of theirs.
if wine_prefix_ours; then wineserver -k 2>/dev/null || true; fi
exit $status
