#!/bin/sh
# saved_geometry.sh PROGRAM SCALE: runs the saved-geometry test PROGRAM on a private Xvfb screen
# of 1280x900 logical pixels (SCALE times as many device pixels) under openbox at
# QT_SCALE_FACTOR=SCALE. Without Xvfb or openbox: skipped (77).
prog=$1
scale=$2
if ! command -v Xvfb >/dev/null 2>&1 || ! command -v openbox >/dev/null 2>&1; then
  echo "Xvfb or openbox is not installed: skipped"
  exit 77
fi
n=40
while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 $((1280 * scale))x$((900 * scale))x24 -nolisten tcp >/dev/null 2>&1 &
xpid=$!
sleep 1
DISPLAY=":$n" openbox --sm-disable >/dev/null 2>&1 &
wmpid=$!
sleep 1
DISPLAY=":$n" QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR="$scale" QUILLET_UPDATE_URL=http://127.0.0.1:1/x \
  "$prog"
status=$?
kill "$wmpid" "$xpid" 2>/dev/null
wait 2>/dev/null
exit $status
