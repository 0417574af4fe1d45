#!/usr/bin/env bash
# Installs the Debian packages the editor needs to build, run and be tested.
# Idempotent: installs only what is missing.
#
#   install-deps.sh [--fuzz]
#
# --fuzz adds what the fuzz targets need (scripts/fuzz.sh): clang, and
# libclang-rt-14-dev, which holds libFuzzer and is only a recommendation of
# clang, so an install without recommendations leaves it out.
set -euo pipefail

packages=(
  cmake ninja-build g++ ccache pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev
  qt6-qpa-plugins libqt6svg6
  xvfb xauth fonts-dejavu-core fonts-liberation2
  python3 openssl stm32flash help2man
  desktop-file-utils appstream dpkg-dev
)
if [ "${1:-}" = "--fuzz" ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

echo "Installing: ${missing[*]}"
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
