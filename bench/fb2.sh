# FictionBook: quillmark extract against calibre's ebook-convert (txt output):
# a small calibre-written book, and a 10 MB windows-1251 book made by
# repeating the sections of a public one.
CORPUS=${CORPUS:-../shared/corpus}
small=$CORPUS/generated/basic_3.fb2
large=/tmp/quillmark-bench-large.fb2
source_book=$CORPUS/public/fb2/fbreaderj_karenina.fb2
if [ ! -s "$large" ] && [ -f "$source_book" ]; then
    python3 - "$source_book" "$large" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
start = data.index(b'<body>') + len(b'<body>')
end = data.index(b'</body>')
sections = data[start:end]
copies = (10 * 1024 * 1024) // len(sections) + 1
open(sys.argv[2], 'wb').write(data[:start] + sections * copies + data[end:])
PY
fi
[ -f "$small" ] && bench_compare "fb2 small ($(stat -c %s "$small") B)" 5 \
    "$QUILLMARK extract $small" "ebook-convert $small /tmp/quillmark-bench-out.txt"
[ -s "$large" ] && bench_compare "fb2 large ($(stat -c %s "$large") B)" 3 \
    "$QUILLMARK extract $large" "ebook-convert $large /tmp/quillmark-bench-out.txt"
