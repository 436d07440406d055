#!/bin/sh
# Extra media for the input/output file tests: stream-choice cases. Idempotent, tiny.
set -eu
out=$1
mkdir -p "$out"
cd "$out"
ff() { target=$1; shift; [ -s "$target" ] || ffmpeg -nostdin -loglevel error -y "$@" "$target"; }
src() { echo "testsrc=size=$1:rate=1:duration=1"; }

# Two video streams in one file: 1280x720 marked default, 1920x1080 not.
ff two_video.mkv -f lavfi -i "$(src 1280x720)" -f lavfi -i "$(src 1920x1080)" \
  -map 0:v -map 1:v -c:v mpeg4 -q:v 31 -disposition:v:0 default -disposition:v:1 0
# One stream each: 1280x720 marked default, 1920x1080 not.
ff v720_default.mkv -f lavfi -i "$(src 1280x720)" -c:v mpeg4 -q:v 31 -disposition:v:0 default
ff v1080.mkv -f lavfi -i "$(src 1920x1080)" -c:v mpeg4 -q:v 31 -disposition:v:0 0
# Video, audio stereo / 5.1 / stereo (none default), and a text subtitle stream.
[ -s sub.srt ] || printf '1\n00:00:00,000 --> 00:00:00,900\nhello\n' > sub.srt
ff multi.mkv -f lavfi -i "$(src 320x240)" \
  -f lavfi -i sine=frequency=440:sample_rate=44100:duration=1 \
  -f lavfi -i sine=frequency=660:sample_rate=48000:duration=1 \
  -f lavfi -i sine=frequency=880:sample_rate=32000:duration=1 -i sub.srt \
  -filter_complex "[2:a]pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0[six]" \
  -map 0:v -map 1:a -map "[six]" -map 3:a -map 4:s -ac:a:0 2 -ac:a:2 2 \
  -c:v mpeg4 -c:a libvorbis -c:s srt \
  -disposition:a:0 0 -disposition:a:1 0 -disposition:a:2 0 -disposition:s:0 0
# Two stereo audio streams, neither default (equal scores: the earlier wins).
ff two_stereo.mkv -f lavfi -i sine=frequency=440:sample_rate=44100:duration=1 \
  -f lavfi -i sine=frequency=660:sample_rate=22050:duration=1 \
  -map 0:a -map 1:a -ac 2 -c:a libvorbis -disposition:a:0 0 -disposition:a:1 0
# MP3 with a 64x48 cover picture (an attached picture stream).
ff cover.png -f lavfi -i "$(src 64x48)" -frames:v 1
ff plain.mp3 -f lavfi -i sine=frequency=1000:sample_rate=44100:duration=1 -c:a libmp3lame
ff with_cover.mp3 -i plain.mp3 -i cover.png -map 0:a -map 1:v -c:a copy -c:v png \
  -disposition:v attached_pic -id3v2_version 3
# A small attachment source.
[ -s attach.txt ] || printf 'attached text\n' > attach.txt
# MOV with a timecode data track.
ff timecode.mov -f lavfi -i "$(src 160x120)" -c:v mpeg4 -timecode 00:00:00:00
# MKV with a (pretend) font attachment.
ff with_font.mkv -f lavfi -i "$(src 160x120)" -c:v mpeg4 -attach attach.txt \
  -metadata:s:t mimetype=application/x-truetype-font
exit 0
