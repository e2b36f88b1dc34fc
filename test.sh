#!/usr/bin/env bash
# Builds Kerrion with its tests and runs the whole suite through ctest.
# Usage: ./test.sh [extra ctest arguments, e.g. -R IniProfile]
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh test

preset=${KERRION_PRESET:-default}
extra=()
# CI builds with warnings as errors.
[[ "${CI:-}" == "true" ]] && extra+=(-DKERRION_WERROR=ON)
cmake --preset "$preset" "${extra[@]}" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" "$@"
