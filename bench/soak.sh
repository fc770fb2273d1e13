#!/usr/bin/env bash
# Load and soak test of `quenmark serve` on loopback, bounded in time:
#  1. wrk with 64 connections (32 on a 10-row grid page, 32 on a static file) for LOAD seconds:
#     no errors and no non-2xx answers, resident memory flat (at most GROWTH_MB above its
#     level after the first quarter);
#  2. 200 slow clients (a header line every 2 s, reconnecting when cut off) for SLOW seconds while
#     a normal client still gets every answer within 1 s.
#
#   bench/soak.sh [BUILD_DIR] [LOAD_SECONDS] [SLOW_SECONDS] [GROWTH_MB]
#                                                   (defaults: build, 60, 30, 32)
# (A sanitizer build keeps freed memory in quarantine: give it a larger GROWTH_MB.)
#
# The test command runs a short pass (tests/CMakeLists.txt). Exits 1 when a check fails.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
load_seconds="${2:-60}"
slow_seconds="${3:-30}"
growth_mb="${4:-32}"
quenmark="$build/quenmark"
[[ -x "$quenmark" ]] || { echo "build $quenmark first" >&2; exit 2; }
command -v wrk >/dev/null || { echo "wrk is needed (apt-get install wrk)" >&2; exit 2; }

work="$(mktemp -d)"
server=""
cleanup() {
  [[ -n "$server" ]] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

site="$work/site"
mkdir -p "$site/data"
head -c 4096 /dev/zero | tr '\0' 'x' >"$site/static.txt"
fixture="$build/fixture/store.db"
if [[ -f "$here/examples/site/data/demo.db" ]]; then
  cp "$here/examples/site/data/demo.db" "$site/data/demo.db"
elif [[ -f "$fixture" ]]; then
  cp "$fixture" "$site/data/demo.db"
else
  echo "no demo database: run $quenmark demo once, or the tests" >&2; exit 2
fi
cat >"$site/grid.lua" <<'LUA'
local grid = Server.CreateObject("Quenmark.DataGrid")
grid:CreateConnection("Provider=SQLite;Data Source=" .. Server.MapPath("data/demo.db"))
grid.Command = "SELECT ProductID, ProductName, UnitPrice, UnitsInStock FROM Products"
grid.PageSize = 10
grid:Display()
LUA

port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"
"$quenmark" serve --root "$site" --port "$port" >/dev/null 2>"$work/server.err" &
server=$!
base="http://127.0.0.1:$port"
for _ in $(seq 100); do curl -sf "$base/static.txt" >/dev/null && break; sleep 0.1; done

rss() { awk '/VmRSS/ {print $2}' "/proc/$server/status"; }
status=0
fail() { echo "FAIL: $*"; status=1; }

# 1. Load.
wrk -t1 -c32 -d"${load_seconds}s" "$base/grid.lua" >"$work/grid.txt" &
wrk_grid=$!
wrk -t1 -c32 -d"${load_seconds}s" "$base/static.txt" >"$work/static.txt" &
wrk_static=$!
sleep "$(awk -v s="$load_seconds" 'BEGIN { print s / 4 }')"
rss_warm=$(rss)
wait "$wrk_grid" "$wrk_static"
rss_end=$(rss)
for kind in grid static; do
  requests=$(awk '/requests in/ {print $1}' "$work/$kind.txt")
  echo "load $kind: $requests requests, $(awk '/Requests\/sec/ {print $2}' "$work/$kind.txt") req/s"
  grep -q "Socket errors\|Non-2xx" "$work/$kind.txt" && fail "$kind: $(grep "Socket errors\|Non-2xx" "$work/$kind.txt")"
  [[ "${requests:-0}" -gt 0 ]] || fail "$kind: no requests answered"
done
echo "memory: ${rss_warm} kB after a quarter, ${rss_end} kB at the end"
((rss_end <= rss_warm + growth_mb * 1024)) || fail "memory grew by $(( (rss_end - rss_warm) / 1024 )) MB"

# 2. Slow clients beside a normal one.
python3 - "$port" "$slow_seconds" <<'PY' || status=1
import socket, sys, time, http.client
port, seconds = int(sys.argv[1]), float(sys.argv[2])
def slow_client(i):
    s = socket.socket()
    s.bind(("127.0.0.%d" % (2 + i % 4), 0))  # four addresses, 50 each (the bound is 128)
    s.setblocking(False)
    try:
        s.connect(("127.0.0.1", port))
    except BlockingIOError:
        pass
    return s
clients = [slow_client(i) for i in range(200)]
started = [False] * 200
sent_at = 0.0
worst, answers, end = 0.0, 0, time.time() + seconds
while time.time() < end:
    if time.time() - sent_at >= 2:
        sent_at = time.time()
        for i, s in enumerate(clients):
            try:
                s.send(b"X-Slow: 1\r\n" if started[i] else b"GET / HTTP/1.1\r\n")
                started[i] = True
            except OSError:
                s.close()
                clients[i] = slow_client(i)  # cut off: come back
                started[i] = False
    start = time.time()
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
    connection.request("GET", "/grid.lua")
    response = connection.getresponse()
    response.read()
    connection.close()
    took = time.time() - start
    worst = max(worst, took)
    answers += 1
    if response.status != 200 or took > 1:
        print("FAIL: normal client got %d after %.2f s" % (response.status, took))
        sys.exit(1)
    time.sleep(0.1)
print("slow clients: 200 for %.0f s; normal client: %d answers, slowest %.3f s" % (seconds, answers, worst))
PY

kill -0 "$server" 2>/dev/null || fail "the server died: $(cat "$work/server.err")"
[[ $status -eq 0 ]] && echo "soak: ok"
exit $status
