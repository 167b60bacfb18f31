#!/bin/sh
# Installs the Debian packages the build, the tests and the screenshots need.
# Only what is missing is installed, so running it again is cheap.
set -eu

packages="
  build-essential cmake ninja-build pkg-config libpng-dev help2man clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  fonts-dejavu-core
  cups cups-client cups-bsd cups-filters printer-driver-cups-pdf
  poppler-utils imagemagick librsvg2-bin
  xvfb xauth x11-apps
"

missing=""
for p in $packages; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing="$missing $p"
  fi
done

[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages:$missing" >&2
  echo "install-deps: run 'make deps' as root, or install them yourself." >&2
  exit 1
fi

echo "install-deps: installing$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# shellcheck disable=SC2086
apt-get install -y -qq --no-install-recommends $missing >/dev/null
