#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The menu entry and the AppStream metadata as a desktop and a software centre read them: both
# validators without a complaint (hints and pedantic notes aside), and the metadata naming the
# entry and the icon the entry itself names. Exits 77 (skipped) only where a validator is missing.
desktop=$1
metainfo=$2
command -v desktop-file-validate >/dev/null && command -v appstreamcli >/dev/null || exit 77

status=0
out=$(desktop-file-validate "$desktop") || status=1
printf '%s\n' "$out"
printf '%s\n' "$out" | grep -Eq ': (error|warning):' && status=1
out=$(appstreamcli validate --no-net "$metainfo") || status=1
printf '%s\n' "$out"
printf '%s\n' "$out" | grep -Eq '^(E|W):' && status=1

icon=$(sed -n 's/^Icon=//p' "$desktop")
grep -q "<icon type=\"stock\">$icon</icon>" "$metainfo" || {
    echo "the metadata's icon is not the entry's Icon=$icon"
    status=1
}
grep -q "<launchable type=\"desktop-id\">$(basename "$desktop")</launchable>" "$metainfo" || {
    echo "the metadata launches no $(basename "$desktop")"
    status=1
}
exit $status
