#!/bin/sh
# Installs the dependencies, builds Quillet and starts it (relative file names on the command
# line are taken from the folder the script was called in).
set -eu
here=$(pwd)
cd "$(dirname "$0")/.."
root=$(pwd)
sh scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
cd "$here"
exec "$root/build/Src/shell/quillet" "$@"
