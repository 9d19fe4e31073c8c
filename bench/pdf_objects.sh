#!/bin/sh
# PDF object layer: resolve every object and decode every stream of a large
# PDF with `quillmark pdf-objects --check`, against qpdf --show-xref and
# qpdf --check on the same file. Prints wall-clock seconds for each.
set -e
cd "$(dirname "$0")/.."
FILE=${1:-../shared/corpus/perf/huge_11.pdf}
CLI=${QUILLMARK_CLI:-build/quillmark}
[ -f "$FILE" ] || { echo "pdf_objects: $FILE not found" >&2; exit 0; }
t() { /usr/bin/time -f "%e" "$@" >/dev/null 2>/tmp/pdf_bench_time.$$ || true; tail -1 /tmp/pdf_bench_time.$$; }
ours=$(t "$CLI" pdf-objects --check "$FILE")
xref=$(t qpdf --show-xref "$FILE")
check=$(t qpdf --check "$FILE")
rm -f /tmp/pdf_bench_time.$$
echo "pdf-objects $(basename "$FILE"): quillmark ${ours}s, qpdf --show-xref ${xref}s, qpdf --check ${check}s"
