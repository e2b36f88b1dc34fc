#!/usr/bin/env bash
# Builds Kerrion and runs it: the meter window when a display is there, otherwise the headless
# meter on the signal generator for a few seconds. Builds only what it runs (the program,
# kerrion-meter and the driver plug-ins) in build/app, without the test suite, so that a first
# run needs neither the test packages nor the time to compile the tests.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh run

cmake --preset app >/dev/null
cmake --build --preset app --target kerrion kerrion-meter kerrion-drivers

if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  exec build/app/src/app/kerrion "$@"
fi
# Without a display: a few seconds of headless metering on the signal generator driver, in the
# table format. Extra arguments go to kerrion-meter (for example --format jsonl --blocks 10).
exec build/app/tools/kerrion-meter/kerrion-meter --device "Kerrion Signal" --seconds 5 --format table "$@"
