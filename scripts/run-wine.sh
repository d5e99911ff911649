#!/usr/bin/env bash
# Runs the real Windows program (the windows preset's ZeltFwUpdater.exe) under Wine on this
# desktop, against the emulated drives: E: an ordinary DVD writer, G: the ZELT drive. G: keeps
# its firmware in build/host/e2e/demo/drives/g-firmware.bin, so a second run finds it up to
# date; delete that file to start over. Needs a graphical session (DISPLAY).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh e2e

cmake --preset host >/dev/null
cmake --build --preset host --target sgdrive sgdrive_i686
cmake --preset windows >/dev/null
cmake --build --preset windows --target ZeltFwUpdater
exec python3 tests/e2e/wine_e2e.py demo --exe build/windows/ui/ZeltFwUpdater.exe \
    --preload build/host/drivesim/sg/preload --work build/host/e2e
