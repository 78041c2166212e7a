#!/bin/bash
# Ends the prefix's Wine server once the X display it serves has closed.
# wine-run.sh starts it, detached, beside every server it starts on a display.
#   wine-display-watch.sh SERVER_PID    (with WINEPREFIX, DISPLAY, XAUTHORITY)
set -u
server=${1:?usage: wine-display-watch.sh SERVER_PID}
# xprop prints the root window's properties once it is connected, then waits
# for changes until the display goes away. A display it cannot open ends nothing.
xprop -root -spy 2>/dev/null | { read -r _ && cat >/dev/null; } || exit 0
exec 9>"$WINEPREFIX.lock"
flock 9
# Only the server this watch belongs to: a later run may already have its own.
[ "$(cat "$WINEPREFIX.server-pid" 2>/dev/null)" = "$server" ] || exit 0
grep -q wineserver "/proc/$server/cmdline" 2>/dev/null || exit 0
"${WINESERVER:-wineserver}" -k 9>&-
"${WINESERVER:-wineserver}" -w 9>&-
