#!/usr/bin/env python3
"""Words of the public PDFs that pdftotext and mutool both find and we lose.

    bench/pdf_peer_words.py [BINARY]        (default build/quillmark)
    PDFDIR=... to read another folder (default the shared corpus' public PDFs)

Words are compared as multisets after NFKC and lower-casing (CJK text counts
character by character). Prints one line per file that loses words, then the
recall of each peer's words in ours and the count of words both peers find
that we lose. Peer outputs are kept in /tmp/pdf-peer-words between runs.
Encrypted samples are opened with the passwords the corpus notes give.
"""
import os, re, subprocess, sys, unicodedata
from collections import Counter

D = os.environ.get("PDFDIR", "/work/shared/corpus/public/pdf")
CACHE = "/tmp/pdf-peer-words"
PASSWORDS = {
    "pdfminer_enc_aes-256-r6.pdf": "usersecret",
    "qpdf_c-r5-in.pdf": "user3", "qpdf_nontrivial-crypt-filter.pdf": "asdfqwer",
    "oo32-simple-open-nocopy-password.pdf": "password", "oo32-simple-open-password.pdf": "password",
    "pypdf_libreoffice-writer-password.pdf": "openpassword",
    "pdfjs_issue3371.pdf": "ELXRTQWS", "pdfjs_issue6010_1.pdf": "abc",
    "tika_testPassword4Spaces.pdf": "    ",
    "tika_testPDF_no_extract_no_accessibility_owner_user.pdf": "user",
}
WORD = re.compile(r"[^\W_]+", re.UNICODE)


def password(name):
    if name in PASSWORDS:
        return PASSWORDS[name]
    if name.startswith("pdfminer_enc_"):
        return "baz"
    return "view" if "U-view" in name else None


def words(text):
    out = []
    for w in WORD.findall(unicodedata.normalize("NFKC", text).lower()):
        cjk = any(0x3040 <= ord(c) <= 0x9FFF or 0xAC00 <= ord(c) <= 0xD7AF for c in w)
        out.extend(w) if cjk else out.append(w)
    return Counter(out)


def run(argv):
    try:
        return subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              timeout=120).stdout.decode("utf-8", "replace")
    except subprocess.TimeoutExpired:
        return ""


def peer(name, tag, argv):
    path = os.path.join(CACHE, f"{name}.{tag}.txt")
    if not os.path.exists(path):
        os.makedirs(CACHE, exist_ok=True)
        open(path, "w").write(run(argv))
    return words(open(path).read())


def main():
    ours = sys.argv[1] if len(sys.argv) > 1 else "build/quillmark"
    found = Counter()
    total = Counter()
    lost_all = 0
    for name in sorted(f for f in os.listdir(D) if f.endswith(".pdf")):
        path, pw = os.path.join(D, name), password(name)
        pt = peer(name, "pdftotext", ["pdftotext", "-enc", "UTF-8"] + (["-upw", pw] if pw else []) + [path, "-"])
        mu = peer(name, "mutool", ["mutool", "draw", "-q", "-F", "txt"] + (["-p", pw] if pw else []) + ["-o", "-", path])
        us = words(run([ours, "extract"] + (["--password", pw] if pw else []) + [path]))
        for tag, theirs in (("pdftotext", pt), ("mutool", mu)):
            total[tag] += sum(theirs.values())
            found[tag] += sum((theirs & us).values())
        lost = (pt & mu) - us
        if lost:
            lost_all += sum(lost.values())
            print(f"{name}\t{sum(lost.values())}\t" + " ".join(f"{w}x{n}" if n > 1 else w for w, n in sorted(lost.items())[:40]))
    for tag in ("pdftotext", "mutool"):
        print(f"recall of {tag}'s words: {found[tag]}/{total[tag]} = {found[tag] / max(1, total[tag]):.4f}")
    print(f"words both peers find that we lose: {lost_all}")


if __name__ == "__main__":
    main()
