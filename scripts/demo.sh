#!/usr/bin/env bash
# Sets everything up, then serves the demo site (examples/site) on the embedded SQLite database.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh quenmark_cli
exec build/quenmark demo "$@"
