#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds, and starts NivexDataCoff with the demo meter.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja
cmake --build build
NIVEX_EMULATED_METERS="$PWD/build/bin/demo-meter.json" exec build/bin/NivexDataCoff
