#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package: a Release build in build-package (programs only, installed under
# /usr), `cpack -G DEB`, then lintian. Leaves build-package/korvane_VERSION_ARCH.deb; prints
# lintian's findings and the package's contents. Fails on a lintian error or warning.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

# The files and folders of the package take their modes from this build.
umask 022
build=build-package
# Debian's own compiler and linker flags, hardening included (lintian checks for it). Passed as
# cache values, not through the environment, so that a second run with other flags uses them;
# CMake never reads CPPFLAGS, where _FORTIFY_SOURCE is.
flag() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DKORVANE_BUILD_TESTS=OFF -DKORVANE_BUILD_BENCH=OFF -DKORVANE_FAULT_INJECTION=OFF \
    -DCMAKE_CXX_FLAGS="$(flag CPPFLAGS) $(flag CXXFLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(flag LDFLAGS)"
cmake --build "$build" -j2
rm -f "$build"/korvane_*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/korvane_*.deb)

echo "== lintian $deb"
# An error or a warning fails the build: fix it, or override it in packaging/lintian-overrides
# with the reason. Infos are printed for the reader.
lintian --fail-on error,warning --display-info --show-overrides "$deb"
echo "== dpkg -c $deb"
dpkg -c "$deb"
echo "Package: $deb"
