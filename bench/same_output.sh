#!/usr/bin/env bash
# Compares two builds of the command byte for byte on every document of the
# shared corpus and of tests/data whose extension is in EXTS (default the Word
# ones: "doc dot docx docm"; EXTS="pdf" for the PDF reader): plain
# text, HTML, RTF, every part list, UTF-16 output and the metadata, with the
# exit status and the error message. Used to check that a speed change leaves
# the output as it was.
#   bench/same_output.sh OLD_BINARY NEW_BINARY [DIR...]
# Prints one line per difference and a summary; exit status 1 on any difference.
set -u
old=$1 new=$2
shift 2
dirs=("$@")
if [ ${#dirs[@]} -eq 0 ]; then
    c=${CORPUS:-/work/shared/corpus}
    dirs=("$c/generated" "$c/public" "$c/perf" tests/data)
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# run BINARY OUTPUT_PREFIX ARGS...: stdout, stderr and status into files
run() {
    local bin=$1 out=$2
    shift 2
    "$bin" "$@" >"$out.out" 2>"$out.err"
    echo $? >"$out.rc"
    # Error messages name the binary's path only through "quillmark:".
}

# The RTF prologue carries the time of the run (\creatim ... \min); the rest
# of it is compared.
strip_time() { sed -E 's/\\creatim[^}]*\}/\\creatim}/' "$1" >"$1.t" && mv "$1.t" "$1"; }

read -r -a exts <<<"${EXTS:-doc dot docx docm}"
match=()
for e in "${exts[@]}"; do
    [ ${#match[@]} -eq 0 ] || match+=(-o)
    match+=(-iname "*.$e")
done

files=0 runs=0 diffs=0
while IFS= read -r -d '' f; do
    files=$((files + 1))
    # Each variant: a label and the arguments.
    variants=("text|extract -q"
              "html|extract -q --format html"
              "rtf|extract -q --format rtf"
              "crlf|extract -q --crlf"
              "max|extract -q --max-length 1000")
    for part in footnotes headers footers annotations endnotes textboxes macros; do
        variants+=("$part|extract -q --part $part")
    done
    variants+=("info|info" "ls|ls --read")
    for v in "${variants[@]}"; do
        label=${v%%|*}
        read -r -a args <<<"${v#*|}"
        run "$old" "$tmp/a" "${args[@]}" "$f"
        run "$new" "$tmp/b" "${args[@]}" "$f"
        if [ "$label" = rtf ]; then strip_time "$tmp/a.out"; strip_time "$tmp/b.out"; fi
        runs=$((runs + 1))
        for ext in out err rc; do
            if ! cmp -s "$tmp/a.$ext" "$tmp/b.$ext"; then
                echo "DIFFERENT $label ($ext): $f"
                diffs=$((diffs + 1))
                break
            fi
        done
    done
    # UTF-16 to a file
    "$old" extract -q --utf16 -o "$tmp/a.u16" "$f" >/dev/null 2>&1
    "$new" extract -q --utf16 -o "$tmp/b.u16" "$f" >/dev/null 2>&1
    runs=$((runs + 1))
    if ! cmp -s "$tmp/a.u16" "$tmp/b.u16"; then echo "DIFFERENT utf16: $f"; diffs=$((diffs + 1)); fi
    rm -f "$tmp/a.u16" "$tmp/b.u16"
done < <(find "${dirs[@]}" -type f \( "${match[@]}" \) -print0 | sort -z)
echo "$files files, $runs comparisons, $diffs different"
[ "$diffs" -eq 0 ]
