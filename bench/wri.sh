# Write: quillmark extract against wps2text (libwps-tools) on the largest
# public .wri file and on a large Write file generated here from the perf
# corpus text (one paragraph per line, bold first words: many runs).
CORPUS=${CORPUS:-../shared/corpus}
small=$CORPUS/public/write/poi_MSWriteOld.wri
large=/tmp/quillmark-bench-large.wri
if [ ! -s "$large" ] && [ -f "$CORPUS/perf/huge_11.truth.txt" ]; then
python3 - "$CORPUS/perf/huge_11.truth.txt" "$large" <<'PY'
import struct, sys
lines = open(sys.argv[1], encoding="utf-8").read().split("\n")
text = "".join(l + "\r\n" for l in lines).encode("cp1252", "replace")
P = 128
def pages(runs, props):
    # runs: (end, prop index); props: blocks (length byte first) shared on a page
    out, i, first = b"", 0, 128
    while i < len(runs):
        page = bytearray(P)
        top = 127 - sum(len(b) for b in props)
        off, at = [], top
        for b in props:
            page[at:at + len(b)] = b; off.append(at - 4); at += len(b)
        n = 0
        while i < len(runs) and 4 + 6 * (n + 1) <= top:
            end, k = runs[i]
            struct.pack_into("<IH", page, 4 + 6 * n, end, off[k] if k >= 0 else 0xFFFF)
            n += 1; i += 1
        struct.pack_into("<I", page, 0, first); page[127] = n; first = runs[i - 1][0]
        out += bytes(page)
    return out
pos, chars, paras = 128, [], []
for l in lines:
    b = (l + "\r\n").encode("cp1252", "replace")
    word = b.find(b" ")
    if word > 0:
        chars.append((pos + word, 0))
    pos += len(b)
    chars.append((pos, -1)); paras.append((pos, -1))
body = bytearray(P) + text
body += bytes(-len(body) % P)
pnPara = len(body) // P + (len(pages(chars, [bytes([2, 0, 1])])) // P)
doc = body + pages(chars, [bytes([2, 0, 1])]) + pages(paras, [])
pnMac = len(doc) // P
hdr = struct.pack("<HHH8xIHHHHHH", 0xBE31, 0, 0xAB00, 128 + len(text), pnPara, pnMac, pnMac, pnMac, pnMac, pnMac)
doc[0:len(hdr)] = hdr
struct.pack_into("<H", doc, 96, pnMac)
open(sys.argv[2], "wb").write(doc)
PY
fi
[ -f "$small" ] && bench_compare "wri poi_MSWriteOld ($(stat -c %s "$small") B)" 9 \
    "$QUILLMARK extract $small" "wps2text $small"
[ -s "$large" ] && bench_compare "wri large generated ($(stat -c %s "$large") B)" 3 \
    "$QUILLMARK extract $large" "wps2text $large"
