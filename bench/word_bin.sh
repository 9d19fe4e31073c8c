# Word binary reader: quillmark extract (plain text, UTF-8) against antiword
# and catdoc (plain text, UTF-8) on the same documents, whole-process time.
CORPUS=${CORPUS:-../shared/corpus}
doc=$CORPUS/perf/huge_11.doc
small=$CORPUS/generated/basic_3.doc
[ -f "$doc" ] && bench_compare "word huge_11.doc vs catdoc ($(stat -c %s "$doc") B)" 15 \
    "$QUILLMARK extract $doc" "catdoc -d utf-8 $doc"
[ -f "$doc" ] && bench_compare "word huge_11.doc vs antiword ($(stat -c %s "$doc") B)" 15 \
    "$QUILLMARK extract $doc" "antiword -m UTF-8.txt $doc"
[ -f "$small" ] && bench_compare "word basic_3.doc vs catdoc ($(stat -c %s "$small") B)" 15 \
    "$QUILLMARK extract $small" "catdoc -d utf-8 $small"
[ -f "$small" ] && bench_compare "word basic_3.doc vs antiword ($(stat -c %s "$small") B)" 15 \
    "$QUILLMARK extract $small" "antiword -m UTF-8.txt $small"
