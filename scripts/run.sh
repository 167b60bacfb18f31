#!/bin/sh
# Starts the program: the main window where there is a display; otherwise says so.
set -eu
build=${1:-build}
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$build/corvanthel"
fi
echo "corvanthel: no display found (DISPLAY is not set), so the main window cannot open."
