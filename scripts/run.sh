#!/bin/sh
# Installs the dependencies, builds Quillet and starts it.
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
exec ./build/Src/shell/quillet "$@"
