#!/usr/bin/env python3
"""Writes the expected object listings for the PDF files in tests/data/pdf.

For every NAME.pdf it runs qpdf and writes
  NAME.xref.txt     qpdf --show-xref, one line per object number (where qpdf
                    lists several generations of one number, the newest one,
                    which is the one a reader resolves), sorted by number;
  NAME.streams.txt  "N SIZE CRC32" for every stream object qpdf can decode
                    (qpdf --show-object=N --filtered-stream-data),
                    except image codecs (DCT, JPX, CCITT, JBIG2), which
                    qpdf decodes and the reader does not.
Run from the repository root: python3 tests/tools/make_pdf_listings.py
"""
import pathlib
import re
import subprocess
import zlib

DATA = pathlib.Path(__file__).resolve().parent.parent / "data" / "pdf"
LINE = re.compile(r"^(\d+)/(\d+): (.*)$")


def qpdf(*args):
    return subprocess.run(["qpdf", *args], capture_output=True)


for pdf in sorted(DATA.glob("*.pdf")):
    listing = qpdf("--show-xref", str(pdf)).stdout.decode("latin-1")
    newest = {}
    for line in listing.splitlines():
        m = LINE.match(line)
        if not m:
            continue  # warnings about repairs
        num, gen = int(m.group(1)), int(m.group(2))
        if num not in newest or gen > newest[num][0]:
            newest[num] = (gen, line)
    (pdf.with_suffix(".xref.txt")).write_text("".join(newest[n][1] + "\n" for n in sorted(newest)))

    rows = []
    for num in sorted(newest):
        gen = newest[num][0]
        shown = qpdf(f"--show-object={num},{gen}", str(pdf)).stdout
        if not shown.startswith(b"Object is stream."):
            continue
        if re.search(rb"/(DCTDecode|JPXDecode|CCITTFaxDecode|JBIG2Decode)\b", shown):
            continue  # image codecs: the reader hands their data on undecoded
        data = qpdf(f"--show-object={num},{gen}", "--filtered-stream-data", str(pdf))
        if data.returncode != 0:
            continue  # a filter qpdf does not decode (images)
        rows.append(f"{num} {len(data.stdout)} {zlib.crc32(data.stdout):08x}\n")
    (pdf.with_suffix(".streams.txt")).write_text("".join(rows))
    print(pdf.name, len(newest), "objects,", len(rows), "streams")
