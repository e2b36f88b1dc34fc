#!/usr/bin/env bash
# Installs the Debian packages Kerrion needs, but only those missing; quiet when none is.
# Runs apt-get as root, or through sudo for a normal user.
#
#   scripts/install-deps.sh run       build and run the programs (./run.sh)
#   scripts/install-deps.sh package   the above and the tools that make the Debian package
#   scripts/install-deps.sh test      all of the above, the test and benchmark libraries, the
#                                     sanitizer runtimes and the tools the tests drive (the default)
set -euo pipefail

run=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libxcb1-dev
  libasound2-dev libasound2-plugins libsndfile1-dev
  libjack-jackd2-dev
  fonts-ipafont-gothic
)
package=(dpkg-dev file)
test=(
  googletest libgtest-dev libgmock-dev libbenchmark-dev libebur128-dev
  clang libclang-rt-14-dev
  alsa-utils jackd2
  xvfb xauth xdotool openbox x11-utils
  sway xwayland grim wtype qt6-wayland
  appstream groff-base
)

case "${1:-test}" in
  run) packages=("${run[@]}") ;;
  package) packages=("${run[@]}" "${package[@]}") ;;
  test) packages=("${run[@]}" "${package[@]}" "${test[@]}") ;;
  *) echo "usage: $0 [run|package|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
[[ $(id -u) -eq 0 ]] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
