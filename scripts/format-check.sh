#!/usr/bin/env bash
# Checks that every C++ source is laid out as .clang-format says; names the files that are not.
# To fix them: git ls-files '*.h' '*.cpp' | xargs clang-format -i
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang-format >/dev/null; then
    echo "clang-format not found (scripts/deps.sh installs it)" >&2
    exit 1
fi
git ls-files '*.h' '*.cpp' | xargs clang-format --dry-run -Werror
echo "layout: every file as .clang-format says"
