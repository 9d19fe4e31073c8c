# VBA macros: quillmark macros against LibreOffice's VBA import (converting
# the document to .odt, which keeps every module's source) on the same
# documents, whole-process time. LibreOffice does far more (it loads and
# writes the whole document), so the ratio bounds the listing's cost only.
CORPUS=${CORPUS:-../shared/corpus}
for f in $CORPUS/public/word97/tika_testWORD_macros.doc $CORPUS/public/docx/tika_testWORD_macros.docm; do
    [ -f "$f" ] && bench_compare "vba $(basename "$f") vs soffice ($(stat -c %s "$f") B)" 3 \
        "$QUILLMARK macros $f" \
        "soffice -env:UserInstallation=file:///tmp/quillmark-bench-lo --headless --convert-to odt --outdir /tmp/quillmark-bench-lo-out $f"
done
