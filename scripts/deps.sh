#!/usr/bin/env bash
# Installs the Debian packages a task needs, when they are missing (through sudo when not root).
#   scripts/deps.sh run       building and running the two programs (scripts/run.sh)
#   scripts/deps.sh package   the above and the tools that make and check the .deb (scripts/package.sh)
#   scripts/deps.sh [test]    all of the above and the developer tools (scripts/test.sh; the default)
set -euo pipefail
kind="${1:-test}"

# Building and running: compiler, build tools, Qt 6 Widgets/PrintSupport (with the platform plugins that
# open the window), SQLite and PostgreSQL's client library (the production journal: a file or a shared
# database).
run=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-qpa-plugins libqt6svg6 libgl1-mesa-dev libsqlite3-dev libpq-dev)
# Making the package: manual pages (pandoc), PNG icons from the SVG (rsvg-convert), the .deb and its checks.
package=(pandoc librsvg2-bin dpkg-dev fakeroot file lintian desktop-file-utils appstream man-db)
# Developing: tests (a throwaway PostgreSQL server among them, scripts/pg-test-server.sh), benchmarks,
# sanitizers, fuzzing, the layout check, the screenshot and the PDF check.
test=(ccache libjpeg-dev libgtest-dev libgmock-dev libbenchmark-dev poppler-utils python3 postgresql
      clang libclang-rt-14-dev  # clang and libFuzzer for the fuzz targets (scripts/fuzz.sh)
      clang-format)             # the layout check (scripts/format-check.sh)

case "$kind" in
    run) packages=("${run[@]}") ;;
    package) packages=("${run[@]}" "${package[@]}") ;;
    test) packages=("${run[@]}" "${package[@]}" "${test[@]}") ;;
    *)
        echo "usage: scripts/deps.sh [run|package|test]" >&2
        exit 2
        ;;
esac

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq "${missing[@]}"
fi
