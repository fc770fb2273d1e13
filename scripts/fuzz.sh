#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/, clang with ASan + UBSan) in build-fuzz, only those, and
# runs each for a fixed number of inputs (default 1,000,000), starting from the seeds in
# fuzz/corpus/<name>/. Prints one line per target; stops at the first crash, leaving the
# crashing input in build-fuzz/crashes/.
#   scripts/fuzz.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-1000000}"

missing=()
for p in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build=build-fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQUENMARK_FUZZ=ON \
  -DQUENMARK_BUILD_TESTS=OFF -DQUENMARK_BUILD_BENCHMARKS=OFF -DQUENMARK_WERROR=OFF \
  -DQUENMARK_WITH_POSTGRES=OFF -DQUENMARK_WITH_ODBC=OFF >/dev/null
cmake --build "$build" --target fuzzers

mkdir -p "$build/crashes"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=detect_leaks=1
for fuzzer in "$build"/fuzz/*_fuzzer; do
  name=$(basename "$fuzzer" _fuzzer)
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  [ -d "fuzz/corpus/$name" ] && cp -n "fuzz/corpus/$name"/* "$corpus"/ 2>/dev/null || true
  log="$build/$name.log"
  start=$(date +%s)
  if ! "$fuzzer" -runs="$runs" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$build/crashes/$name-" -print_final_stats=1 "$corpus" >"$log" 2>&1; then
    tail -40 "$log"
    echo "fuzz: $name FAILED (input in $build/crashes/, log in $log)"
    exit 1
  fi
  seconds=$(( $(date +%s) - start ))
  executed=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || echo "?")
  echo "fuzz: $name $executed runs in ${seconds} s, coverage $coverage edges, corpus $(ls "$corpus" | wc -l) inputs, no crash"
done
