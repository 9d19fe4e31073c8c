# Shared helpers for the benchmark scripts (sourced, not run).
# bench_compare LABEL RUNS "OUR COMMAND" "PEER COMMAND"
#   Runs each command RUNS times (output discarded), takes the median wall
#   time, and prints one row: label, ours (s), peer (s), peer/ours.

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
    printf '%-40s %10.4f %10.4f %9.1fx\n' "$label" "$t_ours" "$t_peer" "$(echo "$t_peer / $t_ours" | bc -l)"
}

bench_header() {
    printf '%-40s %10s %10s %10s\n' "benchmark" "ours (s)" "peer (s)" "peer/ours"
}
