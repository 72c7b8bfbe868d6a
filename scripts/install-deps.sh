#!/usr/bin/env bash
# Installs the build and test dependencies that are missing; does nothing when
# everything is present. Debian packages only.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
# The tool's 3D page fetches three.js with npm at build time; a Node.js that
# brings its own npm (not from Debian) counts as present.
node=(nodejs npm)
if command -v node >/dev/null && command -v npm >/dev/null; then node=(); fi
# OCCT's development packages (the Open CASCADE adapter); Debian's OCCT
# package configuration needs libtbb-dev as well.
occt=(libocct-foundation-dev libocct-modeling-data-dev libocct-modeling-algorithms-dev
      libocct-ocaf-dev libocct-data-exchange-dev libocct-visualization-dev libtbb-dev)
for pkg in cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev "${node[@]}" "${occt[@]}" "$@"; do
  have_pkg "$pkg" || need+=("$pkg")
done

if [ ${#need[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${need[*]}"
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${need[@]}"
