#!/usr/bin/env bash
# Builds the Debian package build-package/oculet_<version>_<arch>.deb with CPack, checks it the
# way a distribution would (lintian, desktop-file-validate, appstreamcli), and tries the program
# as installed: unpacked into a scratch root, it must start on its own Xvfb display with an empty
# home, write its language files and Help.txt and Cam_1.bmp into the data folder, and open its
# frame program for the region editor. (The help pictures are built into the program.) Any error stops the script with a non-zero exit.
#
#   scripts/package.sh            build, check and try the package
#   scripts/package.sh --no-build check and try the package already in build-package/
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-package

scripts/install-deps.sh
scripts/install-deps.sh --package

if [[ "${1:-}" != "--no-build" ]]; then
  # Debian's hardening and optimisation flags; the build type adds none of its own.
  eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_CXX_FLAGS="$CXXFLAGS $CPPFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" \
    -DOCULET_TESTS=OFF -DOCULET_BENCH=OFF -DOCULET_WERROR=ON >/dev/null
  cmake --build "$build"
  rm -f "$build"/oculet_*.deb
  (cd "$build" && cpack -G DEB >/dev/null)
fi

version=$(sed -n 's/^project(Oculet VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=$build/oculet_${version}_$(dpkg --print-architecture).deb
[[ -f $deb ]] || { echo "package.sh: $deb was not built" >&2; exit 1; }

echo "== $deb ($(du -k "$deb" | cut -f1) KiB)"
dpkg-deb --field "$deb" Depends

echo "== lintian"
lintian --fail-on error --display-info "$deb"

scratch=$(mktemp -d)
xvfb_pid=""
oculet_pid=""
cleanup() {
  [[ -n $oculet_pid ]] && kill "$oculet_pid" 2>/dev/null || true
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
  chmod -R u+w "$scratch" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

dpkg-deb -x "$deb" "$scratch/root"
echo "== desktop-file-validate, appstreamcli"
desktop-file-validate "$scratch"/root/usr/share/applications/*.desktop
appstreamcli validate --no-net "$scratch"/root/usr/share/metainfo/*.metainfo.xml

echo "== the installed program"
fail() { echo "package.sh: the installed program $*" >&2; exit 1; }
# Its own display and an empty home: nothing of the user's is read or touched.
home=$scratch/home
mkdir -p "$home/run"
chmod 700 "$home/run"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$scratch/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 50); do [[ -s $scratch/display ]] && break; sleep 0.1; done
[[ -s $scratch/display ]] || { echo "package.sh: Xvfb did not start" >&2; exit 1; }
# As installed, the program's folder cannot be written by the user who runs it; the superuser
# could, so for the superuser the program runs as nobody.
chmod -R a-w "$scratch/root"
as_user=()
if [[ $(id -u) -eq 0 ]]; then
  chmod 755 "$scratch"
  chown -R nobody:nogroup "$home"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
run() {
  env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home/run" DISPLAY=":$(cat "$scratch/display")" \
    "${as_user[@]}" "$scratch/root/usr/bin/oculet" "$@" >"$scratch/oculet.log" 2>&1 &
  oculet_pid=$!
}
wait_for() { # seconds, test command...
  local tries=$(($1 * 10)); shift
  for _ in $(seq "$tries"); do "$@" && return 0; sleep 0.1; done
  return 1
}
data=$home/.local/share/Oculet
settings=$home/.config/Oculet/Oculet.ini
display=":$(cat "$scratch/display")"
# An empty home: the default source, EasyPal, is not running, and the program asks whether to
# go on without it. Yes, and frames are written.
run
answer_warning() {
  [[ -s $data/Cam_1.bmp ]] && return 0
  local window
  for window in $(DISPLAY=$display xdotool search --onlyvisible --pid "$oculet_pid" --name 'Oculet' 2>/dev/null); do
    DISPLAY=$display xdotool windowraise "$window" windowfocus --sync "$window" key y 2>/dev/null || true
  done
  return 1
}
wait_for 20 answer_warning || fail "wrote no Cam_1.bmp into $data: $(cat "$scratch/oculet.log")"
languages=$(find "$data/Languages" -name '*.Language' | wc -l)
[[ $languages -eq 5 ]] || fail "wrote $languages language files, not 5"
[[ -s $data/Help.txt ]] || fail "wrote no Help.txt"
kill "$oculet_pid"
wait "$oculet_pid" || fail "did not end cleanly on SIGTERM: $(cat "$scratch/oculet.log")"
oculet_pid=""
[[ -s $settings ]] || fail "saved no settings"

# The region editor of the screen region opens the installed frame program.
printf '[program]\nprog=4\n' >"$settings"
run --edit-region 1
frame_program() { pgrep -x -P "$oculet_pid" oculet-frame >/dev/null; }
wait_for 15 frame_program || fail "did not start its frame program: $(cat "$scratch/oculet.log")"
frame=$(readlink -f "/proc/$(pgrep -x -P "$oculet_pid" oculet-frame)/exe")
[[ $frame == "$scratch/root/usr/libexec/oculet/oculet-frame" ]] || fail "started $frame"
kill "$oculet_pid"
wait "$oculet_pid" || fail "did not end cleanly on SIGTERM: $(cat "$scratch/oculet.log")"
oculet_pid=""
written=$(find "$scratch/root" -mindepth 1 -newer "$deb")
[[ -z $written ]] || fail "wrote beside itself: $written"
echo "package.sh: $deb is good"
