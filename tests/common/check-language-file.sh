#!/usr/bin/env bash
# Every key that a user-visible literal of the sources carries ("Text{KEY}" in a
# string literal, comments left out by the compiler's own preprocessor) must be
# an element of the language file, and the file must be well-formed XML.
#   check-language-file.sh LANGUAGE_FILE FOLDER...
set -euo pipefail
file=$1
shift
xmllint --noout "$file"
folders=()
for folder in "$@"; do [ -d "$folder" ] && folders+=("$folder"); done
[ ${#folders[@]} -gt 0 ] || { echo "no source folder" >&2; exit 1; }
# The preprocessor takes the files in batches and writes them one after another.
keys=$(find "${folders[@]}" -type f \( -name '*.cpp' -o -name '*.cc' -o -name '*.h' -o -name '*.hpp' \
         -o -name '*.inl' -o -name '*.rc' \) -print0 |
       xargs -0 -r gcc -fpreprocessed -dD -E -P -x c++ 2>/dev/null |
       grep -oE '"([^"\\]|\\.)*\{[A-Z_][A-Z0-9_]*\}([^"\\{}]|\\.)*"' |
       sed -E 's/.*\{([A-Z_][A-Z0-9_]*)\}[^{}]*"$/\1/' | sort -u || true)
# The names of all elements below the root, as the XML parser sees them.
elements=$(python3 -c 'import sys, xml.etree.ElementTree as T
root = T.parse(sys.argv[1]).getroot()
print("\n".join({e.tag for e in root.iter() if e is not root}))' "$file")
count=$(grep -c . <<<"$keys" || true)
missing=$(comm -23 <(LC_ALL=C sort -u <<<"$keys") <(LC_ALL=C sort -u <<<"$elements"))
for key in $missing; do echo "missing key: $key" >&2; done
echo "$count keys of the sources checked in $file"
[ -z "$missing" ]
