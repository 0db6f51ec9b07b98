#!/usr/bin/env bash
# Builds everything and runs every test.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
BUILD_DIR="$BUILD_DIR" bash "$ROOT/scripts/build.sh" "$@"
cd "$BUILD_DIR"
ctest --output-on-failure -j2 --timeout 300
