#!/bin/bash
# Builds the option-parser fuzzer with clang (libFuzzer + AddressSanitizer, every library of
# the engine instrumented) and runs it.
# Usage: tests/fuzz/run.sh [seconds=300] [build folder=build-fuzz] [jobs=1]
set -euo pipefail
secs=${1:-300}
src=$(cd "$(dirname "$0")/../.." && pwd)
build=${2:-$src/build-fuzz}
jobs=${3:-1}
flags="-fsanitize=fuzzer-no-link,address -fno-omit-frame-pointer -gline-tables-only"
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$build" --target options_fuzzer -j2
corpus="$build/fuzz-corpus"
mkdir -p "$corpus"
# Handlers may create files named by the input: run in a scratch folder.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# Loading the FFmpeg libraries leaves a few allocations of their dependencies behind at exit
# (seen with no input at all); leaks of each input are still detected by libFuzzer.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:leak_check_at_exit=0"
parallel=""
if [ "$jobs" -gt 1 ]; then
  parallel="-jobs=$jobs -workers=$jobs"
fi
# shellcheck disable=SC2086
"$build/tests/fuzz/options_fuzzer" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 \
  -max_len=512 $parallel -print_final_stats=1 -artifact_prefix="$build/" \
  "$corpus" "$src/tests/fuzz/seeds" 2>&1 | tee "$build/fuzz.log" | { grep -v -E "^(#[0-9]+|\s+NEW_FUNC)" || true; }
for log in fuzz-*.log; do
  [ -e "$log" ] && cat "$log" >>"$build/fuzz.log"
done
tail -n 12 "$build/fuzz.log"
