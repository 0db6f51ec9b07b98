#!/usr/bin/env bash
# Builds the program and starts it. Arguments are passed to the program
# (for example --demo to try it against the simulated GCU).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
BUILD_DIR="$BUILD_DIR" bash "$ROOT/scripts/build.sh"
exec "$BUILD_DIR/quarventa" "$@"
