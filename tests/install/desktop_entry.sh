#!/bin/sh
# desktop_entry.sh BUILD SOURCE: the installed desktop entry and AppStream metadata pass their
# validators, the entry names the MIME types of every extension the file list accepts, and
# the icons are installed in every size, each PNG as large as its folder says.
set -eu
build=$1
source=$2
id=example.sablewick.Quillet
. "$(dirname "$0")/common.sh"
prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

desktop=$prefix/share/applications/$id.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" ||
  fail "appstreamcli validate"

# Every type the shared MIME database gives an accepted extension (text types aside).
listed=";$(sed -n 's/^MimeType=//p' "$desktop")"
for ext in $(grep -o '\*\.[A-Z0-9]*' "$source/Src/shell/adding/MediaMasks.h" | tr 'A-Z' 'a-z'); do
  for type in $(grep -i ":\\$ext\$" /usr/share/mime/globs2 | cut -d: -f2 | grep -v '^text/'); do
    case $listed in *";$type;"*) ;; *) fail "$type ($ext) is not in MimeType" ;; esac
  done
done

[ -f "$prefix/share/icons/hicolor/scalable/apps/$id.svg" ] || fail "no scalable icon"
for size in 16 24 32 48 64 128 256; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
  # Width and height: big-endian words at bytes 16 and 20 of the PNG header.
  dims=$(od -An -tu1 -j16 -N8 "$png" 2>/dev/null |
    awk '{ print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8 }')
  [ "$dims" = "${size}x${size}" ] || fail "$png is ${dims:-missing}"
done
exit $status
