#!/usr/bin/env bash
# Builds Kerrion and runs it: the meter window when a display is there, otherwise the headless
# meter on the signal generator for a few seconds.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh

cmake --preset default >/dev/null
cmake --build --preset default
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  exec build/default/src/app/kerrion "$@"
fi
exec build/default/tools/kerrion-meter/kerrion-meter --print-settings "$@"
