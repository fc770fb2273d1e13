#!/usr/bin/env bash
# Runs docs/nginx-quenmark.conf in front of `quenmark serve` on loopback: pages, posted forms,
# session cookies, static files and error pages pass through. Exits 77 (skipped) without nginx.
set -euo pipefail
quenmark="$1"
source_dir="$2"
[[ -x /usr/sbin/nginx ]] || { echo "nginx not installed"; exit 77; }

work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

mkdir -p "$work/site" "$work/nginx"
# nginx started as root writes request bodies as its worker user.
chmod 755 "$work"
chmod 777 "$work/nginx"
echo "body { color: red; }" >"$work/site/style.css"
cat >"$work/site/form.lua" <<'LUA'
local n = (Session("n") or 0) + 1
Session("n", n)
Response.Write(Request.ServerVariables("REQUEST_METHOD") .. " " .. Server.HTMLEncode(Request("name")) .. " " .. n)
LUA
qport="$(free_port)"
nport="$(free_port)"
"$quenmark" serve --root "$work/site" --port "$qport" >/dev/null &
pids+=($!)

sed -e "s/127.0.0.1:8080/127.0.0.1:$qport/" -e "s/listen 80;/listen 127.0.0.1:$nport;/" \
  "$source_dir/docs/nginx-quenmark.conf" >"$work/nginx/quenmark.conf"
cat >"$work/nginx/nginx.conf" <<CONF
daemon off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 256; }
http {
  access_log off;
  client_body_temp_path $work/nginx;
  proxy_temp_path $work/nginx;
  fastcgi_temp_path $work/nginx;
  uwsgi_temp_path $work/nginx;
  scgi_temp_path $work/nginx;
  include $work/nginx/quenmark.conf;
}
CONF
/usr/sbin/nginx -c "$work/nginx/nginx.conf" -p "$work/nginx" &
pids+=($!)

base="http://127.0.0.1:$nport"
for _ in $(seq 100); do curl -s -o /dev/null "$base/style.css" && curl -sf "http://127.0.0.1:$qport/style.css" >/dev/null && break; sleep 0.1; done

fail() { echo "FAIL: $*"; exit 1; }
[[ "$(curl -sf "$base/style.css")" == "body { color: red; }" ]] || fail "static file"
answer="$(curl -sf -c "$work/jar" -b "$work/jar" --data "name=<b>x</b>" "$base/form.lua")"
[[ "$answer" == "POST &lt;b&gt;x&lt;/b&gt; 1" ]] || fail "posted form: $answer"
answer="$(curl -sf -c "$work/jar" -b "$work/jar" "$base/form.lua?name=y")"
[[ "$answer" == "GET y 2" ]] || fail "session through the proxy: $answer"
code="$(curl -s -o "$work/missing.html" -w '%{http_code}' "$base/missing.lua")"
[[ "$code" == 404 ]] || fail "missing page answered $code"
grep -q 'href="/"' "$work/missing.html" || fail "404 page without a link home"
code="$(curl -s -o /dev/null -w '%{http_code}' --data-binary @<(head -c 2000000 /dev/zero | tr '\0' 'a' | sed 's/^/f=/') \
  -H 'Content-Type: application/x-www-form-urlencoded' "$base/form.lua")"
[[ "$code" == 200 ]] || fail "a 2 MB form answered $code"
echo "reverse proxy: ok"
