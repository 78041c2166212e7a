#!/usr/bin/env bash
# Runs a small project under ctest with retries and checks that the report names
# exactly the test that passed on its second run, and nothing after a clean run.
set -u
tools=${1:?usage: ctest-retries-test.sh TOOLS_DIR PROJECT_DIR WORK_DIR}
project=${2:?}
work=${3:?}
rm -rf "$work" && mkdir -p "$work" || exit 1
cmake -S "$project" -B "$work" >/dev/null || exit 1
cd "$work" || exit 1
ctest --repeat until-pass:3 >ctest.out 2>&1
got=$("$tools/ctest-retries.sh" "$work")
if [ "$got" != "second_run (2 runs)" ]; then
  echo "after a run with retries, expected \"second_run (2 runs)\", got:"
  echo "$got"
  exit 1
fi
ctest --repeat until-pass:3 -E never >>ctest.out 2>&1 || { echo "clean run failed"; exit 1; }
got=$("$tools/ctest-retries.sh" "$work")
if [ -n "$got" ]; then
  echo "after a clean run, expected no names, got:"
  echo "$got"
  exit 1
fi
