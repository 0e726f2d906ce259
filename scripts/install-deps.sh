#!/usr/bin/env bash
# Installs the Debian packages Oculet needs to build, run and be tested, but only those that are
# missing, so a second run costs nothing. Needs root or sudo only when something is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-svg-dev qt6-image-formats-plugins qt6-qpa-plugins
  libxcb1-dev libxcb-shm0-dev libx11-dev
  libcurl4-openssl-dev libssl-dev libturbojpeg0-dev libmicrohttpd-dev
  fonts-liberation2
)
if [[ "${1:-}" == "--tests" ]]; then
  packages+=(libgtest-dev libbenchmark-dev xvfb openbox xdotool python3 python3-pyftpdlib python3-openssl openssl openssh-server
             chromium chromium-driver python3-selenium)
fi

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
