#!/usr/bin/env bash
# Installs the library into a fresh prefix, builds the consumer example
# against the installed CMake package and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh pkg-config
build=${BUILD:-build}
prefix=$PWD/build-consumer/prefix
rm -rf build-consumer
cmake --install "$build" --prefix "$prefix"
cmake -S examples/consumer -B build-consumer/app -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release
cmake --build build-consumer/app -j2
./build-consumer/app/consumer
# The pkg-config files name the installed libraries.
PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --libs mvkmbrep61 | grep -q -- '-lMvKMBrep61'
echo "consumer: ok"
