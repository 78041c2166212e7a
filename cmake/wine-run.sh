#!/bin/bash
# Runs a Windows program under Wine in the tests' private prefix.
# One detached wineserver is kept warm per prefix, so that each test costs
# milliseconds instead of seconds, and ctest never waits on Wine's daemons.
#   wine-run.sh --prepare     create the prefix (if needed) and start its server
#   wine-run.sh --arch        print the prefix's kind: win64 wherever the 64-bit
#                             Wine is installed (a 32-bit program then runs under
#                             WoW64, as on a 64-bit Windows), else win32
#   wine-run.sh --runs32      succeed if the kernel runs 32-bit programs (where
#                             it does not, Wine runs only 64-bit Windows programs)
#   wine-run.sh --prefix      print the prefix's folder
#   wine-run.sh PROGRAM ARGS  run PROGRAM; its exit code is passed through
#
# Every test passes through here, and starting a process is the dearest thing
# a test does on a loaded machine, so a run whose prefix and server are ready
# starts none but the program: what it reads it reads with shell builtins.
set -u
tmp=${TMPDIR:-/tmp}
# Which of Wine's loaders start here ("32 64", "64" or "32") is asked once per boot.
loaders=
knownfile=$tmp/wine-run-loaders-$UID
boot=
{ read -r boot </proc/sys/kernel/random/boot_id; } 2>/dev/null
{ read -r known loaders <"$knownfile"; } 2>/dev/null && [ -n "$boot" ] && [ "$known" = "$boot" ] ||
  loaders=
if [ -z "$loaders" ]; then
  /usr/lib/wine/wine --version >/dev/null 2>&1 && loaders=32
  /usr/lib/wine/wine64 --version >/dev/null 2>&1 && loaders="${loaders:+$loaders }64"
  [ -z "$boot" ] || printf '%s %s\n' "$boot" "${loaders:-none}" >"$knownfile"
fi
[ "${1:-}" = "--runs32" ] && { [[ "$loaders" == 32* ]]; exit; }
if [ -z "${WINEARCH:-}" ]; then
  # A prefix made before keeps its kind.
  head=()
  [ -z "${WINEPREFIX:-}" ] || { mapfile -n 4 head <"$WINEPREFIX/system.reg"; } 2>/dev/null
  if [[ "${head[*]}" == *"#arch=win32"* || "$loaders" != *64 ]]; then WINEARCH=win32; else WINEARCH=win64; fi
fi
export WINEARCH
[ "${1:-}" = "--arch" ] && { echo "$WINEARCH"; exit 0; }
loader=/usr/lib/wine/wine
server=/usr/lib/wine/wineserver32
[ -x /usr/lib/wine/wineserver64 ] && server=/usr/lib/wine/wineserver64
if [ "$WINEARCH" = win64 ] && [[ "$loaders" != 32* ]]; then
  # Debian's wine script would pick the 32-bit loader, which cannot start here.
  loader=/usr/lib/wine/wine64
  export WINELOADER=$loader
fi
export WINESERVER=$server
if [ "$WINEARCH" = win64 ]; then
  export WINEPREFIX=${WINEPREFIX:-$tmp/wineprefix-$UID-x86_64}
else
  export WINEPREFIX=${WINEPREFIX:-$tmp/wineprefix-$UID-i686}
fi
[ "${1:-}" = "--prefix" ] && { echo "$WINEPREFIX"; exit 0; }
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
linger=${WINE_LINGER:-5}
fonts=(marlett.ttf tahoma.ttf tahomabd.ttf)
# Programs' output waits here until they have ended (see below).
outputs=$WINEPREFIX.output

# A test session is one X display: its name and its authority file, which
# xvfb-run makes anew for every run even where it gives the same name again.
display=${DISPLAY:-}
session="$display ${XAUTHORITY:-}"
pidfile=$WINEPREFIX.server-pid
server_alive() {
  local pid args
  { read -r pid <"$pidfile"; } 2>/dev/null && [ -n "$pid" ] || return 1
  { mapfile -d '' args <"/proc/$pid/cmdline"; } 2>/dev/null || return 1
  [[ "${args[*]}" == *wineserver* ]]
}
# The ID of the server that holds the prefix, whoever started it.
find_server() {
  local dir args env var
  for dir in /proc/[0-9]*; do
    { mapfile -d '' args <"$dir/cmdline"; } 2>/dev/null || continue
    [[ "${args[0]:-}" == *wineserver* && " ${args[*]} " != *" -w "* && " ${args[*]} " != *" -k "* ]] ||
      continue
    { mapfile -d '' env <"$dir/environ"; } 2>/dev/null || continue
    for var in "${env[@]}"; do
      [ "$var" = "WINEPREFIX=$WINEPREFIX" ] && { echo "${dir#/proc/}"; return 0; }
    done
  done
  return 1
}
same_session() {
  local saved=
  { IFS= read -r saved <"$WINEPREFIX.session"; } 2>/dev/null
  [ "$saved" = "$session" ]
}
# Fonts that Wine brings but does not look for: the dialog font and the
# wizard's bullets.
font_missing() {
  [ -e "/usr/share/wine/fonts/$1" ] && [ ! -e "$WINEPREFIX/drive_c/windows/Fonts/$1" ]
}
# Output files of programs that are no longer running; those of programs still
# running under another server's watch are theirs until they end.
prune_outputs() {
  local file pid dead=()
  for file in "$outputs"/*.out "$outputs"/*.err; do
    [ -e "$file" ] || continue
    pid=${file##*/}
    [ -d "/proc/${pid%.*}" ] || dead+=("$file")
  done
  [ ${#dead[@]} -eq 0 ] || rm -f "${dead[@]}" 9>&-
}
ready() {
  local font
  [ -f "$WINEPREFIX/system.reg" ] && [ -d "$outputs" ] || return 1
  for font in "${fonts[@]}"; do
    font_missing "$font" && return 1
  done
  server_alive && same_session
}

if ! ready; then
  exec 9>"$WINEPREFIX.lock"
  flock 9
  here=${BASH_SOURCE[0]%/*}

  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    rm -rf "$WINEPREFIX"
    "$loader" wineboot -i </dev/null >/dev/null 2>&1 9>&-
    "$loader" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      </dev/null >/dev/null 2>&1 9>&-
    "$server" -w 9>&-
    # Set-up steps of the test tree (stand-in drivers and servers) run again on a new prefix.
    rm -f "$WINEPREFIX".registered-*
  fi

  for font in "${fonts[@]}"; do
    if font_missing "$font"; then
      cp "/usr/share/wine/fonts/$font" "$WINEPREFIX/drive_c/windows/Fonts/" 9>&-
    fi
  done

  if server_alive && ! same_session; then
    # The server of another session, whose desktop belongs to a display that is
    # gone or not this one: end it now (waiting for it would wait on that desktop).
    "$server" -k 9>&-
    "$server" -w 9>&-
  fi
  if ! server_alive; then
    printf '%s' "$session" >"$WINEPREFIX.session"
    prune_outputs
    # On a display the server stays for as long as the display does. A server
    # left idle for its linger time starts to shut down and cannot be called
    # back: a program started then finds the services and the desktop leaving,
    # and hangs. The watch ends the server when the display closes.
    persist=-p$linger
    [ -z "$display" ] || persist=-p
    # Started as Wine's programs start it, the server returns once it takes
    # requests and goes on in the background. Started in the background, a
    # program could come first, start a server of its own and take the prefix.
    setsid -w "$server" "$persist" </dev/null >/dev/null 2>&1 9>&-
    find_server >"$pidfile"
    if [ -n "$display" ] && server_alive; then
      setsid "$here/wine-display-watch.sh" "$(<"$pidfile")" </dev/null >/dev/null 2>&1 9>&- &
    fi
    setsid "$loader" cmd /c exit </dev/null >/dev/null 2>&1 9>&-
  fi
  mkdir -p -m 700 "$outputs"

  flock -u 9
  exec 9>&-
fi

[ "${1:-}" = "--prepare" ] && exit 0
# Wine's own background programs (the desktop, its services) are started by
# the first program that needs them and keep that program's standard output
# and error open for as long as they live. Were those the test runner's pipes,
# the runner would wait for the desktop to end before it saw the program end.
# So the program writes into files of its own (a live process's ID is its
# own), which are handed on once it has exited, and emptied.
out=$outputs/$$.out
err=$outputs/$$.err
pass_on() {
  local lines
  mapfile lines <"$1"
  printf '%s' "${lines[@]}"
  : >"$1"
}
# Whether the program's output is that of a GoogleTest run that got to its end
# and passed every test.
tests_passed() {
  local lines line ran= passed= failed=
  mapfile lines <"$1"
  for line in "${lines[@]}"; do
    case "$line" in
      "[==========] "*" ran."*) ran=yes ;;
      "[  PASSED  ] "*) passed=yes ;;
      "[  FAILED  ] "*) failed=yes ;;
    esac
  done
  [ -n "$ran" ] && [ -n "$passed" ] && [ -z "$failed" ]
}
"$loader" "$@" >"$out" 2>"$err"
status=$?
silent=yes
[ -s "$out" ] || [ -s "$err" ] && silent=
# The 32-bit loader now and then dies of a segmentation fault (status 139) in
# the C library's exit(), where a thread of Wine's own takes a signal while the
# process is torn down: after the Windows program has ended and its exit code
# is with the server. A crash of the program itself ends it with status 5
# (0xC0000005) instead. So a test run that reached its end and passed keeps
# its result, and says what happened.
crashed_at_exit=
[ "$status" -eq 139 ] && tests_passed "$out" && crashed_at_exit=yes
pass_on "$out"
pass_on "$err" >&2
if [ -n "$crashed_at_exit" ]; then
  echo "wine-run.sh: Wine's loader crashed at the exit of $1, after every test had passed" >&2
  exit 0
fi
if [ "$status" -ne 0 ] && [ -n "$silent" ]; then
  echo "wine-run.sh: $1 ended with status $status and printed nothing" >&2
fi
exit $status
