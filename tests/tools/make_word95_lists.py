#!/usr/bin/env python3
"""Writes small Word 6/95 documents with autonumbered paragraphs.

Word 95 keeps a paragraph's numbering in its own properties: sprmPNLvlAnm
(the kind: 10 numbered, 11 bulleted, 12 skipped, 1..9 outline level) and
sprmPAnld (the 52-byte autonumber level descriptor: number format, text
before and after the number, start value, font). Current office suites read
these files but no longer write them, so the test documents are made here:
the "WordDocument" stream (FIB, 8-bit text, character and paragraph property
pages, style sheet, font table, section table) inside a compound file.

    make_word95_lists.py OUTDIR
"""
import os
import struct
import sys

SECTOR = 512
END, FREE, FATSECT = 0xFFFFFFFE, 0xFFFFFFFF, 0xFFFFFFFD


def compound(streams):
    """A version 3 compound file holding the given root streams, each padded
    past the mini-stream cutoff so that only the FAT is needed."""
    data, entries, sector = b"", [], 0
    for name, body in streams:
        body = body + b"\0" * (max(4096, len(body)) - len(body))
        body += b"\0" * (-len(body) % SECTOR)
        n = len(body) // SECTOR
        entries.append((name, sector, len(body), n))
        data += body
        sector += n
    dir_sector, fat_sector = sector, sector + 1
    fat = []
    for _, start, _, n in entries:
        fat += [start + i + 1 for i in range(n - 1)] + [END]
    fat += [END, FATSECT]
    fat += [FREE] * (128 - len(fat))
    assert len(fat) == 128

    def entry(name, kind, child, right, start, size):
        raw = name.encode("utf-16-le") + b"\0\0" if name else b""
        return (raw.ljust(64, b"\0") + struct.pack("<HBB3I", len(raw), kind, 1, FREE, right, child) +
                b"\0" * 36 + struct.pack("<IQ", start, size))
    dirs = entry("Root Entry", 5, 1, FREE, END, 0)
    for i, (name, start, size, _) in enumerate(entries):
        dirs += entry(name, 2, FREE, i + 2 if i + 1 < len(entries) else FREE, start, size)
    while len(dirs) < SECTOR:
        dirs += entry("", 0, FREE, FREE, FREE, 0)
    header = (b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + b"\0" * 16 +
              struct.pack("<HHHHH", 0x3E, 3, 0xFFFE, 9, 6) + b"\0" * 6 +
              struct.pack("<IIIIIIIII", 0, 1, dir_sector, 0, 4096, END, 0, END, 0) +
              struct.pack("<I", fat_sector) + struct.pack("<I", FREE) * 108)
    assert len(header) == SECTOR
    return header + data + dirs + struct.pack("<128I", *fat)


def anld(nfc, before=b"", after=b"", start=1, ftc=0, prev=False, restart_hdn=False):
    rgch = (before + after).ljust(32, b"\0")
    flags = 0x04 if prev else 0
    return (struct.pack("<BBBBBBHHHhh", nfc, len(before), len(after), flags, 0, 0, ftc, 24,
                        start, 360, 0) + bytes([0, 0, 1 if restart_hdn else 0, 0]) + rgch)


def grpprl(kind=None, level=None, istd_sprm=False):
    out = b""
    if istd_sprm:
        out += b"\x02\x00\x00"
    if level is not None:
        out += bytes([12, 52]) + level
    if kind is not None:
        out += bytes([13, kind])
    return out


def fkp_pages(runs, istds):
    """Paragraph property pages: runs are (fcStart, fcEnd, grpprl)."""
    pages, i = [], 0
    while i < len(runs):
        page = bytearray(SECTOR)
        fcs, bxs, top, count = [], [], SECTOR - 1, 0
        while i < len(runs):
            fc0, fc1, g = runs[i]
            papx = struct.pack("<H", istds[i]) + g
            if len(papx) % 2:
                papx += b"\0"
            body = bytes([len(papx) // 2]) + papx
            at = (top - len(body)) & ~1
            if 4 * (count + 2) + 7 * (count + 1) > at:
                break
            page[at:at + len(body)] = body
            top = at
            fcs.append(fc0)
            bxs.append(at // 2)
            count += 1
            i += 1
        fcs.append(runs[i - 1][1])
        struct.pack_into("<%dI" % len(fcs), page, 0, *fcs)
        for k, b in enumerate(bxs):
            page[4 * len(fcs) + 7 * k] = b
        page[SECTOR - 1] = count
        pages.append(((fcs[0], fcs[-1]), bytes(page)))
    return pages


def style_sheet(styles):
    """styles: (name, istdBase, grpprl); the first is Normal."""
    stshi = struct.pack("<7H", len(styles), 8, 1, 0, 0, 0, 0)
    out = struct.pack("<H", len(stshi)) + stshi
    for sti, (name, base, g) in enumerate(styles):
        std = struct.pack("<HHHH", sti if sti < 10 else 0xFFE, 1 | base << 4, 2 | 0 << 4, 0)
        std += bytes([len(name)]) + name + b"\0"
        if len(std) % 2:
            std += b"\0"
        upx = struct.pack("<H", 0) + g
        std += struct.pack("<H", len(upx)) + upx
        if len(std) % 2:
            std += b"\0"
        std += struct.pack("<H", 0)
        out += struct.pack("<H", len(std)) + std
    return out


def font_table(names):
    out = b""
    for name, chs in names:
        ffn = bytes([0x04 | 1 << 4]) + struct.pack("<HBB", 400, chs, 0) + name + b"\0"
        out += bytes([len(ffn)]) + ffn
    return struct.pack("<H", len(out) + 2) + out


def word95(paragraphs, styles=(("Normal", 0xFFF, b""),)):
    """paragraphs: (text, grpprl, istd)."""
    text = b"".join(t + b"\r" for t, _, _ in paragraphs)
    fc_min = 768
    runs, at = [], fc_min
    for t, g, _ in paragraphs:
        runs.append((at, at + len(t) + 1, g))
        at += len(t) + 1
    fc_mac = at
    body = bytearray(fc_min) + text
    body += b"\0" * (-len(body) % SECTOR)
    chp_page = bytearray(SECTOR)
    struct.pack_into("<II", chp_page, 0, fc_min, fc_mac)
    chp_page[SECTOR - 1] = 1
    pn_chp = len(body) // SECTOR
    body += chp_page
    pap = fkp_pages(runs, [i for _, _, i in paragraphs])
    pn_pap = len(body) // SECTOR
    for _, page in pap:
        body += page

    tables = {}

    def put(name, blob):
        tables[name] = (len(body), len(blob))
        body.extend(blob)
    put("stsh", style_sheet([(n.encode(), b, g) for n, b, g in styles]))
    put("chpx", struct.pack("<IIH", fc_min, fc_mac, pn_chp))
    fcs = [r[0] for r, _ in pap] + [pap[-1][0][1]]
    put("papx", struct.pack("<%dI" % len(fcs), *fcs) +
        struct.pack("<%dH" % len(pap), *range(pn_pap, pn_pap + len(pap))))
    put("sed", struct.pack("<IIHIHI", 0, len(text), 0, 0xFFFFFFFF, 0, 0))
    put("ffn", font_table([(b"Times New Roman", 0), (b"Symbol", 2), (b"Arial", 0)]))
    body.extend(b"\0" * 4)

    fib = bytearray(fc_min)
    struct.pack_into("<HHHHH", fib, 0, 0xA5DC, 104, 0x6027, 0x0409, 0)
    struct.pack_into("<H", fib, 12, 0x65)
    struct.pack_into("<III", fib, 24, fc_min, fc_mac, len(body))
    struct.pack_into("<I", fib, 52, len(text))
    for name, off in (("stsh", 96), ("sed", 136), ("chpx", 184), ("papx", 192), ("ffn", 208)):
        struct.pack_into("<II", fib, off, *tables[name])
    struct.pack_into("<II", fib, 88, *tables["stsh"])
    struct.pack_into("<HHHH", fib, 394, pn_chp, pn_pap, 1, len(pap))
    body[:fc_min] = fib
    return compound([("WordDocument", bytes(body))])


NUM, BULLET, SKIP = 10, 11, 12
DEC, UROMAN, LROMAN, ULETTER, LLETTER, ORD, BUL = 0, 1, 2, 3, 4, 5, 23


def numbered():
    def p(text, kind=None, level=None, istd=0):
        return (text, grpprl(kind, level), istd)
    dec = anld(DEC, after=b".")
    return [
        p(b"Numbered paragraphs"),
        p(b"First decimal", NUM, dec), p(b"Second decimal", NUM, dec), p(b"Third decimal", NUM, dec),
        p(b"Plain paragraph"),
        p(b"Roman one", NUM, anld(UROMAN, b"(", b")")), p(b"Roman two", NUM, anld(UROMAN, b"(", b")")),
        p(b"Between"),
        p(b"Lower roman from three", NUM, anld(LROMAN, after=b":", start=3)),
        p(b"Next lower roman", NUM, anld(LROMAN, after=b":", start=3)),
        p(b"Skipped one", SKIP, anld(LROMAN, after=b":", start=3)),
        p(b"After the skipped one", NUM, anld(LROMAN, after=b":", start=3)),
        p(b"Between again"),
        p(b"Upper letter a", NUM, anld(ULETTER, b"Item ", b" -")),
        p(b"Upper letter b", NUM, anld(ULETTER, b"Item ", b" -")),
        p(b"Format changes in the run", NUM, anld(LLETTER, after=b")")),
        p(b"Plain again"),
        p(b"Lower letter", NUM, anld(LLETTER, after=b")", start=25)),
        p(b"Lower letter next", NUM, anld(LLETTER, after=b")", start=25)),
        p(b"Lower letter third", NUM, anld(LLETTER, after=b")", start=25)),
        p(b"Plain once more"),
        p(b"Ordinal", NUM, anld(ORD, start=21)),
        p(b"Ordinal next", NUM, anld(ORD, start=21)),
        p(b"Outline level", 1, anld(DEC, after=b".")),
        p(b"Numbered by its style", istd=1),
        p(b"Numbered by its style too", istd=1),
        p(b"End of numbered"),
    ]


def bullets():
    def p(text, kind=None, level=None):
        return (text, grpprl(kind, level), 0)
    sym = anld(BUL, b"\xb7", ftc=1)
    dash = anld(BUL, b"-", ftc=0)
    return [
        p(b"Bulleted paragraphs"),
        p(b"Symbol bullet one", BULLET, sym), p(b"Symbol bullet two", BULLET, sym),
        p(b"Plain"),
        p(b"Dash bullet", BULLET, dash), p(b"Dash bullet two", BULLET, dash),
        p(b"Numbered after bullets", NUM, anld(DEC, after=b".", start=5)),
        p(b"Numbered next", NUM, anld(DEC, after=b".", start=5)),
        p(b"The end"),
    ]


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    styles = (("Normal", 0xFFF, b""), ("List Number", 0, grpprl(NUM, anld(DEC, b"[", b"]"))))
    for name, paras in (("word95_numbered.doc", numbered()), ("word95_bullets.doc", bullets())):
        with open(os.path.join(out, name), "wb") as f:
            f.write(word95(paras, styles))


if __name__ == "__main__":
    main()
