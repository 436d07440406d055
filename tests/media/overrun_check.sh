#!/bin/sh
# Runs a test program under a checker of writes past the end of a buffer, including writes
# made inside the FFmpeg libraries, which the address sanitizer does not instrument:
# valgrind's memcheck where it can run the program, else electric-fence's guard pages (every
# allocation ends at an inaccessible page). valgrind 3.19 cannot run it on CPUs whose
# libraries execute instructions it does not know (RDTSCP in libhwy on AMD EPYC); it then
# stops the program with SIGILL and says "unhandled instruction bytes".
#
# overrun_check.sh [--expect-overrun] PROGRAM [ARGS...]
# Exit 0 when the program passed and no overrun was seen; with --expect-overrun, exit 0 only
# when the checker caught one. QUILLET_OVERRUN_TOOL=efence skips valgrind.
set -u
expect=0
if [ "${1:-}" = --expect-overrun ]; then
  expect=1
  shift
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT

# Prints the verdict for the checker named $1 given the program's status $2 and whether the
# checker reported an overrun ($3 = 1), and exits with it.
verdict() {
  echo "overrun check: checked by $1"
  if [ "$expect" = 1 ]; then
    if [ "$3" = 1 ]; then
      echo "overrun check: the planted overrun was caught (status $2)"
      exit 0
    fi
    echo "overrun check: FAILED: the planted overrun was not caught (status $2)"
    exit 1
  fi
  if [ "$3" = 1 ]; then
    echo "overrun check: FAILED: $1 caught an overrun (status $2)"
    exit 1
  fi
  [ "$2" = 0 ] || echo "overrun check: FAILED: the program failed (status $2)"
  exit "$2"
}

if [ "${QUILLET_OVERRUN_TOOL:-valgrind}" != efence ]; then
  valgrind --tool=memcheck --error-exitcode=99 --leak-check=no --track-origins=no \
    --log-file="$log" "$@"
  status=$?
  if [ "$status" = 132 ] && grep -q "unhandled instruction bytes" "$log"; then
    echo "overrun check: valgrind cannot run this program on this CPU:"
    grep -m1 "unhandled instruction bytes" "$log"
  else
    cat "$log"
    caught=0
    [ "$status" = 99 ] && caught=1
    verdict "valgrind memcheck" "$status" "$caught"
  fi
fi

efence=$(for d in /usr/lib /usr/lib/x86_64-linux-gnu /usr/local/lib; do
  [ -e "$d/libefence.so.0" ] && echo "$d/libefence.so.0" && break; done)
if [ -z "$efence" ]; then
  echo "overrun check: FAILED: neither valgrind nor electric-fence (libefence.so.0) can check"
  exit 1
fi
# Freed memory stays inaccessible too, so a write through a stale pointer faults as well.
LD_PRELOAD="$efence" EF_ALLOW_MALLOC_0=1 EF_PROTECT_FREE=1 "$@"
status=$?
caught=0
[ "$status" = 139 ] && caught=1 # SIGSEGV from a guard page
verdict "electric-fence guard pages" "$status" "$caught"
