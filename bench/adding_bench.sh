#!/bin/sh
# Adding benchmark: generates a folder of 5,000 small media files (cached; hard links of ten
# kinds of clip under different names), builds the adding_bench driver, and adds the folder to
# a real main window: once in full, once cancelled after a second, and the probing floor (the
# same files probed by a bare decoder). Runs offscreen, and under Xvfb when xvfb-run exists.
#   bench/adding_bench.sh [BUILD_DIR] [COUNT]
set -eu
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build-bench}
count=${2:-5000}
folder=$build/adding_bench_files

. "$repo/bench/common.sh"
bench_build adding_bench

mkdir -p "$folder/base"
ff() { clip "$folder/base" "$@"; }
ff base0.mp4 $v $a -c:v libx264 -pix_fmt yuv420p -c:a aac -shortest
ff base1.mkv $v $a -c:v mpeg4 -c:a libvorbis -shortest
ff base2.avi $v $a -c:v mpeg4 -c:a libmp3lame -shortest
ff base3.mkv $v -c:v libvpx -b:v 200k
ff base4.ts $v $a -c:v mpeg2video -c:a mp2 -shortest
ff base5.flv $v $a -c:v flv -c:a libmp3lame -ar 44100 -shortest
ff base6.mov $v -c:v mjpeg
ff base7.mpg $v $a -c:v mpeg1video -c:a mp2 -shortest
ff base8.mp4 $a -c:a aac
ff base9.wmv $v $a -c:v wmv2 -c:a wmav2 -shortest
mkdir -p "$folder/list"
i=0
while [ $i -lt "$count" ]; do
  src=$(ls "$folder"/base/base$((i % 10)).*)
  dst=$folder/list/file$(printf %05d $i).${src##*.}
  [ -e "$dst" ] || ln "$src" "$dst"
  i=$((i + 1))
done

bench=$build/Src/shell/adding_bench
run() {
  echo "== $1"
  shift
  "$@" "$bench" --probe-only "$folder"/list/*
  "$@" "$bench" "$folder/list"
  "$@" "$bench" --cancel-after 1000 "$folder/list"
}
QT_QPA_PLATFORM=offscreen run "offscreen" env
if command -v xvfb-run >/dev/null; then
  run "Xvfb" xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb
fi
