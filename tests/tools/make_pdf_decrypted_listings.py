#!/usr/bin/env python3
"""Writes the expected decryption results for tests/data/pdf/encrypted.

passwords.tsv there names every file with its user password and its owner
password ("-" when not published). For every file qpdf opens with the user
password, this writes
  NAME.key.txt      the file key qpdf derives (--show-encryption-key), hex;
  NAME.streams.txt  "N SIZE CRC32" of the decrypted, decoded data of every
                    stream object (image codecs left out, as in
                    make_pdf_listings.py);
  NAME.info.txt     "KEY HEX" for each string of the document information
                    dictionary, decrypted (the bytes of the string, before
                    any text decoding).
Run from the repository root:
  /usr/bin/python3 tests/tools/make_pdf_decrypted_listings.py
"""
import pathlib
import re
import subprocess
import zlib

DATA = pathlib.Path(__file__).resolve().parent.parent / "data" / "pdf" / "encrypted"
LINE = re.compile(r"^(\d+)/(\d+): (.*)$")


def qpdf(password, *args):
    return subprocess.run(["qpdf", f"--password={password}", *args], capture_output=True)


def literal(text, i):
    """Decodes the literal string starting at text[i] == '('; returns bytes."""
    out = bytearray()
    depth = 0
    escapes = {ord("n"): 10, ord("r"): 13, ord("t"): 9, ord("b"): 8, ord("f"): 12}
    while i < len(text):
        c = text[i]
        i += 1
        if c == 0x5C:  # backslash
            e = text[i]
            i += 1
            if e in escapes:
                out.append(escapes[e])
            elif 0x30 <= e <= 0x37:
                v = e - 0x30
                for _ in range(2):
                    if i < len(text) and 0x30 <= text[i] <= 0x37:
                        v = v * 8 + text[i] - 0x30
                        i += 1
                out.append(v & 0xFF)
            elif e in (10, 13):
                if e == 13 and i < len(text) and text[i] == 10:
                    i += 1
            else:
                out.append(e)
            continue
        if c == 0x28:
            depth += 1
            if depth == 1:
                continue
        if c == 0x29:
            depth -= 1
            if depth == 0:
                break
        out.append(c)
    return bytes(out)


def info_strings(password, pdf):
    trailer = qpdf(password, "--show-object=trailer", str(pdf)).stdout
    m = re.search(rb"/Info (\d+) (\d+) R", trailer)
    if not m:
        return []
    shown = qpdf(password, f"--show-object={int(m.group(1))},{int(m.group(2))}", str(pdf)).stdout
    rows = []
    for k in re.finditer(rb"/([A-Za-z]+) ([(<])", shown):
        if k.group(2) == b"(":
            value = literal(shown, k.start(2))
        elif shown[k.start(2) + 1:k.start(2) + 2] == b"<":
            continue  # a nested dictionary
        else:
            end = shown.index(b">", k.start(2))
            value = bytes.fromhex(re.sub(rb"\s", b"", shown[k.start(2) + 1:end]).decode())
        rows.append(f"{k.group(1).decode()} {value.hex()}\n")
    return rows


for line in (DATA / "passwords.tsv").read_text().splitlines():
    if line.startswith("#") or not line:
        continue
    name, user, _owner = line.split("\t")
    pdf = DATA / name
    base = pdf.with_suffix("")
    shown = qpdf(user, "--show-encryption-key", "--show-encryption", str(pdf)).stdout.decode("latin-1")
    key = re.search(r"Encryption key = ([0-9a-f]+)", shown)
    (base.parent / (base.name + ".key.txt")).write_text((key.group(1) if key else "") + "\n")

    listing = qpdf(user, "--show-xref", str(pdf)).stdout.decode("latin-1")
    newest = {}
    for row in listing.splitlines():
        m = LINE.match(row)
        if m:
            num, gen = int(m.group(1)), int(m.group(2))
            if num not in newest or gen > newest[num]:
                newest[num] = gen
    rows = []
    for num in sorted(newest):
        gen = newest[num]
        obj = qpdf(user, f"--show-object={num},{gen}", str(pdf)).stdout
        if not obj.startswith(b"Object is stream."):
            continue
        if re.search(rb"/(DCTDecode|JPXDecode|CCITTFaxDecode|JBIG2Decode)\b", obj):
            continue
        data = qpdf(user, f"--show-object={num},{gen}", "--filtered-stream-data", str(pdf))
        if data.returncode != 0:
            continue
        rows.append(f"{num} {len(data.stdout)} {zlib.crc32(data.stdout):08x}\n")
    (base.parent / (base.name + ".streams.txt")).write_text("".join(rows))
    info = info_strings(user, pdf)
    (base.parent / (base.name + ".info.txt")).write_text("".join(info))
    print(name, len(rows), "streams,", len(info), "info strings, key", key.group(1) if key else "-")
