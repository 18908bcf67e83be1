#!/usr/bin/env bash
# Starts a private Xvfb on a free display number and records it in the state
# file given as the first argument: "<display> <pid>".
set -euo pipefail
state=$1
# Started again (ctest --repeat runs a fixture's setup once per repeat): the
# server already recorded goes on serving, rather than being left unstopped.
if [ -f "$state" ]; then
  read -r display pid <"$state" || true
  if [ -n "${pid:-}" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ]; then
    echo "Xvfb on :$display (pid $pid), already running"
    exit 0
  fi
fi
rm -f "$state"
fifo=$(mktemp -u /tmp/brx-xvfb-XXXXXX)
mkfifo "$fifo"
# -r: no key repeat, so a key that xdotool holds for a while on a loaded
# machine is still typed once.
setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset -r \
  3>"$fifo" </dev/null >"$state.log" 2>&1 &
pid=$!
display=""
read -r -t 20 display <"$fifo" || true
rm -f "$fifo"
if [ -z "$display" ]; then
  echo "Xvfb did not start" >&2
  cat "$state.log" >&2 || true
  kill "$pid" 2>/dev/null || true
  exit 1
fi
echo "$display $pid" >"$state"
echo "Xvfb on :$display (pid $pid)"
