#!/bin/sh
# Installs the dependencies, builds Quillet and runs every test under CTest.
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
cd build
QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy ctest -j2 --output-on-failure --timeout 900
