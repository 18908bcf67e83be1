#!/usr/bin/env bash
# Runs a command against the private Xvfb recorded in the state file (first
# argument, or BRX_XVFB_STATE when the test names its server), with Mesa's
# software renderer.
state=${BRX_XVFB_STATE:-$1}
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
