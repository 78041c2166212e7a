#!/usr/bin/env bash
# The English file made from the fixture's sources, read by xmllint.
set -euo pipefail
file=$1
q() { xmllint --xpath "$1" "$file"; }
fail() { echo "FAIL: $*" >&2; exit 1; }
[ "$(q 'name(/*)')" = LOCFIXTURE ] || fail "root"
[ "$(q 'string(/LOCFIXTURE/@lcid)')" = 1033 ] || fail "lcid"
[ "$(q 'count(/LOCFIXTURE/STRINGS/COMMENTED_LINE | /LOCFIXTURE/STRINGS/COMMENTED_BLOCK)')" = 0 ] ||
  fail "literals in comments were taken"
[ "$(q 'string(/LOCFIXTURE/STRINGS/BACKSLASH/@name)')" = 'C:\\temp\\new' ] || fail "backslashes"
[ "$(q 'string(/LOCFIXTURE/STRINGS/CONTROL/@name)')" = 'Line one\nLine two\tTabbed\r' ] ||
  fail "escapes"
[ "$(q 'string(/LOCFIXTURE/STRINGS/JOINED/@name)')" = 'First part, second part' ] ||
  fail "joined literals"
[ "$(q 'string(/LOCFIXTURE/STRINGS/SOURCE_UNICODE/@name)')" = 'Straße' ] || fail "UTF-8"
# A default extension beside the extension itself is one entry: the extension.
[ "$(q 'string(/LOCFIXTURE/STRINGS/DEFAULT_EXTENSION/@name)')" = txt ] || fail "default extension"
# Dialogs: the caption's element holds the controls; a caption path nests.
[ "$(q 'string(/LOCFIXTURE/IDD_FIXTURE/@name)')" = 'Fixture dialog' ] || fail "caption"
[ "$(q 'count(/LOCFIXTURE/IDD_FIXTURE/*)')" = 7 ] || fail "controls of the dialog"
[ "$(q 'string(/LOCFIXTURE/IDD_FIXTURE/DLG_QUOTED/@name)')" = 'Say "hi"' ] || fail "rc quotes"
[ "$(q 'count(/LOCFIXTURE/STRINGS/DLG_TRANSLATED)')" = 0 ] || fail "control in STRINGS"
[ "$(q 'string(/LOCFIXTURE/PAGES/WELCOME/GREETING/@name)')" = Hello ] || fail "nested caption"
[ "$(q 'string(/LOCFIXTURE/STRINGS/LOOSE_CONTROL/@name)')" = 'Loose control' ] ||
  fail "control of a dialog without caption key"
echo "fixture language file OK"
