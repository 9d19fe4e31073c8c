# Compound file reader: open, enumerate and read every stream of a large .doc
# (`quillmark ls --read`) against `cat` of the same file (memory bandwidth
# plus process start is the floor).
CORPUS=${CORPUS:-../shared/corpus}
doc=$CORPUS/perf/huge_11.doc
[ -f "$doc" ] && bench_compare "compound file read all ($(stat -c %s "$doc") B)" 15 \
    "$QUILLMARK ls --read $doc" "cat $doc"
