#!/usr/bin/env bash
# Grid data path: a page costs its page, not its result. Builds a SQLite database with a
# 1,000,000-row table and a 1,000-row table, then times `quenmark run` on grid pages beside the
# sqlite3 command-line shell doing the least work the same page needs, and compares peak memory:
#   first page     grid (10 rows)         vs  sqlite3: count(*) of the query, then LIMIT 11
#   sorted page    grid sorted by name    vs  sqlite3: count(*), then ORDER BY name LIMIT 11
#   filtered page  grid, client filter    vs  sqlite3: the full scan of the query
#   peak memory    first page, 1,000,000 rows vs the same page over 1,000 rows
# Usage: bench/grid_data_bench.sh [BUILD_DIR]   (times are the best of 3 runs; exits 1 when a
# target is missed)
set -euo pipefail
build=${1:-build}
quenmark=$(cd "$build" && pwd)/quenmark
command -v sqlite3 >/dev/null || { echo "sqlite3 is needed (apt-get install sqlite3)"; exit 2; }
work=$(mktemp -d /tmp/quenmark-grid-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

sqlite3 "$work/big.db" <<'SQL'
CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, price REAL, note TEXT);
WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 1000000)
INSERT INTO t SELECT x, 'name ' || ((x * 7919) % 1000003), (x % 1000) * 1.5,
                     'a note of some length for row ' || x FROM c;
CREATE TABLE small AS SELECT * FROM t WHERE id <= 1000;
SQL

page() {  # page TABLE
  cat >"$work/$1.lua" <<LUA
local grid = Server.CreateObject("Quenmark.DataGrid")
grid:CreateConnection("Provider=SQLite;Data Source=" .. Server.MapPath("big.db"))
grid.Command = "SELECT id, name, price, note FROM $1"
grid:Display()
LUA
}
page t
page small

best() {  # best TIMES... -- seconds of the fastest of 3 runs of the command
  local fastest=999
  for _ in 1 2 3; do
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    fastest=$(echo "$end $start $fastest" | awk '{d = $1 - $2; printf "%.3f", (d < $3) ? d : $3}')
  done
  echo "$fastest"
}
peak_kb() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }

q="SELECT id, name, price, note FROM t"
grid_first=$(best "$quenmark" run "$work/t.lua" --body)
cli_first=$(best sqlite3 "$work/big.db" "SELECT count(*) FROM ($q); SELECT * FROM ($q) LIMIT 11")
grid_sorted=$(best "$quenmark" run "$work/t.lua" --body --form "start=1&pagesize=10&sort=2")
cli_sorted=$(best sqlite3 "$work/big.db" "SELECT count(*) FROM ($q); $q ORDER BY name LIMIT 11")
grid_filtered=$(best "$quenmark" run "$work/t.lua" --body \
  --form "start=1&pagesize=10&rsfilter=price+%3E+1000")
cli_scan=$(best sqlite3 "$work/big.db" "$q")
mem_big=$(peak_kb "$quenmark" run "$work/t.lua" --body)
mem_small=$(peak_kb "$quenmark" run "$work/small.lua" --body)
mem_filtered=$(peak_kb "$quenmark" run "$work/t.lua" --body \
  --form "start=1&pagesize=10&rsfilter=price+%3E+1000")

missed=0
row() {  # row NAME FIGURE ANCHOR LIMIT UNIT
  local ratio ok
  ratio=$(echo "$2 $3" | awk '{printf "%.2f", $1 / $2}')
  ok=$(echo "$ratio $4" | awk '{print ($1 <= $2) ? "ok" : "MISSED"}')
  [ "$ok" = ok ] || missed=1
  printf '%-34s %10s %-3s vs %10s %-3s ratio %6s (target <= %s) %s\n' "$1" "$2" "$5" "$3" "$5" \
    "$ratio" "$4" "$ok"
}
row "first page, 1,000,000 rows" "$grid_first" "$cli_first" 1.5 s
row "sorted page, 1,000,000 rows" "$grid_sorted" "$cli_sorted" 1.5 s
row "filtered page, 1,000,000 rows" "$grid_filtered" "$cli_scan" 1.5 s
extra=$(( (mem_big - mem_small) / 1024 ))
printf '%-34s %10s KB vs %10s KB (1,000 rows): %d MB more (target <= 32) %s\n' \
  "peak memory, first page" "$mem_big" "$mem_small" "$extra" \
  "$([ "$extra" -le 32 ] && echo ok || { missed=1; echo MISSED; })"
extra_f=$(( (mem_filtered - mem_small) / 1024 ))
printf '%-34s %10s KB vs %10s KB (1,000 rows): %d MB more (flat) %s\n' \
  "peak memory, filtered page" "$mem_filtered" "$mem_small" "$extra_f" \
  "$([ "$extra_f" -le 32 ] && echo ok || { missed=1; echo MISSED; })"
exit "$missed"
