#!/usr/bin/env bash
# Checks that every tracked .cpp and .h file is formatted as .clang-format says: runs
# clang-format --dry-run --Werror on each, prints the files that differ, and exits 1 if any does.
# It installs nothing: scripts/deps.sh installs clang-format (package clang-format). Set
# CLANG_FORMAT to use another binary, e.g. CLANG_FORMAT=clang-format-14.
set -euo pipefail
cd "$(dirname "$0")/.."

tool="${CLANG_FORMAT:-clang-format}"
if ! command -v "$tool" >/dev/null 2>&1; then
    echo "check-format: $tool not found; run scripts/deps.sh first" >&2
    exit 2
fi

# One file at a time, so each offending file is named exactly once.
offenders=()
while IFS= read -r -d '' file; do
    if ! "$tool" --dry-run --Werror --style=file "$file" >/dev/null 2>&1; then
        offenders+=("$file")
    fi
done < <(git ls-files -z -- '*.cpp' '*.h')

if [ ${#offenders[@]} -ne 0 ]; then
    echo "not formatted as .clang-format says (clang-format -i FILE fixes one):" >&2
    printf '  %s\n' "${offenders[@]}" >&2
    exit 1
fi
echo "check-format: all tracked .cpp and .h files are formatted"
