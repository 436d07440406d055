#!/bin/sh
# install_layout.sh BUILD: installs BUILD into a temporary prefix and checks the installed
# tree: every file in its place, the program started from there reads its style file, and a
# command-line job whose program folder cannot be written keeps log.txt under XDG_STATE_HOME.
set -eu
build=$1
. "$(dirname "$0")/common.sh"
chmod 755 "$tmp"
prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

for file in bin/quillet bin/quillet-cli lib/quillet/quillet-cli-preview.so \
  share/quillet/Dark.vsf share/quillet/Quillet.html share/man/man1/quillet.1.gz \
  share/man/man1/quillet-cli.1.gz; do
  [ -f "$prefix/$file" ] || fail "$file is not installed"
done
[ "$(ls "$prefix/bin" | tr '\n' ' ')" = "quillet quillet-cli " ] ||
  fail "bin holds more than the programs: $(ls "$prefix/bin" | tr '\n' ' ')"

# Started with the dark look chosen, the installed program reads ../share/quillet/Dark.vsf.
mkdir -p "$tmp/config/Sablewick/Quillet" "$tmp/runtime"
chmod 700 "$tmp/runtime"
printf '[Settings]\nDark=1\n' >"$tmp/config/Sablewick/Quillet/quillet.ini"
export APPDATA="$tmp/config" XDG_RUNTIME_DIR="$tmp/runtime" QUILLET_UPDATE_URL=http://127.0.0.1:1/
if command -v strace >/dev/null; then
  strace -f -qq -e trace=openat -o "$tmp/trace" timeout -s TERM 5 "$prefix/bin/quillet" \
    >/dev/null 2>&1 || true
  grep -q "\"$prefix/share/quillet/Dark.vsf\"" "$tmp/trace" ||
    fail "the installed program did not read $prefix/share/quillet/Dark.vsf"
else
  echo "strace is missing: the style file check is left out"
fi

# A command-line job from a program folder it cannot write (as another user when run as root).
mkdir -m 777 "$tmp/state" "$tmp/home" "$tmp/out"
run_as=""
[ "$(id -u)" = 0 ] && run_as="setpriv --reuid=65534 --regid=65534 --clear-groups"
chmod a-w "$prefix/bin"
HOME="$tmp/home" APPDATA="$tmp/home" XDG_STATE_HOME="$tmp/state" $run_as "$prefix/bin/quillet" -v "$tmp/out" \
  "$tmp/missing.mp4" x >/dev/null 2>&1 && fail "a job without files ended with status 0"
chmod u+w "$prefix/bin"
grep -q "No media file" "$tmp/state/quillet/log.txt" 2>/dev/null ||
  fail "no log.txt in \$XDG_STATE_HOME/quillet"
[ ! -e "$prefix/bin/log.txt" ] || fail "log.txt was written into the program's folder"
exit $status
