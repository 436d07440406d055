# Sourced by the install tests: a scratch folder $tmp removed at exit, and `fail`, which
# prints a failure and makes the test's status ($status) 1.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0
fail() {
  echo "FAIL: $*"
  status=1
}
