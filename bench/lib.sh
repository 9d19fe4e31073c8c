# Shared helpers for the benchmark scripts (sourced, not run).
# bench_compare LABEL RUNS "OUR COMMAND" "PEER COMMAND"
#   Runs each command RUNS times (output discarded), takes the median wall
#   time, and prints one row: label, ours (s), peer (s), peer/ours, and the
#   peak resident memory of one more run of each (KB; of the largest process
#   when the peer runs helpers), as /usr/bin/time reports it.

QUILLMARK=${QUILLMARK:-build/quillmark}

median_time() {
    local runs=$1; shift
    local times=()
    for ((i = 0; i < runs; i++)); do
        local t0 t1
        t0=$(date +%s.%N)
        bash -c "$*" >/dev/null 2>&1
        t1=$(date +%s.%N)
        times+=("$(echo "$t1 - $t0" | bc -l)")
    done
    printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'
}

# Peak resident set size in KB of one run of the command ("-" without GNU time).
peak_kb() {
    if [ ! -x /usr/bin/time ]; then echo "-"; return; fi
    local f
    f=$(mktemp)
    /usr/bin/time -f %M -o "$f" bash -c "$*" >/dev/null 2>&1
    tail -n 1 "$f"
    rm -f "$f"
}

bench_compare() {
    local label=$1 runs=$2 ours=$3 peer=$4
    local peer_bin=${peer%% *}
    if ! command -v "$peer_bin" >/dev/null 2>&1; then
        printf '%-40s %10s %10s %10s\n' "$label" "-" "-" "peer missing: $peer_bin"
        return
    fi
    local t_ours t_peer
    t_ours=$(median_time "$runs" "$ours")
    t_peer=$(median_time "$runs" "$peer")
    printf '%-40s %10.4f %10.4f %9.1fx %10s %10s\n' "$label" "$t_ours" "$t_peer" "$(echo "$t_peer / $t_ours" | bc -l)" \
        "$(peak_kb "$ours")" "$(peak_kb "$peer")"
}

bench_header() {
    printf '%-40s %10s %10s %10s %10s %10s\n' "benchmark" "ours (s)" "peer (s)" "peer/ours" "ours KB" "peer KB"
}
