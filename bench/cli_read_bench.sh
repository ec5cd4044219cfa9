#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole-command time and peak memory of korvane-cli on a large vault against the same command on
# a 16 KiB one (four pages: the schema and the three tables), in one run:
#
#   - `categories` (the unlock through EncipheredVfs and a query of a few rows) and `add` of one
#     record (the same, plus one committed insert): at most 3 times the 16 KiB figure;
#   - `ls` (the root view, 2/3 of the records) and `export-csv`: peak RSS at most 64 MiB above
#     that of `categories` on the 16 KiB vault, the process's own baseline.
#
# Their time goal is held in-process against one decipher into memory plus the same query
# (read_command_bench.cpp); the sqlite3 shell running the same query on the plain database is
# printed here as a yardstick.
#
#   bench/cli_read_bench.sh [KORVANE_CLI ...]
#
# Every binary named is measured in the same run, interleaved (e.g. the build of main and
# yours). Environment:
#   KORVANE_BENCH_BIG=1       1 000 000 records, a vault of 279 MiB (default: 100 000, 26 MiB)
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

# The vault of bench/bench_session.h: three records in four have Latin text, one Chinese (GBK,
# as the vault stores it); the remark carries 200 bytes, which makes about 280 bytes a record
# on disk. A third each in Work, in the root, and under Old (no category: the root view too).
make_plain() {
  sqlite3 "$1" <<SQL
PRAGMA page_size=4096;
CREATE TABLE userad(pass TEXT);
CREATE TABLE type(leibie TEXT);
CREATE TABLE userpass(bt TEXT,name TEXT,pass TEXT,bz TEXT,type TEXT);
INSERT INTO userad VALUES('benchmarkyyyyyyyy');
INSERT INTO type VALUES('Work');
INSERT INTO type VALUES(CAST(X'BCD2CDA5' AS TEXT));
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<$2)
INSERT INTO userpass
SELECT CASE WHEN i%4=0 THEN CAST(X'D6D0CEC4' AS TEXT)||i ELSE 'title '||i END,
       'user'||i||'@example.com', 'pass-'||i||'-x9!',
       'remark line for record '||i||' '||substr(printf('%.200c','r'),1,200-length(i)),
       CASE i%3 WHEN 0 THEN 'Work' WHEN 1 THEN CAST(X'CED2B5C4C3DCC2EB' AS TEXT) ELSE 'Old' END
FROM n;
SQL
}

# A vault folder $1 from the plain database $2: the start finds a lone working file of an
# earlier version and enciphers it into user.dat under its stored password.
make_vault() {
  mkdir -m 700 "$1"
  cp "$2" "$1/user.tmp"
  echo "$password" | "${clis[0]}" --vault-dir "$1" --password-stdin categories >/dev/null
  if [ ! -f "$1/user.dat" ] || [ -e "$1/user.tmp" ]; then echo "enciphering failed" >&2; exit 1; fi
}

make_plain "$plain" "$records"
make_plain "$work/small.db" 10
make_vault "$work/vault" "$plain"
make_vault "$work/small" "$work/small.db"
rm "$work/small.db"
echo "records: $records, vault: $(( $(stat -c %s "$work/vault/user.dat") / 1048576 )) MiB," \
     "small vault: $(( $(stat -c %s "$work/small/user.dat") / 1024 )) KiB, nproc: $(nproc)," \
     "load: $(cut -d' ' -f1-3 /proc/loadavg)"

root_query="select OID,bt,name,bz from userpass where type not in (select ifnull(leibie,'') from type)"
csv_query="select bt,name,pass,bz from userpass"

# One run of a command: "seconds peak-KiB". time's own wall clock counts hundredths, too coarse
# for a command on the small vault, so the shell's clock times the run (time's fork and exec,
# about a millisecond, included on both sides of every ratio).
measure() {
  local log=$work/time.log start end
  start=${EPOCHREALTIME/,/.}
  /usr/bin/time -f %M -o "$log" "$@" <"$work/password" >/dev/null 2>"$work/stderr" ||
    { cat "$work/stderr" >&2; exit 1; }
  end=${EPOCHREALTIME/,/.}
  echo "$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.4f", e - s }') $(tail -n 1 "$log")"
}

# The median time and the median peak RSS of reps runs: "seconds MiB".
median_of() {
  local results=()
  for _ in $(seq "$reps"); do results+=("$(measure "$@")"); done
  local mid=$(( (reps + 1) / 2 ))
  local t m
  t=$(printf '%s\n' "${results[@]}" | cut -d' ' -f1 | sort -g | sed -n "${mid}p")
  m=$(printf '%s\n' "${results[@]}" | cut -d' ' -f2 | sort -n | sed -n "${mid}p")
  awk -v t="$t" -v m="$m" 'BEGIN { printf "%.4f %.1f\n", t, m / 1024 }'
}

echo "$password" >"$work/password"

declare -A seconds mib
printf '%-48s %9s %10s\n' case seconds "peak MiB"
# row KEY NAME COMMAND...: measures, prints, and keeps the figures under KEY.
row() {
  local key=$1 name=$2
  shift 2
  local t m
  read -r t m < <(median_of "$@")
  seconds[$key]=$t
  mib[$key]=$m
  printf '%-48s %9s %10s\n' "$name" "$t" "$m"
}
row sqlite3-ls "sqlite3 root query (yardstick for ls)" sqlite3 "$plain" "$root_query"
row sqlite3-csv "sqlite3 -csv all records (for export-csv)" sqlite3 -csv "$plain" "$csv_query"
for i in "${!clis[@]}"; do
  cli=${clis[$i]}
  label=$(basename "$(dirname "$(dirname "$cli")")")/$(basename "$(dirname "$cli")")
  big=("$cli" --vault-dir "$work/vault" --password-stdin)
  small=("$cli" --vault-dir "$work/small" --password-stdin)
  row "$i categories-small" "$label categories, 16 KiB" "${small[@]}" categories
  row "$i categories" "$label categories" "${big[@]}" categories
  row "$i add-small" "$label add, 16 KiB" "${small[@]}" add --title one
  row "$i add" "$label add" "${big[@]}" add --title one
  row "$i ls" "$label ls" "${big[@]}" ls
  row "$i export" "$label export-csv" "${big[@]}" export-csv "$work/out.csv" --force
done
echo "load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"

# ratio_goal NAME SECONDS REFERENCE-SECONDS FACTOR: SECONDS at most FACTOR times the reference.
ratio_goal() {
  local name=$1 measured=$2 reference=$3 factor=$4
  awk -v n="$name" -v m="$measured" -v r="$reference" -v f="$factor" 'BEGIN {
    ratio = r > 0 ? m / r : 0
    verdict = ratio <= f ? "pass" : sprintf("MISS by %.0f%%", (ratio / f - 1) * 100)
    printf "  %s: %.4f s against %.4f s, ratio %.2f; goal <= %g: %s\n", n, m, r, ratio, f, verdict
  }'
}
# rss_goal NAME MIB BASELINE-MIB ALLOWANCE: MIB at most ALLOWANCE above the baseline.
rss_goal() {
  local name=$1 measured=$2 baseline=$3 allowance=$4
  awk -v n="$name" -v m="$measured" -v b="$baseline" -v a="$allowance" 'BEGIN {
    d = m - b
    verdict = d <= a ? "pass" : sprintf("MISS by %.1f MiB", d - a)
    printf "  %s: %.1f MiB against %.1f MiB, +%.1f MiB; goal <= +%g MiB: %s\n", n, m, b, d, a, verdict
  }'
}
echo
echo "Goals (medians; $records records against 16 KiB; stated for a vault of 256 MiB and more," \
     "1 000 000 records, KORVANE_BENCH_BIG=1):"
for i in "${!clis[@]}"; do
  [ ${#clis[@]} -gt 1 ] && echo " ${clis[$i]}"
  ratio_goal "categories time" "${seconds[$i categories]}" "${seconds[$i categories-small]}" 3
  ratio_goal "add time" "${seconds[$i add]}" "${seconds[$i add-small]}" 3
  rss_goal "ls peak RSS" "${mib[$i ls]}" "${mib[$i categories-small]}" 64
  rss_goal "export-csv peak RSS" "${mib[$i export]}" "${mib[$i categories-small]}" 64
done
