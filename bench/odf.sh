# OpenDocument: quillmark extract against odt2txt on the generated text,
# spreadsheet and presentation documents and on the large perf document.
CORPUS=${CORPUS:-../shared/corpus}
for f in notes_3.odt sheet_3.ods slides_3.odp; do
    p=$CORPUS/generated/$f
    [ -f "$p" ] && bench_compare "odf $f ($(stat -c %s "$p") B)" 9 \
        "$QUILLMARK extract $p" "odt2txt --encoding=UTF-8 $p"
done
large=$CORPUS/perf/huge_11.odt
[ -f "$large" ] && bench_compare "odf large ($(stat -c %s "$large") B)" 5 \
    "$QUILLMARK extract $large" "odt2txt --encoding=UTF-8 $large"
