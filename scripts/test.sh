#!/usr/bin/env bash
# Builds both platforms from scratch and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake --preset host
cmake --build --preset host
cmake --preset windows
cmake --build --preset windows
ctest --preset host
