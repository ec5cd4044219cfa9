#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sources korvane-cli's bash completion and checks its replies, row by row, against what the
# built program's own --help says it has: a command or option added without its completion
# fails here. The zsh completion's list of commands is held to the same list.
# Usage: bash_completion_test.sh BASH_COMPLETION ZSH_COMPLETION KORVANE_CLI
set -u
completion=$1
zsh_completion=$2
program=$3
# shellcheck source=/dev/null
source "$completion"

failures=0
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/sub dir"
: >"$scratch/file.txt"

# The sorted replies for a command line whose last word is being completed.
complete_line() {
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _korvane_cli
    printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | sed '/^$/d'
}

expect() { # expect "WHAT" "EXPECTED (one a line)" WORDS...
    local what=$1 expected=$2
    shift 2
    local actual
    actual=$(complete_line "$@")
    expected=$(printf '%s\n' "$expected" | LC_ALL=C sort | sed '/^$/d')
    if [[ $actual != "$expected" ]]; then
        printf 'FAIL %s\n  words:    %s\n  expected: %s\n  actual:   %s\n' "$what" "$*" \
            "$(echo $expected)" "$(echo $actual)"
        failures=$((failures + 1))
    fi
}

lines() { printf '%s\n' "$@"; }

help=$("$program" --help) || { echo "FAIL: $program --help"; exit 1; }
commands=$(printf '%s\n' "$help" | awk '/^命令：/ {on = 1; next} on && NF == 0 {on = 0} on {print $1}')
globals=$(printf '%s\n' "$help" |
    awk '/^全局选项：/ {on = 1; next} on && NF == 0 {on = 0} on' | grep -o -- '--[a-z-]*')
[[ $(wc -l <<<"$commands") -ge 10 ]] || { echo "FAIL: no command list in --help"; exit 1; }

expect "an empty word lists the program's commands" "$commands" korvane-cli ''
expect "a global option" "--vault-dir" korvane-cli --va
expect "the global options" "$globals" korvane-cli --
expect "--vault-dir takes a folder" "$scratch/sub dir" korvane-cli --vault-dir "$scratch/"
expect "--vault-dir=FOLDER" "$scratch/sub dir" korvane-cli --vault-dir = "$scratch/"
expect "a command after a global option's value" "show" korvane-cli --vault-dir /v sh
expect "a command's option" "--show-password" korvane-cli --vault-dir /v show --sh
expect "an option's value is not completed" "" korvane-cli add --title ''
expect "a command's argument is not a command" "" korvane-cli show ''
expect "export-csv takes a file" "$scratch/file.txt" korvane-cli export-csv "$scratch/f"
expect "import's format" "$(lines db new old)" korvane-cli import ''
expect "import's file" "$(lines "$scratch/file.txt" "$scratch/sub dir")" \
    korvane-cli import db "$scratch/"
expect "nothing after import's file" "" korvane-cli import db x ''
expect "after --, a word is an argument" "$scratch/file.txt" \
    korvane-cli backup -- "$scratch/fi"

# Each command's options, as its own --help lists them, and the global ones.
while read -r command; do
    own=$("$program" "$command" --help | grep -o -- '^  --[a-z-]*' | tr -d ' ')
    expect "the options of $command" "$(lines $own $globals)" korvane-cli "$command" --
done <<<"$commands"

# zsh's commands are the 'name:summary' lines of its commands array.
zsh_commands=$(sed -n "s/^ *'\([a-z-]*\):.*'$/\1/p" "$zsh_completion")
if [[ $zsh_commands != "$commands" ]]; then
    printf 'FAIL zsh commands\n  expected: %s\n  actual:   %s\n' "$(echo $commands)" \
        "$(echo $zsh_commands)"
    failures=$((failures + 1))
fi

if ((failures > 0)); then
    echo "$failures completion check(s) failed"
    exit 1
fi
echo "all completion checks passed"
