#!/bin/bash
# Batch benchmark: 20 clips (4 s, 854x480, H.264/AAC) converted 2 at a time, side by side, in
# turns, ROUNDS times each; prints the median wall time and peak memory (GNU time: the largest
# single process) of each side and its ratio to `xargs -P2 ffmpeg`:
#   cli     quillet-cli batch -j 2 (one process, two tasks at once)
#   ffmpeg  xargs -P2 ffmpeg, one process per file
#   window  the job window headless (quillet -v OUT FILES x), its settings file choosing the
#           case's container and encoders and "2" on the CPU tab (files at once)
#   hb      HandBrakeCLI over the files one after another (nearest encoders; a reference only,
#           left out when HandBrakeCLI is not installed: apt-get install handbrake-cli)
# Option strings: what the program builds at its defaults (AVI), and with MP4 and H.264
# chosen (mp4_h264).
#   bench/batch_cli_bench.sh [BUILD_DIR] [ROUNDS] [CASE...]
# Cases: avi_default mp4_h264 (default: both). Needs GNU time.
set -eu
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build}
rounds=${2:-5}
shift 2 2>/dev/null || shift $#
cases=${*:-avi_default mp4_h264}
. "$repo/bench/common.sh"
bench_build quillet-cli
bench_build quillet
cli=$build/Src/shell/quillet-cli
program=$build/Src/shell/quillet
work=$build/batch_cli_bench_files
mkdir -p "$work/in"
i=0
while [ $i -lt 20 ]; do
  clip "$work/in" clip$(printf %02d $i).mp4 \
    -f lavfi -i testsrc2=size=854x480:rate=25:duration=4 \
    -f lavfi -i sine=frequency=$((300 + i * 10)):sample_rate=44100:duration=4 -ac 2 \
    -c:v libx264 -pix_fmt yuv420p -c:a aac -shortest
  i=$((i + 1))
done
hb=$(command -v HandBrakeCLI || true)

# measure LOG COMMAND...: appends "wall peak_kB" to LOG; the command's output is dropped.
measure() {
  log=$1; shift
  start=$(date +%s%N)
  /usr/bin/time -f "%M" -o "$work/time" "$@" >/dev/null 2>"$work/stderr" ||
    { echo "FAILED: $*" >&2; tail -n 5 "$work/stderr" >&2; }
  end=$(date +%s%N)
  awk -v ns=$((end - start)) '{ printf "%.3f %s\n", ns / 1e9, $1 }' "$work/time" >> "$log"
}

median() { # column $2 of file $1
  sort -n -k"$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END {
    if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# A fresh output folder for each run, so that no run finds the last one's outputs.
fresh() { rm -rf "$work/out/$1"; mkdir -p "$work/out/$1"; echo "$work/out/$1"; }

# settings FILE FORMAT ENCODER: a settings file with the container and video encoder positions
# and "2" (position 1) on the CPU tab; everything else at its default.
settings() {
  mkdir -p "$(dirname "$1")"
  printf '[Quillet]\n[Settings]\nThreads=1\nVideoFormat2=%s\nVideoEncoder2=%s\n' "$2" "$3" > "$1"
}

run_case() { # NAME EXT OPTIONS FORMAT ENCODER HB_ARGS
  name=$1 ext=$2 opts=$3 hbargs=$6
  settings "$work/appdata_$name/Sablewick/Quillet/quillet.ini" "$4" "$5"
  sides="cli ffmpeg window"
  [ -z "$hb" ] || sides="$sides hb"
  for s in $sides; do rm -f "$work/$name.$s"; done
  r=0
  while [ $r -lt "$rounds" ]; do
    out=$(fresh cli)
    measure "$work/$name.cli" "$cli" batch -j 2 -O "$opts" -n "{name}.$ext" -o "$out" "$work"/in/*.mp4
    out=$(fresh ffmpeg)
    measure "$work/$name.ffmpeg" sh -c "ls \"$work\"/in/*.mp4 | xargs -P2 -I{} sh -c \
      'ffmpeg -nostdin -loglevel error -i \"\$1\" $opts \"$out/\$(basename \"\$1\" .mp4).$ext\"' _ {}"
    out=$(fresh window)
    measure "$work/$name.window" env APPDATA="$work/appdata_$name" QT_QPA_PLATFORM=offscreen \
      SDL_AUDIODRIVER=dummy "$program" -v "$out" "$work"/in/*.mp4 x
    if [ -n "$hb" ]; then
      out=$(fresh hb)
      measure "$work/$name.hb" sh -c "for f in \"$work\"/in/*.mp4; do \"$hb\" $hbargs -i \"\$f\" \
        -o \"$out/\$(basename \"\$f\" .mp4).mkv\" || exit 1; done"
    fi
    r=$((r + 1))
  done
  fw=$(median "$work/$name.ffmpeg" 1); fm=$(median "$work/$name.ffmpeg" 2)
  for s in $sides; do
    awk -v n="$name" -v s="$s" -v w="$(median "$work/$name.$s" 1)" \
      -v m="$(median "$work/$name.$s" 2)" -v fw="$fw" -v fm="$fm" 'BEGIN {
      printf "%-12s %-7s wall %8.3fs (%5.2fx)  peak %7.1fMB (%5.2fx)\n", n, s, w, w / fw,
        m / 1024, m / fm }'
  done
}

echo "rounds: $rounds; medians; (ratio to ffmpeg = xargs -P2 ffmpeg)"
for c in $cases; do
  case $c in
  avi_default) run_case avi_default avi "-b:a 32k -c:a libmp3lame -c:v mpeg4 -sn" 0 0 \
    "-e mpeg4 -E mp3 -B 32 -f av_mkv" ;;
  mp4_h264) run_case mp4_h264 mp4 \
    "-b:a 32k -c:a aac -astrict experimental -c:v libx264 -threads 8 -pix_fmt yuv420p -sn" 4 1 \
    "-e x264 -E av_aac -B 32 -f av_mkv" ;;
  *) echo "unknown case: $c" >&2; exit 2 ;;
  esac
done
