#!/usr/bin/env bash
# window_opens.sh ORVANE: starts the interactive game on a virtual display and passes
# when it prints its banner and is still running (window open) three seconds later.
set -u
exe=$1
if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "window_opens: xvfb-run is missing (package xvfb)" >&2
  exit 1
fi
output=$(xvfb-run -a -s "-screen 0 1280x800x24" timeout -s TERM 3 "$exe" 2>&1)
status=$?
printf '%s\n' "$output"
if [ "$status" != 124 ]; then
  echo "window_opens: the game exited with status $status before it was stopped" >&2
  exit 1
fi
grep -qx "Orvane 0.1.1792372227" <<<"$output" || { echo "window_opens: no banner" >&2; exit 1; }
grep -q "^Saves: /.*/saves$" <<<"$output" || { echo "window_opens: no saves line" >&2; exit 1; }
exit 0
