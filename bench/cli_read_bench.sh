#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole-command speed and peak memory of korvane-cli's read-only commands (ls, export-csv) on one
# sealed vault, against the sqlite3 command-line shell running the same query on the plain
# database and against `korvane-cli categories` on the same vault, which is one decipher of the
# vault into memory and a query of a few rows: the decipher alone, as the command pays it.
#
#   bench/cli_read_bench.sh [KORVANE_CLI ...]
#
# Every binary named is measured in the same run, interleaved (e.g. the build of main and
# yours). Environment:
#   KORVANE_BENCH_BIG=1       1 000 000 records with remarks sized so the vault is about
#                             256 MiB (default: 100 000 records, about 26 MiB)
#   KORVANE_BENCH_RECORDS=N   another record count
#   KORVANE_BENCH_REPS=N      repetitions of each case, the median is reported (default 5)
# Needs the Debian packages sqlite3 and time (/usr/bin/time -v gives the peak RSS).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
clis=("$@")
[ ${#clis[@]} -gt 0 ] || clis=("$here/../build-rel/app/korvane-cli")
if [ "${KORVANE_BENCH_BIG:-0}" = 1 ]; then
  records=${KORVANE_BENCH_RECORDS:-1000000}
else
  records=${KORVANE_BENCH_RECORDS:-100000}
fi
reps=${KORVANE_BENCH_REPS:-5}
password=benchmark  # padded to benchmarkyyyyyyyy, as the prompt pads it

work=$(mktemp -d /tmp/korvane-read-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
plain=$work/plain.db
vault=$work/vault

# Three records in four have Latin text, one Chinese (GBK, as the vault stores it); the remark
# carries 200 bytes, which makes about 256 bytes a record on disk.
sqlite3 "$plain" <<SQL
PRAGMA page_size=4096;
CREATE TABLE userad(pass TEXT);
CREATE TABLE type(leibie TEXT);
CREATE TABLE userpass(bt TEXT,name TEXT,pass TEXT,bz TEXT,type TEXT);
INSERT INTO userad VALUES('benchmarkyyyyyyyy');
INSERT INTO type VALUES('Work');
INSERT INTO type VALUES(CAST(X'BCD2CDA5' AS TEXT));
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<$records)
INSERT INTO userpass
SELECT CASE WHEN i%4=0 THEN CAST(X'D6D0CEC4' AS TEXT)||i ELSE 'title '||i END,
       'user'||i||'@example.com', 'pass-'||i||'-x9!',
       'remark line for record '||i||' '||substr(printf('%.200c','r'),1,200-length(i)),
       CASE i%3 WHEN 0 THEN 'Work' WHEN 1 THEN CAST(X'CED2B5C4C3DCC2EB' AS TEXT) ELSE 'Old' END
FROM n;
SQL
mkdir -m 700 "$vault"
cp "$plain" "$vault/user.tmp"
# The start recovers a lone working file: it seals it under its stored password.
echo "$password" | "${clis[0]}" --vault-dir "$vault" --password-stdin categories >/dev/null
[ -f "$vault/user.dat" ] && [ ! -e "$vault/user.tmp" ] || { echo "sealing failed" >&2; exit 1; }
echo "records: $records, vault: $(( $(stat -c %s "$vault/user.dat") / 1048576 )) MiB," \
     "load: $(cut -d' ' -f1-3 /proc/loadavg)"

root_query="select OID,bt,name,bz from userpass where type not in (select ifnull(leibie,'') from type)"
csv_query="select bt,name,pass,bz from userpass"

# One run of a command: "seconds peak-KiB".
measure() {
  local log=$work/time.log
  /usr/bin/time -v -o "$log" "$@" <"$work/password" >/dev/null 2>"$work/stderr" ||
    { cat "$work/stderr" >&2; exit 1; }
  local wall rss
  wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$log" |
         awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }')
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$log")
  echo "$wall $rss"
}

# The median time and the median peak RSS of reps runs: "seconds MiB".
median_of() {
  local results=()
  for _ in $(seq "$reps"); do results+=("$(measure "$@")"); done
  local mid=$(( (reps + 1) / 2 ))
  local t m
  t=$(printf '%s\n' "${results[@]}" | cut -d' ' -f1 | sort -g | sed -n "${mid}p")
  m=$(printf '%s\n' "${results[@]}" | cut -d' ' -f2 | sort -n | sed -n "${mid}p")
  awk -v t="$t" -v m="$m" 'BEGIN { printf "%.3f %.1f\n", t, m / 1024 }'
}

echo "$password" >"$work/password"

printf '%-48s %9s %10s\n' case seconds "peak MiB"
row() { local name=$1; shift; read -r t m < <(median_of "$@"); printf '%-48s %9s %10s\n' "$name" "$t" "$m"; }
row "sqlite3 root query (ls reference)" sqlite3 "$plain" "$root_query"
row "sqlite3 -csv all records (export reference)" sqlite3 -csv "$plain" "$csv_query"
for cli in "${clis[@]}"; do
  label=$(basename "$(dirname "$(dirname "$cli")")")/$(basename "$(dirname "$cli")")
  run=("$cli" --vault-dir "$vault" --password-stdin)
  row "$label categories (decipher + open)" "${run[@]}" categories
  row "$label ls" "${run[@]}" ls
  row "$label export-csv" "${run[@]}" export-csv "$work/out.csv" --force
done
