#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole-command comparison of `korvane-cli import db` and `korvane-cli sync` against the sqlite3
# CLI doing the same rows: ATTACH + INSERT…SELECT for the import, ATTACH + INSERT…EXCEPT for the
# sync, each in one transaction. Prints the median wall time and peak RSS of each over RUNS runs.
#
#   bash bench/exchange_vs_sqlite3.sh [RECORDS] [RUNS]      (defaults 100000 and 3)
#   KORVANE_CLI=build-rel/app/korvane-cli bash bench/exchange_vs_sqlite3.sh 1000000
#
# The import adds RECORDS source records to an empty vault; the sync merges RECORDS source
# records, half of them present already, into a vault of RECORDS. korvane-cli reads and writes
# the vault through its enciphering VFS, which the sqlite3 reference does not: `categories` on
# the vault of RECORDS (a read-only command) shows what any command pays to unlock it, `add` of
# one record the same plus one committed insert (bench/cli_read_bench.sh holds both against a
# 16 KiB vault). Needs the Debian packages sqlite3 and time.
set -euo pipefail

records=${1:-100000}
runs=${2:-3}
cli=${KORVANE_CLI:-build-rel/app/korvane-cli}
password=benchmark
work=$(mktemp -d /tmp/korvane-exchange-XXXXXX)
trap 'rm -rf "$work"' EXIT

schema="CREATE TABLE userad(pass TEXT); CREATE TABLE type(leibie TEXT);
CREATE TABLE userpass(bt TEXT,name TEXT,pass TEXT,bz TEXT,type TEXT);"

# Records first..first+count-1, the same texts the sync benchmark uses.
make_rows() {
    local db=$1 first=$2 count=$3
    sqlite3 "$db" "$schema
BEGIN;
WITH RECURSIVE c(i) AS (SELECT $first UNION ALL SELECT i + 1 FROM c WHERE i < $first + $count - 1)
INSERT INTO userpass SELECT 'title ' || i, 'user' || i || '@example.com', 'pass-' || i || '-x9!',
  'remark line for record ' || i, CASE i % 2 WHEN 1 THEN 'Work' ELSE 'Home' END FROM c;
INSERT INTO type VALUES('Work'); INSERT INTO type VALUES('Home');
COMMIT;"
}

# A vault in folder $1 holding the rows of plain database $2 (none when empty).
make_vault() {
    mkdir -m 700 "$1"
    printf '%s\n%s\n' "$password" "$password" | "$cli" --vault-dir "$1" --password-stdin init >/dev/null 2>&1
    if [[ -n "$2" ]]; then
        printf '%s\n' "$password" |
            "$cli" --vault-dir "$1" --password-stdin import db "$2" >/dev/null 2>&1
    fi
}

# Runs "$@" RUNS times after `reset` each time; prints the median seconds and peak KiB.
measure() {
    local label=$1 reset=$2
    shift 2
    local times=() rss=()
    for ((r = 0; r < runs; r++)); do
        eval "$reset"
        /usr/bin/time -v -o "$work/time.txt" "$@" >/dev/null
        times+=("$(awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, p, ":");
            s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s}' "$work/time.txt")")
        rss+=("$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")")
    done
    local t m
    t=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}')
    m=$(printf '%s\n' "${rss[@]}" | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}')
    printf '%-28s %8.2f s %8.1f MiB\n' "$label" "$t" "$(echo "$m / 1024" | bc -l)"
}

make_rows "$work/source.db" $((records / 2)) "$records"
make_rows "$work/base.db" 0 "$records"
sqlite3 "$work/empty.db" "$schema"
make_vault "$work/empty-vault" ""
make_vault "$work/full-vault" "$work/base.db"

echo "records: $records, runs: $runs, load: $(cut -d' ' -f1-3 /proc/loadavg)"
measure "korvane-cli import db" "rm -rf '$work/v'; cp -a '$work/empty-vault' '$work/v'" \
    sh -c "printf '%s\n' '$password' | '$cli' --vault-dir '$work/v' --password-stdin import db '$work/source.db'"
measure "sqlite3 INSERT…SELECT" "cp '$work/empty.db' '$work/t.db'" \
    sqlite3 "$work/t.db" "ATTACH '$work/source.db' AS src; BEGIN;
INSERT INTO userpass SELECT bt,name,pass,bz,type FROM src.userpass;
INSERT INTO type SELECT leibie FROM src.type; COMMIT;"
# What a korvane-cli command pays around its work on the vault of RECORDS: the unlock and a
# tiny query (a read-only command), then the same with one committed insert.
measure "korvane-cli categories" "rm -rf '$work/v'; cp -a '$work/full-vault' '$work/v'" \
    sh -c "printf '%s\n' '$password' | '$cli' --vault-dir '$work/v' --password-stdin categories"
measure "korvane-cli add" "rm -rf '$work/v'; cp -a '$work/full-vault' '$work/v'" \
    sh -c "printf '%s\n' '$password' | '$cli' --vault-dir '$work/v' --password-stdin add --title one"
measure "korvane-cli sync" "rm -rf '$work/v'; cp -a '$work/full-vault' '$work/v'" \
    sh -c "printf '%s\n' '$password' | '$cli' --vault-dir '$work/v' --password-stdin sync '$work/source.db'"
measure "sqlite3 INSERT…EXCEPT" "cp '$work/base.db' '$work/t.db'" \
    sqlite3 "$work/t.db" "ATTACH '$work/source.db' AS src; BEGIN;
INSERT INTO userpass SELECT bt,name,pass,bz,type FROM src.userpass
  EXCEPT SELECT bt,name,pass,bz,type FROM main.userpass;
INSERT INTO type SELECT leibie FROM src.type EXCEPT SELECT leibie FROM main.type; COMMIT;"
