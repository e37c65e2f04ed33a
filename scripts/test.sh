#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test; then runs the tests again in a build
# with AddressSanitizer and UndefinedBehaviorSanitizer, where any report fails the run; last, each fuzz
# target runs for a few seconds on its seed corpus (scripts/fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs=$(nproc)

cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQZR_WERROR=ON
cmake --build build/test -j "$jobs"
(cd build/test && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")

cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQZR_WERROR=ON -DQZR_SANITIZE=ON \
      -DQZR_BUILD_BENCH=OFF
cmake --build build/sanitize -j "$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
(cd build/sanitize && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")

bash scripts/fuzz.sh
