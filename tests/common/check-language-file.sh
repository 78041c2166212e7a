#!/usr/bin/env bash
# Every key that a user-visible literal of the sources carries ("Text{KEY}" in a
# string literal, comments left out by the compiler's own preprocessor) must be
# an element of the language file, and the file must be well-formed XML.
#   check-language-file.sh LANGUAGE_FILE FOLDER...
set -euo pipefail
file=$1
shift
xmllint --noout "$file"
root=$(xmllint --xpath 'name(/*)' "$file")
folders=()
for folder in "$@"; do [ -d "$folder" ] && folders+=("$folder"); done
[ ${#folders[@]} -gt 0 ] || { echo "no source folder" >&2; exit 1; }
keys=$(find "${folders[@]}" -type f \( -name '*.cpp' -o -name '*.cc' -o -name '*.h' -o -name '*.hpp' \
         -o -name '*.inl' -o -name '*.rc' \) -print0 |
       xargs -0 -r -n1 sh -c 'gcc -fpreprocessed -dD -E -P -x c++ "$0" 2>/dev/null' |
       grep -oE '"([^"\\]|\\.)*\{[A-Z_][A-Z0-9_]*\}([^"\\{}]|\\.)*"' |
       sed -E 's/.*\{([A-Z_][A-Z0-9_]*)\}[^{}]*"$/\1/' | sort -u || true)
missing=0
count=0
for key in $keys; do
  count=$((count + 1))
  if [ "$(xmllint --xpath "boolean(/$root//$key)" "$file")" != true ]; then
    echo "missing key: $key" >&2
    missing=1
  fi
done
echo "$count keys of the sources checked in $file"
exit $missing
