#!/bin/sh
# quillet-cli's batch form spread over two SSH hosts by GNU parallel: two throwaway sshd
# instances on 127.0.0.1 stand in for the hosts; ten tiny clips go out, are converted there by
# the built quillet-cli (same machine, absolute path) and come back. Exits 77 (skipped) with
# the reason when sshd, ssh or parallel is missing or sshd cannot start.
# Usage: parallel_ssh_test.sh QUILLET_CLI CLIP
set -u
cli=$1
clip=$2
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*"; exit 1; }

sshd=$(command -v sshd || echo /usr/sbin/sshd)
[ -x "$sshd" ] || skip "no sshd (openssh-server)"
command -v ssh >/dev/null || skip "no ssh (openssh-client)"
command -v parallel >/dev/null || skip "no GNU parallel"

tmp=$(mktemp -d)
pids=
cleanup() {
  for pid in $pids; do kill "$pid" 2>/dev/null; done
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

ssh-keygen -q -t ed25519 -N '' -f "$tmp/host_key" || fail "ssh-keygen"
ssh-keygen -q -t ed25519 -N '' -f "$tmp/user_key" || fail "ssh-keygen"
cp "$tmp/user_key.pub" "$tmp/authorized_keys"
cat > "$tmp/ssh_config" <<END
Host *
  IdentityFile $tmp/user_key
  IdentitiesOnly yes
  UserKnownHostsFile /dev/null
  StrictHostKeyChecking no
  BatchMode yes
  LogLevel ERROR
END
# sshd started as root needs its privilege separation folder.
[ "$(id -u)" != 0 ] || [ -d /run/sshd ] || mkdir -p /run/sshd

# Starts an sshd on a free port; prints its process id and the port. Ready once it says it
# listens; a taken port ends it at once, and the next port is tried.
start_sshd() {
  name=$1
  for try in 1 2 3 4 5 6 7 8; do
    port=$(( 20000 + ( $$ * 7 + try * 977 ) % 30000 + $2 ))
    cat > "$tmp/$name.conf" <<END
Port $port
ListenAddress 127.0.0.1
HostKey $tmp/host_key
AuthorizedKeysFile $tmp/authorized_keys
PidFile $tmp/$name.pid
StrictModes no
UsePAM no
PasswordAuthentication no
KbdInteractiveAuthentication no
PubkeyAuthentication yes
PermitRootLogin prohibit-password
LogLevel VERBOSE
END
    "$sshd" -D -e -f "$tmp/$name.conf" >/dev/null 2>"$tmp/$name.log" &
    pid=$!
    while kill -0 "$pid" 2>/dev/null; do
      if grep -q "Server listening on 127.0.0.1 port $port" "$tmp/$name.log"; then
        echo "$pid $port"
        return 0
      fi
      sleep 0.05
    done
  done
  return 1
}

first=$(start_sshd host1 0) || skip "sshd cannot start: $(tail -n 3 "$tmp/host1.log")"
second=$(start_sshd host2 1) || skip "sshd cannot start: $(tail -n 3 "$tmp/host2.log")"
pids="${first% *} ${second% *}"

mkdir -p "$tmp/local/in"
for i in 01 02 03 04 05 06 07 08 09 10; do cp "$clip" "$tmp/local/in/clip$i.mp4"; done
cd "$tmp/local" || fail "no local folder"
# GNU parallel keeps its own files under $HOME/.parallel: here, the throwaway folder.
export HOME="$tmp"
mkdir -p "$HOME/.parallel" && touch "$HOME/.parallel/will-cite"
# Five clips a job, one job a host: each login costs a shell start-up, which some machines'
# shell set-ups make slow. Each job works in its own folder (--workdir ...), removed afterwards.
ls in/*.mp4 | parallel -N 5 \
  --sshlogin "1/ssh -F $tmp/ssh_config -p ${first#* } 127.0.0.1" \
  --sshlogin "1/ssh -F $tmp/ssh_config -p ${second#* } 127.0.0.1" \
  --workdir ... --transfer --return out --cleanup \
  "$cli" batch -j 2 -O '"-c:v mpeg4 -c:a mp2"' -o out {} \
  || fail "parallel ended with $?"

for i in 01 02 03 04 05 06 07 08 09 10; do
  streams=$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "out/clip$i.avi" | tr '\n' ' ')
  [ "$streams" = "mpeg4 mp2 " ] || fail "out/clip$i.avi holds '$streams'"
done
# Both hosts took part, and the remote side was cleaned up.
for host in host1 host2; do
  grep -q "Accepted publickey" "$tmp/$host.log" || fail "$host ran nothing"
done
echo "10 clips converted across two SSH hosts"
