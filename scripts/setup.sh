#!/usr/bin/env bash
# Installs every Debian package Velanto needs to build, run and test. Idempotent: when everything is
# present it only checks and returns.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools libqt6opengl6-dev
  libgl-dev libxkbcommon-dev
  libsqlcipher-dev sqlcipher
  libgmime-3.0-dev libgsasl-dev
  libgtest-dev libgmock-dev googletest
  xvfb xauth
  dbus dbus-daemon at-spi2-core python3-pyatspi
  python3 python3-aiosmtpd
  postfix
  dnsmasq-base
  fonts-dejavu-core
  adwaita-icon-theme libqt6svg6
  poppler-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
# Postfix is only wanted for its smtp-sink test peer: never configure or start a mail system.
echo "postfix postfix/main_mailer_type select No configuration" | $SUDO debconf-set-selections
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
