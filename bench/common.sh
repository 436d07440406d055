# Shared by the bench scripts (sourced after they set repo and build): builds a driver target
# and makes the small generated clips they measure.

# bench_build TARGET: configures a Release build in $build when there is none, builds TARGET.
bench_build() {
  [ -f "$build/build.ninja" ] || cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" --target "$1" >/dev/null
}

# clip FOLDER NAME FFMPEG-ARGS...: makes FOLDER/NAME once; it is kept between runs.
clip() {
  target=$1/$2
  shift 2
  [ -s "$target" ] || ffmpeg -nostdin -loglevel error -y "$@" "$target"
}

# One second of picture and of sound.
v="-f lavfi -i testsrc=size=160x120:rate=25:duration=1"
a="-f lavfi -i sine=frequency=440:sample_rate=44100:duration=1"
