#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds the program and starts it on the per-user vault folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVANE_BUILD_TESTS=OFF -DKORVANE_BUILD_BENCH=OFF
cmake --build build
# Outside the build folder, so a clean rebuild never deletes the vault.
exec build/app/korvane --vault-dir "${XDG_DATA_HOME:-$HOME/.local/share}/korvane" "$@"
