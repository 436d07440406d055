#!/bin/sh
# Media for the conversion-loop tests. Idempotent, tiny.
set -eu
out=$1
mkdir -p "$out"
cd "$out"
ff() { target=$1; shift; [ -s "$target" ] || ffmpeg -nostdin -loglevel error -y "$@" "$target"; }

# 2 s MPEG-TS (MPEG-2 video + MP2 audio), 25 fps, and damaged copies of it.
ff av.ts -f lavfi -i testsrc=size=320x240:rate=25:duration=2 \
  -f lavfi -i sine=frequency=440:sample_rate=48000:duration=2 -c:v mpeg2video -c:a mp2
size=$(stat -c %s av.ts)
# Cut in the middle of a packet.
[ -s truncated.ts ] || head -c $(( size / 2 + 77 )) av.ts > truncated.ts
# A run of zeroed bytes in the middle, then bit-flipped bytes further on.
if [ ! -s zeroed.ts ]; then
  cp av.ts zeroed.ts
  dd if=/dev/zero of=zeroed.ts bs=1 seek=$(( size / 3 )) count=20000 conv=notrunc 2>/dev/null
fi
if [ ! -s flipped.ts ]; then
  cp av.ts flipped.ts
  i=0
  while [ $i -lt 40 ]; do
    printf '\377' | dd of=flipped.ts bs=1 seek=$(( size / 4 + i * 997 )) count=1 conv=notrunc 2>/dev/null
    i=$(( i + 1 ))
  done
fi
# 1 s MOV with a timecode data track; 1 s MKV with a (pretend) font attachment.
ff timecode.mov -f lavfi -i testsrc=size=160x120:rate=25:duration=1 -c:v mpeg4 \
  -timecode 00:00:00:00
[ -s font.ttf ] || printf 'not really a font\n' > font.ttf
ff font.mkv -f lavfi -i testsrc=size=160x120:rate=25:duration=1 -c:v mpeg4 -attach font.ttf \
  -metadata:s:t mimetype=application/x-truetype-font
# 2 s of AAC in Matroska: the millisecond timestamps of its 1024-sample packets step by 23 or
# 24 while each packet lasts 23.
ff aac.mkv -f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 -c:a aac
# Ten 160x120 PNG pictures, seq_01.png .. seq_10.png.
[ -s seq_10.png ] || ffmpeg -nostdin -loglevel error -y -f lavfi \
  -i testsrc=size=160x120:rate=10:duration=1 -start_number 1 seq_%02d.png
exit 0
