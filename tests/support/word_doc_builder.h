// Writes small Word binary documents for tests: a Word 97 "WordDocument"
// stream with its FIB and piece texts, the table stream with the piece table,
// and the compound file around them; also Word 6/95 and Word 2 streams. After
// Layout() the piece positions and fc values are public, so tests can damage
// them before building the table stream.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillmark::test {

struct WordPiece {
    std::u16string text;
    bool compressed = false;  // stored 8 bits per character (Latin-1 text only)
};

class WordDocBuilder {
public:
    uint16_t wIdent = 0xA5EC;
    uint16_t nFib = 193;
    uint16_t lid = 0x0409;
    uint16_t lidFE = 0;
    uint8_t flag = 0x04;
    uint8_t encryption = 0x02;  // "1Table"
    // Sub-document lengths; the main text is whatever the pieces hold beyond them.
    uint32_t ccpFtn = 0, ccpHdr = 0, ccpMcr = 0, ccpAtn = 0, ccpEdn = 0, ccpTxbx = 0, ccpHdrTxbx = 0;
    std::vector<WordPiece> pieces;
    bool writeClx = true;

    // Where the pieces go; filled by Layout.
    std::vector<uint32_t> cps;  // one more than pieces
    std::vector<uint32_t> fcs;
    // Extra bytes after the piece-table header size (to test a size that lies).
    int32_t plcSizeDelta = 0;

    void Layout();
    std::string WordDocument();  // calls Layout if not done
    std::string Table();
    // A compound file with "WordDocument", the table stream (named by the
    // table-stream flag) and any extra streams.
    std::string Compound(const std::vector<std::pair<std::u16string, std::string>>& extra = {});

private:
    std::string textBytes_;
    bool laidOut_ = false;
};

// A Word 6/95 "WordDocument" stream (nFib 101 or 104) holding 8-bit text at
// fcMin 768, without a piece table.
std::string Word6Document(const std::string& text, uint16_t nFib, uint16_t lid,
                          uint32_t ccpFtn = 0, uint32_t ccpHdr = 0);
// A plain Word 2 file: 8-bit text at fcMin 384.
std::string Word2File(const std::string& text, uint16_t lid, uint32_t ccpFtn = 0, uint32_t ccpHdr = 0,
                      uint32_t ccpAtn = 0);

void PutLe16(std::string& b, size_t off, uint16_t v);
void PutLe32(std::string& b, size_t off, uint32_t v);

}  // namespace quillmark::test
