#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the program and the tests need.
set -euo pipefail
PKGS=(build-essential cmake ninja-build qt6-base-dev qt6-base-private-dev qt6-multimedia-dev
      qt6-svg-dev fonts-liberation fonts-dejavu-core clang libclang-rt-14-dev
      xvfb xauth desktop-file-utils appstream lintian
      dbus-daemon at-spi2-core python3-pyatspi orca
      poppler-utils qt6-translations-l10n)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
