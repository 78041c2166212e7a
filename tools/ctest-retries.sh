#!/usr/bin/env bash
# After a ctest run with --repeat until-pass:N, names every test that failed and
# then passed when run again, with how many runs it took, one a line; nothing
# when no test needed another run. Tests that never passed are ctest's own list.
#   ctest-retries.sh BUILD_DIR
set -u
log=${1:?usage: ctest-retries.sh BUILD_DIR}/Testing/Temporary/LastTest.log
[ -f "$log" ] || exit 0
# Each run of a test is one block of the log: "K/N Testing: NAME" opens it, and
# "Test Passed." or "Test Failed." (or another outcome) closes it. What the
# test printed, between "Output:" and "<end of output>", is not read.
awk '
  /^Output:$/ { output = 1; next }
  /^<end of output>$/ { output = 0; next }
  output { next }
  /^[0-9]+\/[0-9]+ Testing: / { name = substr($0, index($0, " Testing: ") + 10); runs[name]++ }
  /^Test [A-Z][a-z]+\.$/ && name != "" { last[name] = $2; name = "" }
  END { for (n in runs) if (runs[n] > 1 && last[n] == "Passed.") print n " (" runs[n] " runs)" }
' "$log" | LC_ALL=C sort
