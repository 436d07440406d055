#!/bin/sh
# debian_package.sh BUILD: builds the Debian package with cpack, checks its name and the
# dependencies dpkg-shlibdeps found, extracts it into a temporary root and converts one second
# of video with the quillet-cli found there, and runs lintian on it: no errors (its warnings
# are printed).
set -eu
build=$1
. "$(dirname "$0")/common.sh"

(cd "$tmp" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/package" >"$tmp/cpack.log" 2>&1) ||
  { cat "$tmp/cpack.log"; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$tmp/package/quillet_${version}_amd64.deb
[ -f "$deb" ] || { echo "FAIL: no $deb: $(ls "$tmp/package")"; exit 1; }

depends=$(dpkg-deb -f "$deb" Depends)
for library in libavcodec59 libqt6widgets6 libsdl2-2.0-0 libburn4 libisofs6; do
  case $depends in *"$library"*) ;; *) fail "Depends lacks $library: $depends" ;; esac
done

root=$tmp/root
dpkg-deb -x "$deb" "$root"
[ "$("$root/usr/bin/quillet-cli" --version)" = "quillet-cli $version" ] ||
  fail "quillet-cli --version: $("$root/usr/bin/quillet-cli" --version)"
ffmpeg -v error -f lavfi -i testsrc=duration=1:size=160x120:rate=25 \
  -f lavfi -i sine=duration=1 -c:v mpeg4 -c:a aac -shortest "$tmp/in.mp4"
"$root/usr/bin/quillet-cli" "$tmp/in.mp4" -O "-c:v mpeg4 -c:a mp2" "$tmp/out.avi" 2>"$tmp/cli.log" ||
  { fail "the packaged quillet-cli did not convert"; cat "$tmp/cli.log"; }
frames=$(ffprobe -v error -count_frames -select_streams v:0 \
  -show_entries stream=nb_read_frames -of csv=p=0 "$tmp/out.avi" 2>/dev/null || true)
[ "$frames" = 25 ] || fail "the output holds ${frames:-no} frames, not 25"

if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" >"$tmp/lintian.log" 2>&1 || {
    fail "lintian found errors"
    grep '^E:' "$tmp/lintian.log" || true
  }
  grep '^W:' "$tmp/lintian.log" || true
else
  fail "lintian is not installed"
fi
exit $status
