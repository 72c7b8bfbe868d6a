#!/usr/bin/env bash
# Installs the library into a fresh prefix, builds the consumer example
# against the installed CMake package and runs it; then moves the installed
# tree and builds and runs the example again through pkg-config.
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
# The pkg-config route, from a tree moved away from where it was installed:
# the .pc files find their prefix from their own folder.
moved=$PWD/build-consumer/moved
mv "$prefix" "$moved"
pcdir=$(dirname "$(find "$moved" -name mvkmbrep61.pc | head -n 1)")
pc() { PKG_CONFIG_PATH="$pcdir" pkg-config "$@"; }
libdir=$(pc --variable=libdir mvkmbrep61)
# shellcheck disable=SC2046
c++ -std=c++17 examples/consumer/main.cpp -o build-consumer/pc-consumer $(pc --cflags mvkmbrep61) \
  -L"$libdir" -lksamplehost -lksample $(pc --libs mvkmbrep61) -Wl,-rpath,"$libdir"
./build-consumer/pc-consumer
echo "consumer: ok"
