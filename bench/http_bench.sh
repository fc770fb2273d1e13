#!/usr/bin/env bash
# HTTP speed of `quenmark serve` beside nginx on the same machine, in one run, with wrk on
# loopback: a static file (target: at least 50% of nginx's rate) and a 10-row grid page over
# the demo database (target: at least 8% of nginx's rate for the same bytes as a file).
#
#   bench/http_bench.sh [BUILD_DIR] [SECONDS]     (defaults: build, 10)
#
# Installs nginx-light and wrk with apt-get when missing; starts both servers on free loopback
# ports and stops them at the end. Exits 1 when a target is missed.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
seconds="${2:-10}"
quenmark="$build/quenmark"
[[ -x "$quenmark" ]] || { echo "build $quenmark first (cmake --build $build --target quenmark_cli)" >&2; exit 2; }

need=()
command -v wrk >/dev/null || need+=(wrk)
[[ -x /usr/sbin/nginx ]] || need+=(nginx-light)
if ((${#need[@]})); then
  sudo_cmd=(); [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${need[@]}" >/dev/null
fi

work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# The demo database (created by `quenmark demo` on first use) is reached through --data.
data="$here/examples/site/data"
if [[ ! -f "$data/demo.db" ]]; then
  # `quenmark demo` creates it before it starts serving.
  "$quenmark" demo --root "$here/examples/site" --port 0 >"$work/demo.out" 2>&1 &
  demo=$!
  for _ in $(seq 600); do grep -q "serving" "$work/demo.out" && break; sleep 0.1; done
  kill "$demo"; wait "$demo" 2>/dev/null || true
  [[ -f "$data/demo.db" ]] || { echo "cannot create the demo database" >&2; exit 2; }
fi

site="$work/site"
mkdir -p "$site"
head -c 4096 /dev/urandom | base64 -w 76 | head -c 4096 >"$site/static.txt"
cat >"$site/grid10.lua" <<LUA
local grid = Server.CreateObject("Quenmark.DataGrid")
grid:CreateConnection("Provider=SQLite;Data Source=$data/demo.db")
grid.Command = "SELECT ProductID, ProductName, UnitPrice, UnitsInStock FROM Products"
grid.PageSize = 10
grid:Display()
LUA

qport="$(free_port)"
nport="$(free_port)"
"$quenmark" serve --root "$site" --port "$qport" --data "$data" >/dev/null 2>"$work/quenmark.err" &
pids+=($!)

mkdir -p "$work/nginx"
cat >"$work/nginx/nginx.conf" <<CONF
worker_processes auto;
daemon off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 1024; }
http {
  # Both servers log every request, as both do by default.
  access_log $work/nginx/access.log;
  include /etc/nginx/mime.types;
  client_body_temp_path $work/nginx;
  proxy_temp_path $work/nginx;
  fastcgi_temp_path $work/nginx;
  uwsgi_temp_path $work/nginx;
  scgi_temp_path $work/nginx;
  server { listen 127.0.0.1:$nport; root $site; }
}
CONF
/usr/sbin/nginx -c "$work/nginx/nginx.conf" -p "$work/nginx" &
pids+=($!)

for _ in $(seq 100); do
  curl -sf "http://127.0.0.1:$qport/static.txt" >/dev/null && curl -sf "http://127.0.0.1:$nport/static.txt" >/dev/null && break
  sleep 0.1
done
curl -sf "http://127.0.0.1:$qport/grid10.lua" >"$site/grid10.html"
grep -q "<table" "$site/grid10.html" || { echo "the grid page did not render" >&2; cat "$work/quenmark.err" >&2; exit 1; }

rate() {  # URL -> requests per second
  wrk -t2 -c32 -d"${seconds}s" "$1" | awk '/Requests\/sec/ {print $2}'
}

status=0
report() {  # name, ours, anchor, target ratio
  local ratio
  ratio=$(awk -v a="$2" -v b="$3" 'BEGIN { printf "%.3f", a / b }')
  local verdict="ok"
  awk -v r="$ratio" -v t="$4" 'BEGIN { exit !(r >= t) }' || { verdict="BELOW TARGET"; status=1; }
  printf '%-28s quenmark %10.0f req/s   nginx %10.0f req/s   ratio %s (target >= %s) %s\n' \
    "$1" "$2" "$3" "$ratio" "$4" "$verdict"
}

static_q=$(rate "http://127.0.0.1:$qport/static.txt")
static_n=$(rate "http://127.0.0.1:$nport/static.txt")
grid_q=$(rate "http://127.0.0.1:$qport/grid10.lua")
grid_n=$(rate "http://127.0.0.1:$nport/grid10.html")
echo "wrk -t2 -c32 -d${seconds}s on loopback, $(nproc) processors"
report "static file (4 KB)" "$static_q" "$static_n" 0.50
report "10-row grid page ($(wc -c <"$site/grid10.html") B)" "$grid_q" "$grid_n" 0.08
exit $status
