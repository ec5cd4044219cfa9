#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages Korvane needs to build, run and test (clang, its runtime and python3
# for the fuzz targets and their seed corpus, clang-format for the format check, dbus-daemon for the
# screen-lock tests' private bus, zsh for the syntax check of korvane-cli's zsh completion,
# rsvg-convert for the PNG icons, the desktop-file and AppStream validators, and dpkg-dev, file,
# lintian and man-db for the Debian package and its check, and locales for the zh_CN.GBK locale
# the command-line tests run korvane-cli under); skips what is present.
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
  locales
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
if [ ${#missing[@]} -gt 0 ]; then
  "${sudo_cmd[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends \
    "${missing[@]}"
fi

# The GBK locale is generated through /etc/locale.gen, so that a later locale-gen keeps it.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN\.gbk'; then
  if grep -q '^# *zh_CN\.GBK GBK$' /etc/locale.gen 2>/dev/null; then
    "${sudo_cmd[@]}" sed -i 's/^# *\(zh_CN\.GBK GBK\)$/\1/' /etc/locale.gen
  elif ! grep -q '^zh_CN\.GBK GBK$' /etc/locale.gen 2>/dev/null; then
    echo 'zh_CN.GBK GBK' | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  fi
  "${sudo_cmd[@]}" locale-gen
fi
