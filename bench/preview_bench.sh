#!/bin/sh
# Preview benchmark: the same conversion by quillet-cli with and without --preview, in turns,
# ROUNDS times each, under a private Xvfb screen (the preview window is drawn there; the sound
# goes to SDL's dummy device). Prints the median wall and CPU time (user + system) of both and
# their ratios (preview / plain): what the preview costs beyond its own drawing.
#   bench/preview_bench.sh [BUILD_DIR] [ROUNDS]
# Needs Xvfb and GNU time.
set -eu
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build}
rounds=${2:-5}
. "$repo/bench/common.sh"
work=$build/preview_bench_files
mkdir -p "$work"
bench_build quillet-cli
cli=$build/Src/shell/quillet-cli

clip "$work" hd.mkv -f lavfi -i testsrc2=size=1280x720:rate=25:duration=20 \
  -f lavfi -i sine=frequency=440:sample_rate=44100:duration=20 -ac 2 \
  -c:v mpeg4 -q:v 4 -c:a aac -shortest

display=:$((150 + $$ % 50))
Xvfb "$display" -screen 0 1600x1000x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
sleep 1

# One measured run: appends "wall cpu" to $1.
measure() {
  log=$1; shift
  if ! DISPLAY=$display SDL_AUDIODRIVER=dummy /usr/bin/time -f "%e %U %S" -o "$work/time" \
      "$@" >/dev/null 2>"$work/stderr"; then
    echo "FAILED: $*" >&2; tail -n 5 "$work/stderr" >&2
  fi
  awk '{ printf "%s %.2f\n", $1, $2 + $3 }' "$work/time" >> "$log"
}

median() { # column $2 of file $1
  sort -n -k"$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END {
    if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

options="-y -c:v mpeg4 -q:v 4 -c:a aac"
rm -f "$work/plain" "$work/preview"
i=0
while [ $i -lt "$rounds" ]; do
  measure "$work/plain" "$cli" "$work/hd.mkv" -O "$options" "$work/out.mkv"
  measure "$work/preview" "$cli" --preview "$work/hd.mkv" -O "$options" "$work/out.mkv"
  i=$((i + 1))
done
grep -q "Preview unavailable" "$work/stderr" && echo "warning: the preview did not show" >&2
pw=$(median "$work/plain" 1); pc=$(median "$work/plain" 2)
vw=$(median "$work/preview" 1); vc=$(median "$work/preview" 2)
awk -v pw="$pw" -v pc="$pc" -v vw="$vw" -v vc="$vc" 'BEGIN {
  printf "plain    wall %7.2fs cpu %7.2fs\n", pw, pc
  printf "preview  wall %7.2fs cpu %7.2fs\n", vw, vc
  printf "ratio    wall %7.3f  cpu %7.3f\n", vw / pw, vc / pc }'
