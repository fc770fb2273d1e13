#!/usr/bin/env bash
# Sets everything up, then runs every test: unit and page tests (SQLite, a private PostgreSQL
# cluster, ODBC), the same unit tests under AddressSanitizer/UBSan, and the browser tests.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/setup.sh
# Exported documents are opened with LibreOffice; here a missing soffice is a failure.
export QUENMARK_REQUIRE_OFFICE=1

# A private PostgreSQL cluster and ODBC driver list for the database tests; stopped on exit.
# shellcheck source=scripts/test_databases.sh
source scripts/test_databases.sh
test_databases_start "$root/build/test-databases"
trap test_databases_stop EXIT

echo "== unit, database and page tests"
ctest --test-dir build --output-on-failure -j"$(nproc)"

echo "== fuzz targets, short pass (scripts/fuzz.sh runs 1,000,000 inputs each)"
scripts/fuzz.sh 10000

echo "== sanitizer build (ASan + UBSan)"
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUENMARK_SANITIZE=ON \
  -DQUENMARK_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-sanitize
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-sanitize --output-on-failure -j"$(nproc)"

echo "== browser tests"
(cd tests/browser && { [ -d node_modules/playwright-core ] || npm install --no-audit --no-fund --silent; })
node tests/browser/run.mjs "$root/build/quenmark"

echo "== all tests passed"
