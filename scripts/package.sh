#!/usr/bin/env bash
# Builds the Debian package of both programs and checks it: the desktop entry (desktop-file-validate), the
# AppStream metainfo (appstreamcli), every manual page (man renders it without a warning) and the package
# (lintian, no error). Prints the path of the .deb on standard output; everything else goes to stderr.
#   scripts/package.sh [BUILD_DIR]      (default build/package)
set -euo pipefail
cd "$(dirname "$0")/.."
exec 3>&1 1>&2
bash scripts/deps.sh package
build="${1:-build/package}"

# Debian's hardening flags (fortified functions, stack protector, read-only relocations bound at start-up).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS | sed 's/\(^\| \)-g\( \|$\)/ /')"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DQZR_PACKAGE=ON \
      -DQZR_BUILD_TESTS=OFF -DQZR_BUILD_BENCH=OFF -DQZR_WERROR=OFF "-DCMAKE_CXX_FLAGS=$cxxflags" \
      "-DCMAKE_EXE_LINKER_FLAGS=$ldflags" >/dev/null
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/qzr-writer_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/qzr-writer_*.deb)

desktop-file-validate data/org.qzr.writer.desktop
appstreamcli validate --no-net --pedantic data/org.qzr.writer.metainfo.xml >/dev/null
for page in "$build"/man/*.gz; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>&1 >/dev/null)
    if [ -n "$warnings" ]; then
        echo "$page: $warnings" >&2
        exit 1
    fi
done
lintian --fail-on error "$deb"
echo "$deb" >&3
