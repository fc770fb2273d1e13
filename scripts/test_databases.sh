#!/usr/bin/env bash
# Sourced by scripts/test.sh: starts the private test databases and exports where they are.
test_databases_start() { :; }
test_databases_stop() { :; }
