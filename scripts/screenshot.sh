#!/usr/bin/env bash
# Takes the screenshot the AppStream metainfo shows (data/desktop/screenshot.png): the built
# program (build/oculet) on its own Xvfb display, with a private home, copying a picture shown
# on that display. Needs Xvfb, xdotool and ImageMagick (scripts/install-deps.sh --package).
set -euo pipefail
cd "$(dirname "$0")/.."
out=data/desktop/screenshot.png
[[ -x build/oculet ]] || { echo "screenshot.sh: build the program first (cmake --build build --target oculet)" >&2; exit 1; }

scratch=$(mktemp -d)
pids=()
cleanup() {
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[$i]}" 2>/dev/null || true; done
  sleep 0.2
  rm -rf "$scratch"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$scratch/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [[ -s $scratch/display ]] && break; sleep 0.1; done
export DISPLAY=":$(cat "$scratch/display")"
export HOME=$scratch/home XDG_RUNTIME_DIR=$scratch/home/run
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME
mkdir -p "$XDG_RUNTIME_DIR" "$HOME/.config/Oculet"
chmod 700 "$XDG_RUNTIME_DIR"

# Something to copy: the program's icon, shown large where the capture area will be.
display -geometry 400x300+700+300 -background '#d0d8e0' -flatten -resize 400x300! -title picture \
  data/desktop/icons/oculet-256.png &
pids+=($!)
# The screen region as the source, over that picture, and the main window at the top left.
printf '[program]\nprog=4\n[captureleft]\n4=700\n[capturetop]\n4=300\n[me]\nleft=0\ntop=0\n' \
  >"$HOME/.config/Oculet/Oculet.ini"
build/oculet &
pids+=($!)
oculet=$!
window=""
for _ in $(seq 100); do
  window=$(xdotool search --onlyvisible --pid "$oculet" --name '^Oculet$' 2>/dev/null | head -1) && [[ -n $window ]] && break
  sleep 0.1
done
[[ -n $window ]] || { echo "screenshot.sh: Oculet showed no window" >&2; exit 1; }
sleep 3 # a few frames, and the clock's first tick
eval "$(xdotool getwindowgeometry --shell "$window")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out"
kill "$oculet"
wait "$oculet" || true
echo "screenshot.sh: wrote $out ($(identify -format '%wx%h' "$out"))"
