#!/usr/bin/env bash
# Installs what building Quenmark needs (compiler, CMake, libraries; not the test databases or
# the browser), builds the quenmark executable, then serves the demo site (examples/site) on
# the embedded SQLite database.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -x build/quenmark ]; then
  echo "== first build: compiling the library and the host takes about 3 minutes on 2 cores;"
  echo "   later starts take seconds"
fi
start=$(date +%s)
scripts/setup.sh --demo quenmark_cli
echo "== built in $(( $(date +%s) - start )) s"
exec build/quenmark demo "$@"
