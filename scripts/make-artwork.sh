#!/usr/bin/env bash
# Draws the built-in images (tool bar buttons, logo) again into resources/images.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default >/dev/null
cmake --build --preset default --target kerrion-artwork
QT_QPA_PLATFORM=offscreen build/default/tools/kerrion-artwork/kerrion-artwork resources/images
