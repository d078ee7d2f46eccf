#!/bin/sh
# Runs a test program on the X server that xvfb-run started, with openbox managing its
# windows as a desktop would (frames, focus, Alt+F4 as a close request).
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
i=0
until xdotool get_desktop >/dev/null 2>&1 || [ $i -ge 100 ]; do
    sleep 0.1
    i=$((i + 1))
done
"$@"
status=$?
kill $wm
exit $status
