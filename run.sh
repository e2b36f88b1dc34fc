#!/usr/bin/env bash
# Builds Kerrion and runs it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh

cmake --preset default >/dev/null
cmake --build --preset default

if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  # With a display: the window program (not built yet; until then, the headless meter below).
  :
fi

# Without a display: a few seconds of headless metering on the signal generator driver, in the
# table format. Extra arguments go to kerrion-meter (for example --format jsonl --blocks 10).
exec build/default/tools/kerrion-meter/kerrion-meter --device "Kerrion Signal" --seconds 5 --format table "$@"
