#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the lint checks and the program need.
# Safe to run again: apt-get skips what is already installed.
set -euo pipefail

packages=(
  build-essential cmake pkg-config ccache
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev qt6-charts-dev libqt6opengl6-dev
  libsqlcipher-dev libsodium-dev
  libpq-dev postgresql
  libxlsxwriter-dev zlib1g-dev libminizip-dev
  fonts-noto-cjk fonts-wqy-microhei
  unzip poppler-utils
  clang-format clang-tidy
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
