#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz project, seeds the corpora and runs each named target; non-zero on any crash.
set -euo pipefail

usage() {
    echo "usage: fuzz/run.sh [TARGET...] [SECONDS]   (no target: all; SECONDS default 30)" >&2
    exit 2
}

here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
build="${KORVANE_FUZZ_BUILD:-$root/build-fuzz}"
all=(legacy_old_fuzz legacy_new_fuzz file_decrypt_fuzz vault_unlock_fuzz source_vault_fuzz text_fuzz
     enciphered_vfs_fuzz)

targets=()
seconds=30
for arg in "$@"; do
    case "$arg" in
        -h | --help) usage ;;
        *[!0-9]*) targets+=("$arg") ;;
        *) seconds="$arg" ;;
    esac
done
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")
for t in "${targets[@]}"; do
    [[ " ${all[*]} " == *" $t "* ]] || { echo "unknown target: $t" >&2; usage; }
done

if [ ! -f "$build/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S "$here" -B "$build" -G Ninja
fi
# Two jobs: the machines this runs on have two cores and the sanitizer builds are heavy.
ninja -C "$build" -j2 make_seeds "${targets[@]}"

python3 "$here/make_corpus.py" "$here/corpus" "$build/make_seeds"
mkdir -p "$here/crashes"

failed=()
for t in "${targets[@]}"; do
    extra=()
    # An old-format file is 134420 bytes whatever it holds; shorter inputs only reach the
    # size check.
    [ "$t" = legacy_old_fuzz ] && extra+=(-max_len=140000)
    echo "== $t for ${seconds}s"
    if ! "$build/$t" "$here/corpus/$t" -max_total_time="$seconds" -timeout=10 \
        -artifact_prefix="$here/crashes/$t-" -print_final_stats=1 "${extra[@]}"; then
        failed+=("$t")
    fi
done

if [ ${#failed[@]} -ne 0 ]; then
    echo "crashed: ${failed[*]} (inputs in $here/crashes/)" >&2
    exit 1
fi
echo "no crashes"
