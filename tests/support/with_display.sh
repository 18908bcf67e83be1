#!/usr/bin/env bash
# Runs a command against the private Xvfb recorded in the state file (first
# argument), with Mesa's software renderer.
state=$1
shift
if [ -f "$state" ]; then
  read -r display _ <"$state"
  export DISPLAY=":$display"
else
  unset DISPLAY
fi
export LIBGL_ALWAYS_SOFTWARE=1
export GALLIUM_DRIVER=llvmpipe
exec "$@"
