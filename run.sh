#!/usr/bin/env bash
# Builds Kerrion and runs it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh

cmake --preset default >/dev/null
cmake --build --preset default
exec build/default/tools/kerrion-meter/kerrion-meter --print-settings "$@"
