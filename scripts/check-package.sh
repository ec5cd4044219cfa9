#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# CI: builds the Debian package (scripts/package.sh), installs it on this machine, tries the
# installed programs, manual pages and desktop files, then removes and purges it and checks that
# nothing of it is left. Every step runs even when one before it failed; the script fails if any
# did. Needs root or sudo; the package is removed again whatever happens.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/package.sh || exit 1
deb=$(ls "$PWD"/build-package/korvane_*.deb)

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
scratch=$(mktemp -d)
remove_package() { "${sudo_cmd[@]}" dpkg --purge korvane >/dev/null 2>&1; rm -rf "$scratch"; }
trap remove_package EXIT

failures=()
step() {
    local name=$1
    shift
    echo "== $name"
    if "$@"; then echo "ok: $name"; else echo "FAILED: $name"; failures+=("$name"); fi
}

init_vault() {
    local dir=$scratch/vault
    mkdir -m 700 "$dir"
    printf 'pw\npw\n' | /usr/bin/korvane-cli --vault-dir "$dir" --password-stdin init &&
        [ -f "$dir/user.dat" ]
}

# Run from /usr/bin, whoever runs it (root here) gets a vault in the per-user folder, made
# owner-only, and never one among the system's binaries.
init_default_vault() {
    local home=$scratch/home
    mkdir -m 755 "$home"
    printf 'pw\npw\n' | HOME=$home XDG_DATA_HOME='' /usr/bin/korvane-cli --password-stdin init &&
        [ -f "$home/.local/share/korvane/user.dat" ] &&
        [ "$(stat -c %a "$home/.local/share/korvane")" = 700 ] &&
        [ ! -e /usr/bin/user.dat ]
}

read_manual() { [ -f "$1" ] && man -l "$1" >/dev/null; }

# Every file the package brought is gone; a folder may stay only while another package owns it.
nothing_left() {
    local left=0 path
    while read -r path; do
        path=${path#.}
        [ -n "$path" ] && [ "$path" != / ] || continue
        [ -e "$path" ] || [ -L "$path" ] || continue
        if [ -d "$path" ] && [ ! -L "$path" ] && dpkg -S "$path" >/dev/null 2>&1; then continue; fi
        echo "left behind: $path"
        left=1
    done < <(dpkg -c "$deb" | awk '{print $6}')
    return $left
}

step "install" "${sudo_cmd[@]}" apt-get install -y -q "$deb"
step "korvane-cli --version" /usr/bin/korvane-cli --version
step "korvane-cli init in a new folder" init_vault
step "korvane-cli init in the per-user folder" init_default_vault
step "man korvane" read_manual /usr/share/man/man1/korvane.1.gz
step "man korvane-cli" read_manual /usr/share/man/man1/korvane-cli.1.gz
step "desktop entry and metadata" sh tests/desktop/validate_desktop_files.sh \
    /usr/share/applications/korvane.desktop /usr/share/metainfo/org.korvane.korvane.metainfo.xml
step "remove" "${sudo_cmd[@]}" apt-get remove -y -q korvane
# A package no repository lists is purged by dpkg; apt cannot find it once it is removed.
step "purge" "${sudo_cmd[@]}" dpkg --purge korvane
step "nothing left" nothing_left

if [ ${#failures[@]} -gt 0 ]; then
    printf 'check-package: failed: %s\n' "${failures[@]}"
    exit 1
fi
echo "check-package: all steps passed"
