#!/usr/bin/env bash
# Stops the Xvfb recorded in the state file.
state=$1
[ -f "$state" ] || exit 0
read -r display pid <"$state"
kill "$pid" 2>/dev/null || true
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
rm -f "$state"
