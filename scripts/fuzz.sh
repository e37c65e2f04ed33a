#!/usr/bin/env bash
# Builds the fuzz targets of tests/fuzz with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each on its seed corpus for SECONDS (default 3) through CTest. Without clang++ nothing is built.
#   scripts/fuzz.sh [SECONDS]
# A longer run of one target: build/fuzz/tests/fuzz/fuzz_hex_reader -max_total_time=1800 \
#   build/fuzz/tests/fuzz/corpus/fuzz_hex_reader tests/fuzz/corpus/fuzz_hex_reader
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-3}
if ! command -v clang++ >/dev/null; then
    echo "clang++ not found: the fuzz targets are not built"
    exit 0
fi
jobs=$(nproc)
cmake -S . -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE= -DCMAKE_CXX_FLAGS="-O1 -g" \
      -DQZR_WERROR=ON -DQZR_SANITIZE=ON -DQZR_FUZZ=ON -DQZR_BUILD_GUI=OFF -DQZR_BUILD_BENCH=OFF -DQZR_BUILD_TESTS=OFF \
      -DQZR_FUZZ_SECONDS="$seconds"
cmake --build build/fuzz -j "$jobs" --target fuzz_all
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build/fuzz && ctest -L fuzz --output-on-failure -j "$jobs")
