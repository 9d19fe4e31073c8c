# PDF text: quillmark extract against pdftotext (poppler) and mutool (MuPDF)
# on a LibreOffice-written document and on the large perf PDF.
CORPUS=${CORPUS:-../shared/corpus}
small=$CORPUS/generated/long_3.pdf
big=$CORPUS/perf/huge_11.pdf
if [ -f "$small" ]; then
    bench_compare "pdf text vs pdftotext ($(stat -c %s "$small") B)" 5 \
        "$QUILLMARK extract $small" "pdftotext -enc UTF-8 $small -"
    bench_compare "pdf text vs mutool ($(stat -c %s "$small") B)" 5 \
        "$QUILLMARK extract $small" "mutool draw -q -F txt -o - $small"
fi
if [ -f "$big" ]; then
    bench_compare "pdf text vs pdftotext ($(stat -c %s "$big") B)" 5 \
        "$QUILLMARK extract $big" "pdftotext -enc UTF-8 $big -"
    bench_compare "pdf text vs mutool ($(stat -c %s "$big") B)" 5 \
        "$QUILLMARK extract $big" "mutool draw -q -F txt -o - $big"
fi
