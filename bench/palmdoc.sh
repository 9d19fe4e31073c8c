# PalmDoc: quillmark extract against calibre's ebook-convert (txt output) on
# the same books: a small calibre-written book and a large one made by calibre
# from the perf corpus text.
CORPUS=${CORPUS:-../shared/corpus}
small=$CORPUS/generated/basic_3.pdb
large=/tmp/quillmark-bench-large.pdb
if command -v ebook-convert >/dev/null 2>&1 && [ ! -s "$large" ] && [ -f "$CORPUS/perf/huge_11.truth.txt" ]; then
    cp "$CORPUS/perf/huge_11.truth.txt" /tmp/quillmark-bench-large.txt
    ebook-convert /tmp/quillmark-bench-large.txt "$large" >/dev/null 2>&1 || rm -f "$large"
fi
[ -f "$small" ] && bench_compare "palmdoc small ($(stat -c %s "$small") B)" 5 \
    "$QUILLMARK extract $small" "ebook-convert $small /tmp/quillmark-bench-out.txt"
[ -s "$large" ] && bench_compare "palmdoc large ($(stat -c %s "$large") B)" 3 \
    "$QUILLMARK extract $large" "ebook-convert $large /tmp/quillmark-bench-out.txt"
