#!/bin/sh
# Probing benchmark: generates a folder of 200 small media files (cached), builds the
# probe_bench driver, and probes every file with our decoder and with Debian's ffprobe in turns,
# printing median per-file times and their ratio.
#   bench/probe_bench.sh [BUILD_DIR] [ROUNDS]
set -eu
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build-bench}
rounds=${2:-1}
folder=$build/probe_bench_files

. "$repo/bench/common.sh"
bench_build probe_bench

mkdir -p "$folder"
ff() { clip "$folder" "$@"; }
# Ten kinds of file, twenty copies each under different names.
ff base0.mp4 $v $a -c:v libx264 -pix_fmt yuv420p -c:a aac -shortest
ff base1.mkv $v $a -c:v mpeg4 -c:a libvorbis -shortest
ff base2.avi $v $a -c:v mpeg4 -c:a libmp3lame -shortest
ff base3.webm $v -c:v libvpx -b:v 200k
ff base4.ts $v $a -c:v mpeg2video -c:a mp2 -shortest
ff base5.flv $v $a -c:v flv -c:a libmp3lame -ar 44100 -shortest
ff base6.mov $v -c:v mjpeg
ff base7.mp3 $a -c:a libmp3lame
ff base8.wav $a
ff base9.ogg $a -c:a libvorbis
i=0
while [ $i -lt 200 ]; do
  k=$((i % 10))
  src=$(ls "$folder"/base$k.*)
  dst=$folder/file$(printf %03d $i).${src##*.}
  [ -s "$dst" ] || cp "$src" "$dst"
  i=$((i + 1))
done

"$build/Src/media/probe_bench" --rounds "$rounds" "$folder"/file*
