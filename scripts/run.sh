#!/usr/bin/env bash
# Installs what building and running need (scripts/deps.sh run), builds both programs and starts the desktop
# program; Com1 is the built-in virtual writer unless QZR_COM1 says otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh run
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQZR_BUILD_BENCH=OFF -DQZR_BUILD_TESTS=OFF
cmake --build build/release -j "$(nproc)" --target qzr-writer qzr-writer-cli
export QZR_COM1="${QZR_COM1:-virtual}"
exec build/release/qzr-writer "$@"
