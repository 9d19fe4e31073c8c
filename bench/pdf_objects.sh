# PDF object layer: `quillmark pdf-objects` (load and list the cross-reference
# entries) against `qpdf --show-xref`, and `quillmark pdf-objects --check`
# (also fetch every object and decode every stream) against `qpdf --check`
# (which parses every object and stream) on the large perf PDF.
CORPUS=${CORPUS:-../shared/corpus}
big=$CORPUS/perf/huge_11.pdf
if [ -f "$big" ]; then
    bench_compare "pdf xref list ($(stat -c %s "$big") B)" 9 \
        "$QUILLMARK pdf-objects $big" "qpdf --show-xref $big"
    bench_compare "pdf all objects+streams ($(stat -c %s "$big") B)" 5 \
        "$QUILLMARK pdf-objects --check $big" "qpdf --check $big"
fi
