# WordPerfect: quillmark extract against wpd2text (libwpd-tools) on a public
# sample and on large documents built by repeating the document area of a
# 5.1 and a 6.x sample (the header's end offset is moved to match).
CORPUS=${CORPUS:-../shared/corpus}
DIR=$CORPUS/public/wordperfect
small=$DIR/tika_testWordPerfect_5_1.wp
large5=/tmp/quillmark-bench-large.wp
large6=/tmp/quillmark-bench-large.wpd
repeat_document_area() {  # SOURCE TARGET COPIES
    python3 - "$1" "$2" "$3" <<'PY'
import struct, sys
src, dst, copies = sys.argv[1], sys.argv[2], int(sys.argv[3])
data = open(src, "rb").read()
start = struct.unpack_from("<I", data, 4)[0]
major = data[10]
end = len(data) if major == 0 else min(struct.unpack_from("<I", data, 20)[0], len(data))
out = bytearray(data[:end]) + data[start:end] * (copies - 1)
if major != 0:
    struct.pack_into("<I", out, 20, len(out))
open(dst, "wb").write(out)
PY
}
[ -s "$large5" ] || [ ! -f "$small" ] || repeat_document_area "$small" "$large5" 2000
[ -s "$large6" ] || [ ! -f "$DIR/testWordPerfect_6_61.wpd" ] || repeat_document_area "$DIR/testWordPerfect_6_61.wpd" "$large6" 8000
[ -f "$small" ] && bench_compare "wordperfect 5.1 small ($(stat -c %s "$small") B)" 5 \
    "$QUILLMARK extract $small" "wpd2text $small"
[ -s "$large5" ] && bench_compare "wordperfect 5.1 large ($(stat -c %s "$large5") B)" 3 \
    "$QUILLMARK extract $large5" "wpd2text $large5"
[ -s "$large6" ] && bench_compare "wordperfect 6.x large ($(stat -c %s "$large6") B)" 3 \
    "$QUILLMARK extract $large6" "wpd2text $large6"
