#!/usr/bin/env bash
# Runs every libFuzzer target (or the ones named) with the limits a hostile
# input must stay within: 1 GiB of memory in all, no single allocation over
# 512 MiB, 10 s per input. A target uses the dictionary of its format when
# there is one (fuzz/dict/<format>.dict) and its seeds from tests/data.
#   fuzz/run.sh [SECONDS] [TARGET...]      (default 600 s each, every target)
set -u
cd "$(dirname "$0")/.."
secs=${1:-600}; shift || true
build=${FUZZ_BUILD:-build-fuzz}
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for t in "$build"/*_fuzzer; do targets+=("$(basename "$t")"); done
fi
status=0
for t in "${targets[@]}"; do
    name=${t%_fuzzer}
    dict=""
    # Formats inside a container use the container's dictionary.
    case ${name%%_*} in
        word|wpd|vba) alias=compound ;;
        docx|odf|fb2|fictionbook) alias=xml ;;
        *) alias=${name%%_*} ;;
    esac
    for d in fuzz/dict/"$name".dict fuzz/dict/"${name%%_*}".dict fuzz/dict/"$alias".dict; do
        [ -f "$d" ] && { dict="-dict=$d"; break; }
    done
    corpus=$(mktemp -d)
    seeds=tests/data/${name%%_*}
    [ -d "$seeds" ] || seeds=""
    echo "== $t ($secs s) $dict"
    "$build/$t" -rss_limit_mb=1024 -malloc_limit_mb=512 -timeout=10 -max_total_time="$secs" \
        -print_final_stats=1 $dict "$corpus" $seeds 2>&1 | grep -E "^(stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY|Done)" 
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    rm -rf "$corpus"
done
exit $status
