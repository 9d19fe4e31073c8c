#!/usr/bin/env bash
# Throughput of `quillmark batch` over a corpus with 1 and 2 workers, and the
# pool's per-file overhead against starting the command once per file (a
# shell loop of `quillmark extract`) on the small files (< 64 KiB).
#   bench/batch.sh [CORPUS]      (default ../shared/corpus)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
CORPUS=${1:-../shared/corpus}
files=$(find "$CORPUS" -type f | wc -l)
bytes=$(find "$CORPUS" -type f -printf '%s\n' | awk '{s+=$1} END {print s}')
echo "corpus: $CORPUS, $files files, $bytes bytes"
for j in 1 2; do
    t=$(median_time 3 "$QUILLMARK batch -q -j $j $CORPUS")
    printf 'batch -j %d: %.3f s  %.0f files/s  %.1f MB/s\n' "$j" "$t" \
        "$(echo "$files / $t" | bc -l)" "$(echo "$bytes / $t / 1000000" | bc -l)"
done
small=$(mktemp)
find "$CORPUS" -type f -size -64k > "$small"
n=$(wc -l < "$small")
t_loop=$(median_time 3 "while read -r f; do $QUILLMARK extract \"\$f\"; done < $small")
t_batch=$(median_time 3 "tr '\\n' '\\0' < $small | xargs -0 $QUILLMARK batch -q -j 1")
printf 'small files (%d): shell loop %.3f s (%.0f files/s), batch -j 1 %.3f s (%.0f files/s), %.1fx\n' "$n" \
    "$t_loop" "$(echo "$n / $t_loop" | bc -l)" "$t_batch" "$(echo "$n / $t_batch" | bc -l)" \
    "$(echo "$t_loop / $t_batch" | bc -l)"
rm -f "$small"
