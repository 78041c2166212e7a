#!/usr/bin/env bash
# Lists the compiled help file with the CHM tools: every page's topic, the
# window the program opens topics in, and the pop-up texts.
set -eu
chm=$1
list=$(chmls list "$chm")
fail() { echo "FAIL: $*" >&2; exit 1; }
for topic in Welcome Progress Finish SelSourceDrive SelDestFile EditTracks SelectOp \
             SelSourceFile SelTracks SelImage ExportImg SelRecorder SelCand SelDiscs; do
  grep -q " /$topic.html$" <<<"$list" || fail "topic $topic"
done
for file in /#WINDOWS /Context.txt /toc.hhc; do
  grep -qF " $file" <<<"$list" || fail "$file"
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmls extract "$chm" /#STRINGS "$work/strings" >/dev/null
grep -aq 'global_main' "$work/strings" || fail "window \$global_main"
chmls extract "$chm" /Context.txt "$work/context" >/dev/null
[ "$(grep -c '^\.topic [0-9]*' "$work/context")" -ge 40 ] || fail "pop-up texts"
echo "help file OK: $chm"
