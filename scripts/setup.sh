#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the program need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qtbase5-dev qtbase5-dev-tools zlib1g-dev
  libqt5sql5-sqlite libquazip5-dev
  libbenchmark-dev
  tango-icon-theme
  fonts-ipafont-gothic
  qttranslations5-l10n
  xvfb xauth x11-utils imagemagick
  desktop-file-utils appstream file
  dpkg-dev fakeroot lintian
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
