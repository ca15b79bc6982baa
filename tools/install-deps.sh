#!/usr/bin/env bash
# Installs the Debian 12 packages the game, its tests and its tools need, only
# when some are missing. Runs apt-get directly as root, through sudo otherwise.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libglfw3-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri
  libbullet-dev libopenal-dev libalut-dev libstb-dev
  libfreetype-dev fonts-dejavu-core libinih-dev
)
if [ "${1:-}" = "--test" ]; then
  packages+=(
    libgtest-dev libbenchmark-dev xvfb xauth xdotool x11-utils x11-apps imagemagick openbox
    faketime xxd clang libclang-rt-14-dev libx11-dev zlib1g-dev
    openbox
  )
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
