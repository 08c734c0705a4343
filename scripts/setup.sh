#!/usr/bin/env bash
# Installs every Debian package the build, the program and the tests need.
# Safe to run again; runs apt only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6svg6-dev qt6-tools-dev qt6-tools-dev-tools
  qt6-l10n-tools libqt6sql6-ibase qt6-qpa-plugins
  libftdi1-dev libserialport-dev libusb-1.0-0-dev
  firebird3.0-server-core firebird3.0-utils libfbclient2
  libglib2.0-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
