#!/bin/sh
# Generates the tiny media files the tests use. Idempotent: existing files are kept.
set -eu
out=$1
mkdir -p "$out"
cd "$out"
ff() { target=$1; shift; [ -s "$target" ] || ffmpeg -nostdin -loglevel error -y "$@" "$target"; }

# 2 s, 25 fps, 320x240 video with a stereo 44.1 kHz audio track.
ff av.mp4 -f lavfi -i testsrc=size=320x240:rate=25:duration=2 \
  -f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 -ac 2 \
  -c:v libx264 -g 25 -pix_fmt yuv420p -c:a aac -shortest
# 1 s of 160x120 video with stereo 44.1 kHz audio: every profile converts it.
ff tiny.mp4 -f lavfi -i testsrc=size=160x120:rate=25:duration=1 \
  -f lavfi -i sine=frequency=440:sample_rate=44100:duration=1 -ac 2 \
  -c:v libx264 -g 25 -pix_fmt yuv420p -c:a aac -shortest
# The same as AVI with MPEG-4 Part 2 and MP3, a second container for mapping tests.
ff av.avi -f lavfi -i testsrc=size=320x240:rate=25:duration=2 \
  -f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 -ac 2 \
  -c:v mpeg4 -c:a libmp3lame -shortest
# 29.97 fps video only.
ff ntsc.mp4 -f lavfi -i testsrc=size=320x240:rate=30000/1001:duration=2 \
  -c:v libx264 -pix_fmt yuv420p
# Audio only, 3 s mono 22.05 kHz.
ff audio.mp3 -f lavfi -i sine=frequency=1000:sample_rate=22050:duration=3 -c:a libmp3lame
ff audio.wav -f lavfi -i sine=frequency=1000:sample_rate=44100:duration=1 -ac 2
# Stream 0 is audio, stream 1 video.
ff audio_first.mkv -f lavfi -i sine=frequency=440:sample_rate=48000:duration=2 \
  -f lavfi -i testsrc=size=320x240:rate=25:duration=2 -map 0:a -map 1:v \
  -c:a libvorbis -c:v mpeg4
# An MPEG transport stream: ".ts" is also the extension of Qt message catalogs.
ff clip.ts -f lavfi -i testsrc=size=320x240:rate=25:duration=1 -c:v mpeg2video -f mpegts
# A still image.
ff still.png -f lavfi -i testsrc=size=320x240:rate=1 -frames:v 1
# A file with an unknown duration (raw MPEG-TS piped through stdin has none in its header;
# a raw H.264 elementary stream has none either).
ff unknown_duration.h264 -f lavfi -i testsrc=size=320x240:rate=25:duration=1 \
  -c:v libx264 -pix_fmt yuv420p -f h264
# A 640x360 clip whose display matrix turns it upright (360x640, a red band at the top), tagged
# as a phone tags it and copied without re-encoding: FFmpeg 5.1 has no -display_rotation, and
# the tool turns rotate=90 a quarter counter-clockwise (ffprobe: "rotation=90").
ff rotated_src.mp4 -f lavfi \
  -i "testsrc=size=360x640:rate=25:duration=1,drawbox=x=0:y=0:w=360:h=80:color=red:t=fill,transpose=clock" \
  -c:v libx264 -pix_fmt yuv420p
ff rotated.mp4 -i rotated_src.mp4 -c copy -metadata:s:v rotate=90
# A truncated file: the first 40 % of av.mp4 (moov atom is at the end, so it cannot be read).
[ -s truncated.mp4 ] || head -c $(( $(stat -c %s av.mp4) * 2 / 5 )) av.mp4 > truncated.mp4
# Not media at all.
[ -s not_media.mp4 ] || printf 'this is not a media file\n' > not_media.mp4
# A video stream of a few hundred bits per second (shown as "0 kb" in the file list): 1 fps
# black frames at the lowest quality, without the encoder's settings message.
ff low_bitrate.mp4 -f lavfi -i color=c=black:size=320x240:rate=1:duration=3 \
  -c:v libx264 -pix_fmt yuv420p -crf 51 -bsf:v filter_units=remove_types=6
# Decoder: tags, a chapter, a text subtitle stream and a 4:3 sample aspect ratio.
[ -s tags.ffmeta ] || printf ';FFMETADATA1\ntitle=Quillet test\nyear=2024\ntrack=3\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=500\ntitle=First\n' > tags.ffmeta
[ -s subs.srt ] || printf '1\n00:00:00,000 --> 00:00:00,500\nHello\n' > subs.srt
ff tagged.mkv -f lavfi -i testsrc=size=320x240:rate=25:duration=1 -i subs.srt -i tags.ffmeta \
  -map 0:v -map 1:s -map_metadata 2 -map_chapters 2 -c:v mpeg4 -vf setsar=4/3 -c:s srt \
  -metadata:s:s:0 language=eng
# Audio tracks by language: 160x90 video with an English stereo and a French mono track.
ff languages.mkv -f lavfi -i testsrc=size=160x90:rate=10:duration=1 \
  -f lavfi -i sine=frequency=440:duration=1 -f lavfi -i sine=frequency=880:duration=1 \
  -map 0 -map 1 -map 2 -c:v mpeg4 -c:a mp2 -ac:a:0 2 -ac:a:1 1 \
  -metadata:s:a:0 language=eng -metadata:s:a:1 language=fre
# Decoder: 48 kHz 5.1 AAC, resampled to stereo 44.1 kHz.
ff surround.mp4 -f lavfi -i sine=frequency=440:sample_rate=48000:duration=1 -ac 6 -c:a aac
# Decoder: an MP3 stream whose sample rate and channel count change in the middle.
ff part_a.mp3 -f lavfi -i sine=frequency=440:sample_rate=44100:duration=1 -ac 2 -write_xing 0
ff part_b.mp3 -f lavfi -i sine=frequency=440:sample_rate=22050:duration=1 -ac 1 -write_xing 0
[ -s rate_change.mp3 ] || cat part_a.mp3 part_b.mp3 > rate_change.mp3
# Decoder: Opus with its pre-skip, for a seek back to the start.
ff opus.ogg -f lavfi -i sine=frequency=440:sample_rate=48000:duration=1 -ac 2 -c:a libopus
# Decoder: Theora video with two Opus streams, for restarting each audio stream.
ff av_two_opus.ogg -f lavfi -i testsrc=size=160x120:rate=25:duration=1 \
  -f lavfi -i sine=frequency=440:sample_rate=48000:duration=1 \
  -f lavfi -i sine=frequency=880:sample_rate=48000:duration=1 -map 0 -map 1 -map 2 \
  -c:v libtheora -q:v 3 -c:a libopus
# Decoder: a DVD-like program stream whose aspect ratio is only in the MPEG-2 headers.
ff dvd.vob -f lavfi -i testsrc=size=720x480:rate=30000/1001:duration=0.2 -c:v mpeg2video \
  -aspect 16:9 -f vob
# Decoder: a video stream with no sample aspect ratio anywhere (0/1).
ff no_sar.mkv -f lavfi -i testsrc=size=320x240:rate=25:duration=0.2 -vf setsar=0 -c:v ffv1
# Decoder: every frame a key frame, and no frame rate inside the pictures (the tests patch
# the rate the AVI headers claim).
ff mjpeg.avi -f lavfi -i testsrc=size=320x240:rate=25:duration=1 -c:v mjpeg -q:v 20
# Bitmap path: two lossless frames at each of many sizes and pixel formats (odd, tiny, wide,
# tall, a portrait phone width, 856x480), named frames_WxH_FORMAT.mkv.
for clip in 1x1:yuv420p 2x2:yuv420p 3x5:yuv420p 17x9:yuv420p 33x31:yuv444p 101x57:rgb24 \
  13x7:gray 63x47:yuv422p10le 1920x4:yuv420p 4x270:yuv420p 360x640:yuv420p 856x480:yuv420p; do
  size=${clip%%:*} pix=${clip#*:}
  ff "frames_${size}_${pix}.mkv" -f lavfi -i testsrc=size=$size:rate=25:duration=0.08 \
    -pix_fmt "$pix" -c:v ffv1
done
# Frame-exact stepping: H.264 with B-frames in TS and MKV, open-GOP MPEG-2 in PS and TS, and a
# variable frame rate (jittered cadence) in MP4; 3 s each with short groups.
steps="-f lavfi -i testsrc=size=320x240:rate=25:duration=3"
ff bframes.ts $steps -c:v libx264 -pix_fmt yuv420p -bf 2 -g 12 -f mpegts
ff bframes.mkv $steps -c:v libx264 -pix_fmt yuv420p -bf 2 -g 12
ff open_gop.mpg $steps -c:v mpeg2video -bf 2 -g 12 -f mpeg
ff open_gop.ts $steps -c:v mpeg2video -bf 2 -g 12 -f mpegts
ff vfr.mp4 $steps -vf "settb=1/1000,setpts=(N*0.04+0.03*random(0))/TB" -fps_mode vfr \
  -enc_time_base 1/1000 -c:v libx264 -pix_fmt yuv420p -bf 2 -g 10 -video_track_timescale 1000
# Frames that share a time stamp: a jittered cadence in 0.1 ms steps where every seventh frame
# comes 0.4 ms after the one before (one of them a key frame), muxed into Matroska's millisecond
# time base; -vsync passthrough keeps every frame. 2 s, B-frames.
ff same_pts.mkv -f lavfi -i testsrc=size=320x240:rate=25:duration=2 -vsync passthrough \
  -vf "settb=1/10000,setpts=if(eq(mod(N\,7)\,3)\,(N-1)*0.04+0.003*mod(N-1\,3)+0.0004\,N*0.04+0.003*mod(N\,3))/TB" \
  -enc_time_base 1/10000 -c:v libx264 -pix_fmt yuv420p -bf 2 -g 12
exit 0
