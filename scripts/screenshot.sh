#!/usr/bin/env bash
# Takes a picture of the main window without a display: the program starts headless on the virtual writer
# in a scratch folder with a small project (QZR-D10 and a data file), and saves docs/screenshot.png.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQZR_BUILD_BENCH=OFF >/dev/null
cmake --build build/release -j "$(nproc)" --target qzr-writer qzr-writer-cli
out="$PWD/${1:-docs/screenshot.png}"
cli="$PWD/build/release/qzr-writer-cli"
gui="$PWD/build/release/qzr-writer"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# A small program: a counting loop, written as a data file and a project by the command-line program.
python3 - <<'PY'
words = []
for n in range(1024):
    words.append((0x2800 | (n % 0x400)) if n % 4 == 0 else (0x0A00 + n) & 0x3FFF)
open("demo.bin", "wb").write(b"".join(w.to_bytes(2, "little") for w in words))
PY
"$cli" -d QZR-D10 -p virtual -l demo.bin save-config Default.cfg >/dev/null
QT_QPA_PLATFORM=offscreen QZR_COM1=virtual QZR_SCREENSHOT="$out" "$gui"
echo "$out"
