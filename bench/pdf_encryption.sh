# PDF security handler: the large perf PDF encrypted by qpdf (RC4 128-bit and
# AES-256, empty user password). `quillmark pdf-objects --check` (fetch every
# object, decrypt and decode every stream) on the encrypted copies against
# `qpdf --check` on the same copies, against `qpdf --decrypt`, and against our
# own run on a plain copy qpdf wrote the same way (the cost of decryption).
CORPUS=${CORPUS:-../shared/corpus}
big=$CORPUS/perf/huge_11.pdf
rc4=/tmp/quillmark-bench-huge_11.rc4_128.pdf
aes=/tmp/quillmark-bench-huge_11.aes_256.pdf
plain=/tmp/quillmark-bench-huge_11.plain.pdf
if [ -f "$big" ] && command -v qpdf >/dev/null 2>&1; then
    [ -s "$rc4" ] || qpdf --allow-weak-crypto --encrypt "" owner 128 --use-aes=n -- "$big" "$rc4" >/dev/null 2>&1 || rm -f "$rc4"
    [ -s "$plain" ] || qpdf "$big" "$plain" >/dev/null 2>&1 || rm -f "$plain"
    [ -s "$aes" ] || qpdf --encrypt "" owner 256 -- "$big" "$aes" >/dev/null 2>&1 || rm -f "$aes"
fi
if [ -s "$rc4" ] && [ -s "$aes" ] && [ -s "$plain" ]; then
    bench_compare "pdf rc4-128 check vs qpdf ($(stat -c %s "$rc4") B)" 5 \
        "$QUILLMARK pdf-objects --check $rc4" "qpdf --check $rc4"
    bench_compare "pdf aes-256 check vs qpdf ($(stat -c %s "$aes") B)" 5 \
        "$QUILLMARK pdf-objects --check $aes" "qpdf --check $aes"
    bench_compare "pdf aes-256 check vs qpdf --decrypt" 5 \
        "$QUILLMARK pdf-objects --check $aes" "qpdf --decrypt $aes /tmp/quillmark-bench-decrypted.pdf"
    bench_compare "pdf rc4-128 check vs ours on plain" 5 \
        "$QUILLMARK pdf-objects --check $rc4" "$QUILLMARK pdf-objects --check $plain"
    bench_compare "pdf aes-256 check vs ours on plain" 5 \
        "$QUILLMARK pdf-objects --check $aes" "$QUILLMARK pdf-objects --check $plain"
fi
