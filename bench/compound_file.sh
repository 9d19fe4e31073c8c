#!/bin/sh
# Compound file reader: open, enumerate and read every stream of a large .doc
# (`quillmark ls --read`), against `cat` of the same file. Each is run RUNS
# times; the best run counts (the machine may be shared).
# usage: bench/compound_file.sh [BUILD_DIR] [FILE]
set -e
BUILD=${1:-build}
FILE=${2:-../shared/corpus/perf/huge_11.doc}
[ -f "$FILE" ] || FILE=/work/shared/corpus/perf/huge_11.doc
RUNS=${RUNS:-30}
best() {  # best wall time in ms of RUNS runs of "$@"
    min=""
    i=0
    while [ $i -lt "$RUNS" ]; do
        t0=$(date +%s%N); "$@" >/dev/null; t1=$(date +%s%N)
        d=$(( (t1 - t0) / 1000 ))
        if [ -z "$min" ] || [ "$d" -lt "$min" ]; then min=$d; fi
        i=$((i + 1))
    done
    echo "$min"
}
cat_us=$(best cat "$FILE")
ours_us=$(best "$BUILD/quillmark" ls --read "$FILE")
awk -v c="$cat_us" -v o="$ours_us" -v f="$FILE" 'BEGIN {
  printf "compound_file  %s  cat %.2f ms  quillmark ls --read %.2f ms  ratio %.2f\n",
         f, c / 1000, o / 1000, o / c }'
