#!/usr/bin/env bash
# The wrapper keeps one Wine server per X display: programs started on one
# display share it, it ends when its display closes, and a run on a new display
# ends the server of the one before and starts its own. Works in a prefix of
# its own, so that the suite's server is left alone.
#   wine-session-test.sh WRAPPER WORK_DIR
set -u
wrapper=${1:?usage: wine-session-test.sh WRAPPER WORK_DIR}
work=${2:?}
command -v Xvfb >/dev/null || exit 77
export WINEPREFIX=$work/prefix
unset DISPLAY XAUTHORITY
# The prefix is kept from run to run (making one takes long); what ran in it is not.
"$(dirname "$0")/../../tools/kill-my-wine.sh" "$WINEPREFIX"
rm -f "$work"/auth.* "$work"/displayfd.* && mkdir -p "$work" || exit 1
status=0
fail() { echo "$*"; status=1; }

xvfbs=()
cleanup() {
  local pid
  for pid in "${xvfbs[@]}"; do kill "$pid" 2>/dev/null; done
  "$(dirname "$0")/../../tools/kill-my-wine.sh" "$WINEPREFIX"
}
trap cleanup EXIT

# Starts an X server on a free display; sets DISPLAY and the PID in xvfb.
start_display() {
  local fifo=$work/displayfd.$RANDOM
  mkfifo "$fifo"
  Xvfb -displayfd 3 -nolisten tcp -screen 0 320x240x24 3>"$fifo" >/dev/null 2>&1 &
  xvfb=$!
  xvfbs+=("$xvfb")
  read -r number <"$fifo" || return 1
  rm -f "$fifo"
  export DISPLAY=:$number XAUTHORITY=$work/auth.$number
}
server() { cat "$WINEPREFIX.server-pid"; }
alive() { grep -q wineserver "/proc/$1/cmdline" 2>/dev/null; }
# Waits, at most 30 s, for a process to end.
ended() { timeout 30 tail --pid="$1" -f /dev/null; }

# Without a display the server lingers as long as WINE_LINGER says; on one it
# must not start to shut down while the display is open, however long idle.
export WINE_LINGER=0
"$wrapper" --prepare || exit 1  # a server without a display

start_display || exit 1
first_x=$xvfb
"$wrapper" cmd /c exit || fail "a program failed on the first display"
first=$(server)
"$wrapper" cmd /c exit || fail "a second program failed on the first display"
[ "$(server)" = "$first" ] && alive "$first" || fail "programs on one display did not share a server"
# An idle server that lingers no time ends within about two seconds.
timeout 8 tail --pid="$first" -f /dev/null && fail "the server ended while its display was open"

kill "$first_x"
ended "$first" || fail "the server outlived its display"

start_display || exit 1
"$wrapper" cmd /c exit || fail "a program failed on the second display"
second=$(server)
[ "$second" != "$first" ] && alive "$second" || fail "no new server for the second display"

# A third display while the second is still open: its run takes over the prefix.
start_display || exit 1
"$wrapper" cmd /c exit || fail "a program failed on the third display"
third=$(server)
alive "$second" && fail "the second display's server still runs beside the third's"
[ "$third" != "$second" ] && alive "$third" || fail "no new server for the third display"
exit $status
