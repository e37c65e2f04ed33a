#!/usr/bin/env bash
# Runs the command-line quick start of README.md (the lines between <!-- quick-start --> and
# <!-- /quick-start -->) as written, in a scratch folder, on the installed programs, and checks that it
# reached a programmed chip: every line succeeds and the chip read back carries the program's checksum.
#   scripts/quickstart.sh [ROOT]    ROOT: where the package is installed or unpacked (default /); the lines'
#                                   /usr/ paths are taken below ROOT
set -euo pipefail
cd "$(dirname "$0")/.."
root="${1:-/}"
root="${root%/}"
readme="$PWD/README.md"
mapfile -t lines < <(sed -n '/^<!-- quick-start -->$/,/^<!-- \/quick-start -->$/p' "$readme" |
                     grep -v '^<!--' | sed 's/^    //')
if [ ${#lines[@]} -eq 0 ]; then
    echo "README.md: no quick-start lines" >&2
    exit 1
fi
export PATH="$root/usr/bin:$PATH"
if [ "$(command -v qzr-writer-cli)" != "$root/usr/bin/qzr-writer-cli" ]; then
    echo "qzr-writer-cli is not the one in $root/usr/bin" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
outputs=()
for line in "${lines[@]}"; do
    [ -n "$root" ] && line="${line//\/usr\/share\/qzr-writer/$root/usr/share/qzr-writer}"
    echo "\$ $line"
    if ! out=$(bash -c "$line" 2>&1); then
        echo "$out" >&2
        echo "quick start: the line failed: $line" >&2
        exit 1
    fi
    outputs+=("$out")
done

# The checksum of the program loaded (the first "Memory:" line of all) and of the chip read back (the last
# line's).
memory() { grep -m1 '^Memory:' <<<"$1" || true; }
loaded=$(memory "$(printf '%s\n' "${outputs[@]}")")
read_back=$(memory "${outputs[${#outputs[@]} - 1]}")
if [ -z "$loaded" ] || [ "$loaded" != "$read_back" ]; then
    echo "quick start: the chip read back has '$read_back', the program '$loaded'" >&2
    exit 1
fi
echo "quick start: programmed and read back ($loaded)"
