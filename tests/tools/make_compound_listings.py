#!/usr/bin/python3
"""Writes the expected listing of compound files for compound_file_real_test.cpp.

The listings come from python3-olefile (Debian package), an independent reader
used only to produce this test data. For each file: every storage and stream
(recursive, path with '/'), each stream's size and SHA-256, and the summary
metadata the library keeps, read from the property sets.

usage: tests/tools/make_compound_listings.py CORPUS_DIR OUT_DIR RELATIVE_PATH...
"""
import datetime
import hashlib
import os
import sys

import olefile

SUMMARY = {2: "Title", 3: "Subject", 4: "Author", 5: "Keywords", 6: "Comments",
           7: "Template", 8: "LastAuthor", 9: "RevNumber", 18: "AppName",
           14: "PageCount", 15: "WordCount", 16: "CharCount",
           10: "EditTime", 11: "LastPrinted", 12: "Created", 13: "LastSaved"}
DOC_SUMMARY = {2: "Category", 3: "PresentationTarget", 14: "Manager", 15: "Company",
               4: "ByteCount", 5: "LineCount", 6: "ParagraphCount", 7: "SlideCount",
               8: "NoteCount", 9: "HiddenSlideCount", 10: "MMClipCount", 17: "CharCount2"}
STRINGS = {"Title", "Subject", "Author", "Keywords", "Comments", "Template", "LastAuthor",
           "RevNumber", "AppName", "Category", "PresentationTarget", "Manager", "Company"}
DATES = {"LastPrinted", "Created", "LastSaved"}


def escape(name):
    out = []
    for ch in name:
        if ord(ch) < 0x20 or ch in "\\/\t" or ord(ch) == 0x7F:
            out.append("\\%03o" % ord(ch))
        else:
            out.append(ch)
    return "".join(out)


def decode(value, codepage):
    if isinstance(value, str):
        return value.split("\x00")[0]
    cp = codepage & 0xFFFF if codepage is not None else 1252
    codec = {1200: "utf-16-le", 65001: "utf-8"}.get(cp, "cp%d" % cp)
    try:
        return value.split(b"\x00")[0].decode(codec, "replace")
    except LookupError:
        return value.split(b"\x00")[0].decode("cp1252", "replace")


def metadata(ole, stream, mapping, out):
    props = ole.getproperties(stream, convert_time=False)
    codepage = props.get(1)
    for pid in sorted(props):
        key = mapping.get(pid)
        if key is None:
            continue
        value = props[pid]
        if key in STRINGS:
            if isinstance(value, (bytes, str)):
                out[key] = decode(value, codepage)
        elif key in DATES:
            if isinstance(value, int):
                # convert_time=False gives whole seconds since 1601 (UTC)
                out[key] = "null" if value == 0 else (
                    datetime.datetime(1601, 1, 1) + datetime.timedelta(seconds=value)
                ).strftime("%Y-%m-%dT%H:%M:%S")
        elif key == "EditTime":
            if isinstance(value, int):
                out[key] = str(value // 60)
        elif isinstance(value, int):
            out[key] = str(value)


def listing(path, rel):
    lines = ["# expected by python3-olefile; made by tests/tools/make_compound_listings.py",
             "source\t" + rel]
    ole = olefile.OleFileIO(path)
    for entry in sorted(ole.listdir(streams=True, storages=True)):
        name = "/".join(escape(p) for p in entry)
        if ole.get_type(entry) == olefile.STGTY_STORAGE:
            lines.append("storage\t" + name)
        else:
            data = ole.openstream(entry).read()
            lines.append("stream\t%s\t%d\t%s" % (name, len(data), hashlib.sha256(data).hexdigest()))
    meta = {}
    for entry in ole.listdir(streams=True, storages=False):
        if len(entry) != 1:
            continue
        if entry[0][1:] == "SummaryInformation":
            metadata(ole, entry, SUMMARY, meta)
        elif entry[0][1:] == "DocumentSummaryInformation":
            metadata(ole, entry, DOC_SUMMARY, meta)
    for key in sorted(meta):
        lines.append("meta\t%s\t%s" % (key, meta[key].replace("\\", "\\\\").replace("\n", "\\n")
                                       .replace("\r", "\\r").replace("\t", "\\t")))
    return "\n".join(lines) + "\n"


def main():
    corpus, out_dir = sys.argv[1], sys.argv[2]
    for rel in sys.argv[3:]:
        text = listing(os.path.join(corpus, rel), rel)
        name = os.path.basename(rel) + ".listing"
        with open(os.path.join(out_dir, name), "w", encoding="utf-8") as f:
            f.write(text)


if __name__ == "__main__":
    main()
