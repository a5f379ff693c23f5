#!/usr/bin/env bash
# Installs what Kodra needs on Debian 12 (build tools, Qt 6, Firebird client, embedded
# engine and utilities). Safe to run again: apt-get skips what is present.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

PACKAGES=(
  build-essential cmake ninja-build pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools libgl-dev
  firebird-dev libfbclient2 firebird3.0-server-core firebird3.0-utils
  libblkid-dev
  xvfb xauth fonts-dejavu-core
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
