#!/usr/bin/env bash
# Compares the text and metadata two builds give for every PDF of the corpus
# and of tests/data: prints each file whose output differs and exits 1 when
# any does. Used to check that a change of the PDF object layer leaves the
# extracted text byte-identical.
#   bench/pdf_text_diff.sh OLD_BINARY NEW_BINARY [DIR...]
set -u
old=$1 new=$2
shift 2
dirs=("$@")
[ ${#dirs[@]} -eq 0 ] && dirs=(../shared/corpus tests/data)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
n=0 differ=0
while IFS= read -r -d '' f; do
    n=$((n + 1))
    for cmd in extract info; do
        "$old" $cmd "$f" >"$tmp/old" 2>&1; echo "rc=$?" >>"$tmp/old"
        "$new" $cmd "$f" >"$tmp/new" 2>&1; echo "rc=$?" >>"$tmp/new"
        if ! cmp -s "$tmp/old" "$tmp/new"; then
            echo "DIFFERS ($cmd): $f"
            differ=$((differ + 1))
        fi
    done
done < <(find "${dirs[@]}" -iname '*.pdf' -type f -print0 | sort -z)
echo "$n files, $differ outputs differ"
[ "$differ" -eq 0 ]
