# Password-protected Word documents. No peer tool opens them, so the "peer"
# column is the reading of the same document unencrypted (the ratio is the
# cost of deciphering), and catdoc on the plain file is shown for scale.
# The large encrypted .doc is written by LibreOffice (RC4, password "secret")
# from the perf corpus document; the small ones are the public samples.
CORPUS=${CORPUS:-../shared/corpus}
plain=$CORPUS/perf/huge_11.doc
large=/tmp/quillmark-bench-huge_11-rc4.doc
if command -v soffice >/dev/null 2>&1 && [ ! -s "$large" ] && [ -f "$plain" ]; then
    profile=/tmp/quillmark-bench-lo-profile
    mkdir -p "$profile/user/basic/Standard"
    cat >"$profile/user/basic/Standard/Module1.xba" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE script:module PUBLIC "-//OpenOffice.org//DTD OfficeDocument 1.0//EN" "module.dtd">
<script:module xmlns:script="http://openoffice.org/2000/script" script:name="Module1" script:language="StarBasic">
Sub Enc
  Dim a(0) As New com.sun.star.beans.PropertyValue
  a(0).Name = &quot;Hidden&quot; : a(0).Value = True
  doc = StarDesktop.loadComponentFromURL(&quot;file://$(realpath "$plain")&quot;, &quot;_blank&quot;, 0, a())
  Dim p(1) As New com.sun.star.beans.PropertyValue
  p(0).Name = &quot;FilterName&quot; : p(0).Value = &quot;MS Word 97&quot;
  p(1).Name = &quot;Password&quot; : p(1).Value = &quot;secret&quot;
  doc.storeToURL(&quot;file://$large&quot;, p())
  doc.close(True)
End Sub
</script:module>
EOF
    printf '%s\n' '<?xml version="1.0" encoding="UTF-8"?>' \
        '<!DOCTYPE library:library PUBLIC "-//OpenOffice.org//DTD OfficeDocument 1.0//EN" "library.dtd">' \
        '<library:library xmlns:library="http://openoffice.org/2000/library" library:name="Standard" library:readonly="false" library:passwordprotected="false">' \
        ' <library:element library:name="Module1"/>' '</library:library>' >"$profile/user/basic/Standard/script.xlb"
    timeout 300 soffice -env:UserInstallation="file://$profile" --headless "macro:///Standard.Module1.Enc" >/dev/null 2>&1
fi
if [ -s "$large" ]; then
    bench_compare "doc RC4 huge_11 ($(stat -c %s "$large") B) vs plain" 3 \
        "$QUILLMARK extract --password secret $large" "$QUILLMARK extract $plain"
    bench_compare "doc RC4 huge_11 vs catdoc on plain" 3 \
        "$QUILLMARK extract --password secret $large" "catdoc $plain"
fi
data=tests/data
bench_compare "doc CryptoAPI sample vs catdoc (refuses)" 5 \
    "$QUILLMARK extract --password password $data/word/poi_password_password_cryptoapi.doc" \
    "catdoc $data/word/poi_password_password_cryptoapi.doc"
bench_compare "docx agile (100000 SHA-1 rounds) vs docx2txt (refuses)" 5 \
    "$QUILLMARK extract --password pass $data/docx/poi_bug53475-password-is-pass.docx" \
    "docx2txt $data/docx/poi_bug53475-password-is-pass.docx"
bench_compare "docx standard (50000 SHA-1 rounds) vs docx2txt (refuses)" 5 \
    "$QUILLMARK extract --password tika $data/docx/tika_testWORD_protected_passtika.docx" \
    "docx2txt $data/docx/tika_testWORD_protected_passtika.docx"
