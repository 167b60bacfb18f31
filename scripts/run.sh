#!/bin/sh
# Starts the program: the main window where there is a display; otherwise says so and
# makes the start-up maze into a file through the command line.
set -eu
build=${1:-build}
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$build/corvanthel"
fi
out="$(pwd)/startup-maze.bmp"
echo "corvanthel: no display found (DISPLAY is not set), so the main window cannot open."
echo "corvanthel: making the start-up maze (50 x 70 cells, Thin lines) into $out instead."
exec "$build/corvanthel" generate --out "$out"
