#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, and
# only those that are missing. apt-get as root, sudo otherwise.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config make
  qt6-base-dev libgl-dev libsdl2-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-ipafont-gothic fonts-noto-cjk
  xvfb xauth xdotool desktop-file-utils dbus-daemon
  dpkg-dev lintian appstream
)
if [ "${1:-}" = "--extra" ]; then
  shift
  packages+=("$@")
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  apt=(apt-get)
elif command -v sudo >/dev/null 2>&1; then
  apt=(sudo apt-get)
else
  echo "These Debian packages are missing and I am not root and have no sudo: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${apt[@]}" update -qq
"${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"
