#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that every tracked .cpp and .h file is formatted as .clang-format says (runs
# clang-format --dry-run --Werror on each) and that every tracked source, build, script and
# resource file names its licence in an SPDX line; prints the files that fail, exits 1 if any does.
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

# The licence line sits near the top, after a #! or <?xml line or a zsh #compdef.
unlicensed=()
while IFS= read -r -d '' file; do
    head -n 3 "$file" | grep -q 'SPDX-License-Identifier: GPL-3.0-or-later' || unlicensed+=("$file")
done < <(git ls-files -z -- '*.cpp' '*.h' '*.h.in' '*.sh' '*.py' '*.cmake' 'CMakeLists.txt' \
    '*/CMakeLists.txt' '*.ui' '*.svg' '*.qss' '*.xml' '*.desktop' '*.supp' '*.1' '*.bash' \
    'completion/_*' '.ci/run')

status=0
if [ ${#offenders[@]} -ne 0 ]; then
    echo "not formatted as .clang-format says (clang-format -i FILE fixes one):" >&2
    printf '  %s\n' "${offenders[@]}" >&2
    status=1
fi
if [ ${#unlicensed[@]} -ne 0 ]; then
    echo "no 'SPDX-License-Identifier: GPL-3.0-or-later' line in the first three lines:" >&2
    printf '  %s\n' "${unlicensed[@]}" >&2
    status=1
fi
[ $status -eq 0 ] || exit 1
echo "check-format: all tracked .cpp and .h files are formatted and every source file is licensed"
