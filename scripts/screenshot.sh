#!/usr/bin/env bash
# Inside a (virtual) display: starts Velmora, waits until its start page and the two views of
# it have finished loading, takes a screenshot of the screen and ends Velmora.
# Usage: screenshot.sh VELMORA OUTPUT.png
set -euo pipefail
velmora=$1
shot=$2
log=$(mktemp)
trap 'rm -f "$log"' EXIT

VELMORA_TRACE=1 "$velmora" 2>"$log" &
pid=$!
for _ in $(seq 1 120); do
  grep -q "pane 2 finished" "$log" && break
  kill -0 "$pid" 2>/dev/null || { echo "Velmora ended before its start page was shown:" >&2; cat "$log" >&2; exit 1; }
  sleep 0.5
done
if ! grep -q "pane 2 finished" "$log"; then
  echo "Velmora did not finish its start page within a minute" >&2
  kill "$pid"
  exit 1
fi
sleep 1  # a finished load is not yet painted
import -window root "$shot"
kill "$pid"
wait "$pid" 2>/dev/null || true
