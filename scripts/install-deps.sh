#!/usr/bin/env bash
# Installs what Kodra needs on Debian 12 (build tools, Qt 6 with its Russian translation,
# Firebird client, embedded engine, utilities and the server for shared catalogues, the icon
# renderer and the validators of the desktop entry, the metainfo and the package). Safe to
# run again: apt-get skips what is present.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

PACKAGES=(
  build-essential cmake ninja-build pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools libgl-dev
  firebird-dev libfbclient2 firebird3.0-server-core firebird3.0-utils firebird3.0-server
  libblkid-dev zlib1g-dev e2fsprogs genisoimage tzdata dbus-daemon
  xvfb xauth fonts-dejavu-core fonts-liberation2 poppler-utils
  librsvg2-bin desktop-file-utils appstream lintian qt6-translations-l10n bash-completion
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
# Without systemd (a container) the server package's attempt to start its service would
# fail the install: a temporary policy tells invoke-rc.d not to start services. The test
# script starts its own server when it needs one.
policy=/usr/sbin/policy-rc.d
own_policy=""
if [ ! -d /run/systemd/system ] && [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$policy" >/dev/null
  $SUDO chmod 0755 "$policy"
  own_policy=1
fi
remove_policy() {
  if [ -n "$own_policy" ]; then $SUDO rm -f "$policy"; fi
}
trap remove_policy EXIT

# No questions: an empty SYSDBA answer makes the package choose a random password.
echo "firebird3.0-server shared/firebird/sysdba_password/first_install password" \
  | $SUDO debconf-set-selections
$SUDO apt-get update -qq
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  "${missing[@]}"
