#!/usr/bin/env python3
"""Writes the expected VBA module sources for tests/word/vba_real_test.cpp.

The expected sources come from LibreOffice's own VBA import, an independent
reader used only to produce this test data: each document is converted to
.odt (soffice --headless --convert-to odt), which keeps every module as
Basic/<library>/<module>.xml. Their text, XML-decoded, is the module source
without its "Attribute ..." lines (the module's and its procedures') and with two lines LibreOffice adds at
the top ("Rem Attribute VBA_ModuleType=..." and "Option VBASupport 1"); those
two are dropped here, so the files hold what both readers have in common.

Output, per document, NAME.modules.txt: for each module (sorted by name) a
line "@@ MODULE" and then its source lines (LF line ends).

usage: tests/tools/make_vba_expected.py OUT_DIR DOCUMENT...
"""
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zipfile

SCRIPT_NS = "{http://openoffice.org/2000/script}"


def modules_of(odt):
    found = {}
    with zipfile.ZipFile(odt) as z:
        for name in z.namelist():
            if not name.startswith("Basic/") or not name.endswith(".xml"):
                continue
            if name.endswith("script-lb.xml") or name.endswith("script-lc.xml"):
                continue
            root = ET.fromstring(z.read(name))
            module = root.get(SCRIPT_NS + "name")
            lines = (root.text or "").replace("\r\n", "\n").replace("\r", "\n").split("\n")
            while lines and (lines[0].startswith("Rem Attribute VBA_ModuleType") or
                             lines[0] == "Option VBASupport 1" or lines[0].startswith("Option ClassModule")):
                lines.pop(0)
            while lines and lines[-1] == "":
                lines.pop()
            found[module] = lines
    return found


def main():
    out_dir = sys.argv[1]
    for doc in sys.argv[2:]:
        with tempfile.TemporaryDirectory() as tmp:
            subprocess.run(["soffice", "-env:UserInstallation=file://" + tmp + "/profile", "--headless",
                            "--convert-to", "odt", "--outdir", tmp, doc],
                           check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            odt = os.path.join(tmp, re.sub(r"\.[^.]*$", ".odt", os.path.basename(doc)))
            modules = modules_of(odt)
        target = os.path.join(out_dir, os.path.basename(doc) + ".modules.txt")
        with open(target, "w", encoding="utf-8", newline="\n") as f:
            for name in sorted(modules):
                f.write("@@ " + name + "\n")
                for line in modules[name]:
                    f.write(line + "\n")
        print(target, len(modules), "modules")


if __name__ == "__main__":
    main()
