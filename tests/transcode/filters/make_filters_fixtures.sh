#!/bin/sh
# Extra media for the filter graph tests. Idempotent, tiny.
set -eu
out=$1
mkdir -p "$out"
cd "$out"
ff() { target=$1; shift; [ -s "$target" ] || ffmpeg -nostdin -loglevel error -y "$@" "$target"; }
src() { echo "testsrc=size=$1:rate=25:duration=1"; }

# A phone-style clip: 320x240 stored, displayed rotated by 90 degrees.
ff upright.mp4 -f lavfi -i "$(src 320x240)" -c:v mpeg4
ff rotated.mp4 -i upright.mp4 -c copy -metadata:s:v:0 rotate=90
# Two video streams (320x240, then 160x120) and a stereo audio stream.
ff two_video.mkv -f lavfi -i "$(src 320x240)" -f lavfi -i "$(src 160x120)" \
  -f lavfi -i sine=frequency=440:sample_rate=44100:duration=1 \
  -map 0:v -map 1:v -map 2:a -ac 2 -c:v mpeg4 -c:a libvorbis
# A video whose frame size changes half-way (320x240, then 160x120): two MPEG-TS files joined.
ff big.ts -f lavfi -i "$(src 320x240)" -c:v mpeg2video
ff small.ts -f lavfi -i "$(src 160x120)" -c:v mpeg2video -output_ts_offset 1
[ -s size_change.ts ] || cat big.ts small.ts > size_change.ts
exit 0
