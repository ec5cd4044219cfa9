#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages Korvane needs to build, run and test (clang, its runtime and python3
# for the fuzz targets and their seed corpus, clang-format for the format check, dbus-daemon for the
# screen-lock tests' private bus, zsh for the syntax check of korvane-cli's zsh completion,
# rsvg-convert for the PNG icons, the desktop-file and AppStream validators, and dpkg-dev, file,
# lintian and man-db for the Debian package and its check); skips what is present.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
  qt6-translations-l10n qt6-svg-dev
  libx11-dev libsqlite3-dev libgtest-dev libgmock-dev libbenchmark-dev libcrypto++-dev
  libzxcvbn-dev
  fonts-wqy-microhei dbus-daemon
  clang libclang-rt-14-dev python3 clang-format
  zsh
  librsvg2-bin desktop-file-utils appstream
  dpkg-dev file lintian man-db
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
