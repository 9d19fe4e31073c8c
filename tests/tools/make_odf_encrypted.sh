#!/bin/sh
# Makes the LibreOffice-written OpenDocument test files in tests/data/odf:
# password-protected packages (password "secret") with AES-256 (ODF 1.2
# format) and Blowfish (ODF 1.0/1.1 format), and flat single-XML copies.
# Needs soffice (LibreOffice 7.4 wrote the checked-in files). Run from the
# repository root; writes into a temporary directory, then copies.
set -e
work=$(mktemp -d)
export HOME=$work/home
mkdir -p "$HOME" "$work/profile/user/basic/Standard"
printf 'Secret paragraph one\nSecond secret line\n' > "$work/plain.txt"
printf 'Name,Value\nalpha,1\nbeta,2\n' > "$work/sheet.csv"
so() { soffice --headless -env:UserInstallation=file://$work/profile "$@"; }
so --convert-to odt --outdir "$work" "$work/plain.txt"
so --convert-to ods --outdir "$work" "$work/sheet.csv"
so --convert-to fodt --outdir "$work" "$work/plain.odt"
so --convert-to fods --outdir "$work" "$work/sheet.ods"
# A Basic macro stores a copy with a password; the ODF version setting
# (2 = 1.0/1.1, 4 = 1.2) selects Blowfish or AES.
cat > "$work/profile/user/basic/Standard/Module1.xba" <<'XBA'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE script:module PUBLIC "-//OpenOffice.org//DTD OfficeDocument 1.0//EN" "module.dtd">
<script:module xmlns:script="http://openoffice.org/2000/script" script:name="Module1" script:language="StarBasic">
Sub Enc(inUrl As String, outUrl As String, pw As String, filt As String, ver As Integer)
  Dim cp As Object, args(0) As New com.sun.star.beans.PropertyValue, acc As Object
  cp = createUnoService(&quot;com.sun.star.configuration.ConfigurationProvider&quot;)
  args(0).Name = &quot;nodepath&quot;
  args(0).Value = &quot;/org.openoffice.Office.Common/Save/ODF&quot;
  acc = cp.createInstanceWithArguments(&quot;com.sun.star.configuration.ConfigurationUpdateAccess&quot;, args())
  acc.DefaultVersion = ver
  acc.commitChanges()
  Dim la(0) As New com.sun.star.beans.PropertyValue
  la(0).Name = &quot;Hidden&quot;
  la(0).Value = True
  Dim doc As Object
  doc = StarDesktop.loadComponentFromURL(inUrl, &quot;_blank&quot;, 0, la())
  Dim sa(1) As New com.sun.star.beans.PropertyValue
  sa(0).Name = &quot;FilterName&quot;
  sa(0).Value = filt
  sa(1).Name = &quot;Password&quot;
  sa(1).Value = pw
  doc.storeToURL(outUrl, sa())
  doc.close(True)
End Sub
</script:module>
XBA
so "macro:///Standard.Module1.Enc(\"file://$work/plain.odt\",\"file://$work/aes.odt\",\"secret\",\"writer8\",4)"
so "macro:///Standard.Module1.Enc(\"file://$work/plain.odt\",\"file://$work/blowfish.odt\",\"secret\",\"writer8\",2)"
so "macro:///Standard.Module1.Enc(\"file://$work/sheet.ods\",\"file://$work/aes.ods\",\"secret\",\"calc8\",4)"
d=tests/data/odf
cp "$work/aes.odt" $d/lo_aes256_secret.odt
cp "$work/blowfish.odt" $d/lo_blowfish_secret.odt
cp "$work/aes.ods" $d/lo_aes256_secret.ods
cp "$work/plain.fodt" $d/lo_flat.fodt
cp "$work/sheet.fods" $d/lo_flat.fods
cp "$work/plain.txt" $d/lo_secret.truth.txt
cp "$work/sheet.csv" $d/lo_sheet.truth.txt
rm -rf "$work"
