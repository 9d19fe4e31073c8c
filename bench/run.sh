#!/usr/bin/env bash
# Times quillmark against the peer tools on the same files and prints the
# ratio (peer time / our time; above 1 means we are faster). Each format has
# its own bench/<format>.sh; this runs them all, or the ones named.
#   bench/run.sh            all formats
#   bench/run.sh palmdoc    one format
set -u
cd "$(dirname "$0")/.."
. bench/lib.sh
command -v bc >/dev/null || { echo "bench needs bc (apt-get install -y bc)"; exit 1; }
[ -x "$QUILLMARK" ] || { echo "build first: make build"; exit 1; }
bench_header
if [ $# -gt 0 ]; then scripts=(); for n in "$@"; do scripts+=("bench/$n.sh"); done
else scripts=(bench/*.sh); fi
for s in "${scripts[@]}"; do
    case $s in */lib.sh|*/run.sh) continue ;; esac
    . "$s"
done
