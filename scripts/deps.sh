#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when they are missing.
set -euo pipefail
packages=(g++ cmake ninja-build pkg-config ccache qt6-base-dev libgl1-mesa-dev libjpeg-dev libsqlite3-dev
          libgtest-dev libgmock-dev libbenchmark-dev poppler-utils
          clang libclang-rt-14-dev  # clang and libFuzzer for the fuzz targets (scripts/fuzz.sh)
          clang-format)             # the layout check (scripts/format-check.sh)
packages+=(libpq-dev postgresql)  # the journal on a PostgreSQL server: client library; the tests' own server
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
