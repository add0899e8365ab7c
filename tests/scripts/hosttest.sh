#!/usr/bin/env bash
# hosttest.sh ORVANE: the host test on a virtual display prints its Chinese hosting line,
# exits 0 and leaves no test world behind.
set -u
exe=$1
saves="$(dirname "$exe")/saves"
output=$(xvfb-run -a -s "-screen 0 1280x800x24" "$exe" --hosttest 2>&1)
status=$?
printf '%s\n' "$output"
fail=0
[ "$status" = 0 ] || { echo "hosttest: exit status $status" >&2; fail=1; }
grep -qx 'hosttest: 正在主持“__hosttest__”，UDP 端口 27892' <<<"$output" ||
  { echo "hosttest: no hosting line" >&2; fail=1; }
! grep -q '^\[validation\]' <<<"$output" || { echo "hosttest: validation message" >&2; fail=1; }
[ ! -e "$saves/__hosttest__" ] || { echo "hosttest: the test world was left behind" >&2; fail=1; }
exit $fail
