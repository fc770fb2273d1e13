#!/usr/bin/env bash
# Installs the system packages the project needs (idempotent: quick when all are present),
# then configures and builds the project into ./build: the given targets, or everything.
#   scripts/setup.sh [TARGET...]          everything the tests need; tests and benchmarks on
#   scripts/setup.sh --demo [TARGET...]   only what building the library and host needs
set -euo pipefail
cd "$(dirname "$0")/.."

demo_only=0
if [ "${1:-}" = "--demo" ]; then
  demo_only=1
  shift
fi

# Building the library and the quenmark executable.
packages=(
  build-essential cmake ninja-build pkg-config ca-certificates
  libicu-dev libxml2-dev libxslt1-dev libssl-dev libpcre2-dev libsqlite3-dev
  libpq-dev unixodbc-dev liblua5.4-dev libcpp-httplib-dev libmicrohttpd-dev
)
# Tests and benchmarks: test frameworks, database servers and drivers, the browser, clang for
# the fuzz targets, and the office programs that open exported documents.
test_packages=(
  git libgtest-dev libgmock-dev libbenchmark-dev sqlite3
  postgresql unixodbc libsqliteodbc odbc-postgresql
  nginx-light wrk python3 curl iproute2
  chromium nodejs clang libclang-rt-14-dev
  libreoffice-calc libreoffice-writer
)
[ "$demo_only" -eq 1 ] || packages+=("${test_packages[@]}")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
[ "$demo_only" -eq 1 ] || command -v npm >/dev/null || {
  sudo_cmd=""; [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq npm
}

build_dir="${QUENMARK_BUILD_DIR:-build}"
if [ "$demo_only" -eq 0 ]; then
  options=(-DQUENMARK_BUILD_TESTS=ON -DQUENMARK_BUILD_BENCHMARKS=ON)
elif [ -f "$build_dir/CMakeCache.txt" ]; then
  options=()  # an existing build keeps its settings
else
  options=(-DQUENMARK_BUILD_TESTS=OFF -DQUENMARK_BUILD_BENCHMARKS=OFF)
fi
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
if [ $# -gt 0 ]; then
  cmake --build "$build_dir" --target "$@"
else
  cmake --build "$build_dir"
fi
