#!/usr/bin/env bash
# Builds the tool for Linux and runs it in this terminal, on an emulated machine with a
# fixed disk C:, an ordinary DVD writer E: and the drive the tool updates on G:.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake --preset host >/dev/null
cmake --build --preset host --target zelt-fw-updater
exec build/host/demo/zelt-fw-updater "$@"
