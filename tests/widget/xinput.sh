#!/bin/sh
# xinput.sh MARKER XDOTOOL-ARGS...: sends the input, then writes MARKER, so a
# Windows test started through Wine's "start /unix" (which returns at once)
# knows when every event has reached the X server.
marker=$1
shift
/usr/bin/xdotool "$@"
echo $? >"$marker"
