#!/usr/bin/env bash
# Builds the Debian package kerrion_<version>_<arch>.deb from the tree, with CPack: the install
# rules of a build without tests (preset `app`, build/app), stripped, with the dependencies that
# dpkg-shlibdeps computes from the binaries. Prints the package's path.
# Usage: scripts/make-package.sh [preset]   (CI packages the `default` build it has just tested)
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-app}
scripts/install-deps.sh package

cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
build=build/$preset
rm -f "$build"/kerrion_*.deb
(cd "$build" && cpack -G DEB >cpack.log) || { cat "$build/cpack.log" >&2; exit 1; }
ls "$PWD/$build"/kerrion_*.deb
