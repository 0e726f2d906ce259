#!/usr/bin/env bash
# Installs the Debian packages Oculet needs to build, run and be tested, but only those that are
# missing, so a second run costs nothing. Needs root or sudo only when something is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-svg-dev qt6-image-formats-plugins qt6-qpa-plugins
  libxcb1-dev libxcb-shm0-dev libxcb-composite0-dev libxcb-damage0-dev libx11-dev
  libcurl4-openssl-dev libssl-dev libturbojpeg0-dev libmicrohttpd-dev
  fonts-liberation2
)
for option in "$@"; do
  case "$option" in
    --tests)
      packages+=(libgtest-dev libbenchmark-dev xvfb openbox xdotool x11-utils desktop-file-utils libglib2.0-bin python3 python3-pyftpdlib python3-openssl openssl openssh-server
                clang libclang-rt-14-dev chromium chromium-driver python3-selenium) ;;
    # What scripts/package.sh needs to build, check and try out the Debian package, and what
    # scripts/render-icons.sh and scripts/screenshot.sh need.
    --package)
      packages+=(dpkg-dev fakeroot lintian desktop-file-utils appstream librsvg2-bin xvfb xdotool imagemagick) ;;
    *) echo "install-deps.sh: unknown option $option (--tests, --package)" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [[ $(id -u) -ne 0 ]]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
