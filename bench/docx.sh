# Word 2007: quillmark extract against docx2txt on a small LibreOffice .docx
# and on the large perf document; the zip listing (`quillmark ls --read`,
# which inflates and CRC-checks every member) against `unzip -t`.
CORPUS=${CORPUS:-../shared/corpus}
small=$CORPUS/generated/notes_3.docx
large=$CORPUS/perf/huge_11.docx
[ -f "$small" ] && bench_compare "docx small ($(stat -c %s "$small") B)" 9 \
    "$QUILLMARK extract $small" "docx2txt $small -"
[ -f "$large" ] && bench_compare "docx large ($(stat -c %s "$large") B)" 5 \
    "$QUILLMARK extract $large" "docx2txt $large -"
[ -f "$large" ] && bench_compare "zip read all ($(stat -c %s "$large") B)" 9 \
    "$QUILLMARK ls --read $large" "unzip -tq $large"
