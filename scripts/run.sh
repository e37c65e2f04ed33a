#!/usr/bin/env bash
# Builds the desktop program and starts it; Com1 is the built-in virtual writer unless QZR_COM1 says otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQZR_BUILD_BENCH=OFF
cmake --build build/release -j "$(nproc)" --target qzr-writer qzr-writer-cli
export QZR_COM1="${QZR_COM1:-virtual}"
exec build/release/qzr-writer "$@"
