#!/usr/bin/env bash
# Checks the layout of every C++ file first (scripts/format-check.sh). Builds everything with warnings as
# errors and runs every test; then runs the tests again in a build with AddressSanitizer and
# UndefinedBehaviorSanitizer, and the tests of the worker threads (engine, Read IC, GUI) in a build with
# ThreadSanitizer; any report fails the run. Then each fuzz target runs for a few seconds on its seed
# corpus (scripts/fuzz.sh). Last, the Debian package is built and checked (scripts/package.sh), unpacked into
# a scratch root and tried from there; under CI it is also installed on the machine and removed again.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs=$(nproc)

bash scripts/format-check.sh

# A throwaway PostgreSQL server for the journal's tests (QZR_TEST_PG_URL); the test that restarts a server
# starts one of its own in the same scratch folder. Every server there is stopped and removed at the end.
pg_scratch=$(mktemp -d)
chmod 755 "$pg_scratch"
stop_pg() {
    for server in "$pg_scratch"/*/; do [ -d "$server" ] && bash scripts/pg-test-server.sh stop "$server"; done
    rm -rf "$pg_scratch"
}
trap stop_pg EXIT
trap "exit 130" INT TERM  # the EXIT trap then stops the servers
QZR_TEST_PG_URL=$(bash scripts/pg-test-server.sh start "$pg_scratch/pg")
export QZR_TEST_PG_URL QZR_TEST_PG_SCRATCH="$pg_scratch" QZR_TEST_PG_SERVER="$PWD/scripts/pg-test-server.sh"

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

# ThreadSanitizer: only the test programs whose workers run beside the front end's thread.
tsan_dirs="operations;readic;gang"
if [ -d tests/gui ]; then tsan_dirs="$tsan_dirs;gui"; fi
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQZR_WERROR=ON -DQZR_TSAN=ON \
      -DQZR_BUILD_BENCH=OFF "-DQZR_TEST_FOLDERS=$tsan_dirs"
tsan_targets=()
for d in ${tsan_dirs//;/ }; do tsan_targets+=("test_$d"); done
cmake --build build/tsan -j "$jobs" --target "${tsan_targets[@]}"
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan.supp
(cd build/tsan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")

bash scripts/fuzz.sh

# The package, tried from the installed files: the version, the device table, the window headless on the
# emulated writer (it saves a picture of itself and ends) and the README's quick start.
deb=$(bash scripts/package.sh)
root=$(mktemp -d)
trap 'rm -rf "$root"; stop_pg' EXIT
dpkg-deb -x "$deb" "$root"
"$root/usr/bin/qzr-writer-cli" --version
"$root/usr/bin/qzr-writer-cli" devices >/dev/null
mkdir -m 700 "$root/window"
(cd "$root/window" && XDG_RUNTIME_DIR="$root/window" QT_QPA_PLATFORM=offscreen QZR_COM1=virtual \
     QZR_SCREENSHOT="$root/window/window.png" "$root/usr/bin/qzr-writer")
test -s "$root/window/window.png"
bash scripts/quickstart.sh "$root"
if [ "${CI:-}" = true ] && [ "$(id -u)" -eq 0 ]; then
    apt-get install -y -qq "$(realpath "$deb")" >/dev/null
    qzr-writer-cli --version
    bash scripts/quickstart.sh /
    apt-get purge -y -qq qzr-writer >/dev/null
    if dpkg-query -W qzr-writer >/dev/null 2>&1 || [ -e /usr/bin/qzr-writer-cli ]; then
        echo "the package did not remove cleanly" >&2
        exit 1
    fi
fi
echo "package: $deb built, checked and tried"
