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
# Without a display: a few seconds of headless metering on the signal generator driver, in the
# table format. Extra arguments go to kerrion-meter (for example --format jsonl --blocks 10).
exec build/default/tools/kerrion-meter/kerrion-meter --device "Kerrion Signal" --seconds 5 --format table "$@"
