// Builds small Write documents for the tests: header, text, character and
// paragraph run pages, a section page and the font face-name table, with
// the fields the tests need to break under their control.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace quillmark::test {

struct WriRun {
    uint32_t end;        // first position after the run (text starts at 128)
    std::string props;   // property bytes after the length byte; empty: no block (0xFFFF)
};

// Character property bytes: byte 1 reserved, then bold/italic/font, size in
// half points, underline, high font bits, vertical position; cut to length.
std::string WriChar(bool bold, bool italic, unsigned font = 0, uint8_t halfPoints = 24,
                    bool underline = false, uint8_t position = 0, size_t length = 6);
// Paragraph property bytes with byte 17 (picture 0x10, head/foot 0x06) set.
std::string WriPara(uint8_t byte17);

struct WriLayout {
    uint32_t pnChar = 0, pnPara = 0, pnSep = 0, pnFfntb = 0, pages = 0;
};

struct WriBuilder {
    std::string text;                 // the bytes at positions 128 .. fcMac-1
    std::vector<WriRun> charRuns;     // empty: one run over the whole text
    std::vector<WriRun> paraRuns;     // empty: one paragraph per CR LF
    size_t runsPerPage = 20;          // at most this many entries on a run page
    std::map<size_t, uint32_t> charFcFirst, paraFcFirst;  // page index -> fcFirst override
    std::map<size_t, uint8_t> charCount, paraCount;       // page index -> run count override
    std::vector<std::pair<uint8_t, std::string>> fonts;  // family, name
    bool fontTable = true;            // false: pnFfntb = pnMac
    uint16_t ident = 0xBE31;
    long fcMac = -1;                  // >= 0 replaces 128 + text size
    long pnMac = -1;                  // >= 0 replaces the page count

    std::string Build(WriLayout* layout = nullptr) const;
};

// A document of the given paragraphs, each ended by CR LF, in one character run.
WriBuilder WriParagraphs(const std::vector<std::string>& paragraphs);

}  // namespace quillmark::test
