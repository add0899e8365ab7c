#!/usr/bin/env bash
# expect.sh STATUS REQUIRED FORBIDDEN -- COMMAND...
# Runs COMMAND and passes when it exits with STATUS, some output line matches the
# extended regex REQUIRED and no line matches FORBIDDEN ("-" skips either check).
set -u
status=$1 required=$2 forbidden=$3
shift 3
[ "${1:-}" = "--" ] && shift
output=$("$@" 2>&1)
actual=$?
printf '%s\n' "$output"
fail=0
if [ "$actual" != "$status" ]; then
  echo "expect: exit status $actual, wanted $status" >&2
  fail=1
fi
if [ "$required" != "-" ] && ! grep -qE -- "$required" <<<"$output"; then
  echo "expect: no line matches: $required" >&2
  fail=1
fi
if [ "$forbidden" != "-" ] && grep -qE -- "$forbidden" <<<"$output"; then
  echo "expect: a line matches: $forbidden" >&2
  fail=1
fi
exit $fail
