#!/bin/sh
# Engine benchmark: quillet-cli against Debian's ffmpeg on the same inputs and option strings,
# in turns, ROUNDS times each; prints the median wall time, CPU time (user + system) and peak
# memory of both sides and their ratios (quillet / ffmpeg). The batch case converts 20 small
# files through one encoder component (20 tasks, Start(2), the batch_bench driver) against
# `xargs -P2 ffmpeg`.
#   bench/engine_bench.sh [BUILD_DIR] [ROUNDS] [CASE...]
# Cases: avi_default mp4_h264 audio_mp3 remux batch (default: all). Needs GNU time and bash.
set -eu
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build}
rounds=${2:-5}
shift 2 2>/dev/null || shift $#
cases=${*:-avi_default mp4_h264 audio_mp3 remux batch}
work=$build/engine_bench_files
mkdir -p "$work/out"

[ -f "$build/build.ninja" ] || cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target quillet-cli batch_bench >/dev/null
cli=$build/Src/shell/quillet-cli
batch=$build/Src/components/encoder/batch_bench

ff() { target=$work/$1; shift; [ -s "$target" ] || ffmpeg -nostdin -loglevel error -y "$@" "$target"; }
ff hd.mp4 -f lavfi -i testsrc2=size=1920x1080:rate=25:duration=10 \
  -f lavfi -i sine=frequency=440:sample_rate=48000:duration=10 -ac 2 \
  -c:v libx264 -pix_fmt yuv420p -c:a aac -shortest
ff sd.avi -f lavfi -i testsrc2=size=1280x720:rate=25:duration=20 \
  -f lavfi -i sine=frequency=440:sample_rate=44100:duration=20 -ac 2 \
  -c:v mpeg4 -q:v 4 -c:a libmp3lame -shortest
i=0
while [ $i -lt 20 ]; do
  ff small$(printf %02d $i).mp4 -f lavfi -i testsrc=size=320x240:rate=25:duration=2 \
    -f lavfi -i sine=frequency=$((300 + i * 10)):sample_rate=44100:duration=2 -ac 2 \
    -c:v libx264 -pix_fmt yuv420p -c:a aac -shortest
  i=$((i + 1))
done

# One measured run: appends "wall cpu peak_kB" to $1; the command's output is dropped. Wall
# time is read in nanoseconds and CPU time through bash's `times` in milliseconds (GNU time
# counts both in 10 ms steps, too coarse for the short cases); GNU time gives the peak memory.
measure() {
  log=$1; shift
  start=$(date +%s%N)
  if ! /usr/bin/time -f "%M" -o "$work/time" bash -c \
    '"$@" >/dev/null 2>"$0"; status=$?; times >"$0.cpu"; exit $status' "$work/stderr" "$@"; then
    echo "FAILED: $*" >&2; tail -n 5 "$work/stderr" >&2
  fi
  end=$(date +%s%N)
  # The second line of `times`: user and system time of the children, as "1m2.345s".
  cpu=$(awk 'NR == 2 { for (i = 1; i <= 2; i++) { split($i, t, /[ms]/); c += t[1] * 60 + t[2] }
    printf "%.3f", c }' "$work/stderr.cpu")
  awk -v ns=$((end - start)) -v cpu="$cpu" '{ printf "%.3f %s %s\n", ns / 1e9, cpu, $1 }' \
    "$work/time" >> "$log"
}

median() { # column $2 of file $1
  sort -n -k"$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END {
    if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

report() { # name
  q=$work/$1.quillet; f=$work/$1.ffmpeg
  qw=$(median "$q" 1); qc=$(median "$q" 2); qm=$(median "$q" 3)
  fw=$(median "$f" 1); fc=$(median "$f" 2); fm=$(median "$f" 3)
  awk -v n="$1" -v qw="$qw" -v qc="$qc" -v qm="$qm" -v fw="$fw" -v fc="$fc" -v fm="$fm" 'BEGIN {
    printf "%-12s quillet wall %7.3fs cpu %7.3fs peak %7.1fMB\n", n, qw, qc, qm / 1024
    printf "%-12s ffmpeg  wall %7.3fs cpu %7.3fs peak %7.1fMB\n", "", fw, fc, fm / 1024
    printf "%-12s ratio   wall %7.3f  cpu %7.3f  peak %7.3f\n", "", qw / fw, qc / fc, qm / fm }'
}

# single NAME INPUT EXT OPTIONS: quillet-cli and ffmpeg in turns.
single() {
  name=$1 in=$work/$2 ext=$3 opts=$4
  rm -f "$work/$name.quillet" "$work/$name.ffmpeg"
  r=0
  while [ $r -lt "$rounds" ]; do
    measure "$work/$name.quillet" "$cli" "$in" -O "-y $opts" "$work/out/q_$name.$ext"
    eval "measure \"\$work/\$name.ffmpeg\" ffmpeg -nostdin -y -i \"\$in\" $opts \"\$work/out/f_\$name.\$ext\""
    r=$((r + 1))
  done
  report "$name"
}

batch_case() {
  rm -f "$work/batch.quillet" "$work/batch.ffmpeg"
  opts="-b:a 32k -c:a libmp3lame -c:v mpeg4 -sn"
  r=0
  while [ $r -lt "$rounds" ]; do
    measure "$work/batch.quillet" "$batch" 2 "-y $opts" "$work/out" avi "$work"/small*.mp4
    measure "$work/batch.ffmpeg" sh -c "ls \"$work\"/small*.mp4 | xargs -P2 -I{} sh -c \
      'ffmpeg -nostdin -y -loglevel error -i \"\$1\" $opts \"$work/out/f_\$(basename \"\$1\" .mp4).avi\"' _ {}"
    r=$((r + 1))
  done
  report batch
}

echo "rounds: $rounds; medians; ratio = quillet / ffmpeg"
for c in $cases; do
  case $c in
  avi_default) single avi_default hd.mp4 avi "-b:a 32k -c:a libmp3lame -c:v mpeg4 -sn" ;;
  mp4_h264) single mp4_h264 sd.avi mp4 "-b:a 128k -c:a aac -astrict experimental -c:v libx264 -threads 8 -pix_fmt yuv420p -vf \"scale=640:480,vflip\" -sn" ;;
  audio_mp3) single audio_mp3 hd.mp4 mp3 "-b:a 128k -c:a libmp3lame -vn" ;;
  remux) single remux hd.mp4 mkv "-c copy" ;;
  batch) batch_case ;;
  *) echo "unknown case: $c" >&2; exit 2 ;;
  esac
done
