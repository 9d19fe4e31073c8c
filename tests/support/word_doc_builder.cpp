#include "support/word_doc_builder.h"

#include "support/compound_file_builder.h"

namespace quillmark::test {

void PutLe16(std::string& b, size_t off, uint16_t v) {
    if (b.size() < off + 2) b.resize(off + 2, '\0');
    b[off] = static_cast<char>(v & 0xFF);
    b[off + 1] = static_cast<char>(v >> 8);
}

void PutLe32(std::string& b, size_t off, uint32_t v) {
    PutLe16(b, off, static_cast<uint16_t>(v & 0xFFFF));
    PutLe16(b, off + 2, static_cast<uint16_t>(v >> 16));
}

namespace {
constexpr uint32_t kTextStart = 1024;
}

void WordDocBuilder::Layout() {
    cps.assign(1, 0);
    fcs.clear();
    textBytes_.clear();
    for (const WordPiece& p : pieces) {
        uint32_t at = kTextStart + static_cast<uint32_t>(textBytes_.size());
        if (p.compressed) {
            fcs.push_back((at * 2) | 0x40000000u);
            for (char16_t c : p.text) textBytes_.push_back(static_cast<char>(c));
        } else {
            fcs.push_back(at);
            for (char16_t c : p.text) {
                textBytes_.push_back(static_cast<char>(c & 0xFF));
                textBytes_.push_back(static_cast<char>(c >> 8));
            }
        }
        cps.push_back(cps.back() + static_cast<uint32_t>(p.text.size()));
    }
    laidOut_ = true;
}

std::string WordDocBuilder::WordDocument() {
    if (!laidOut_) Layout();
    std::string b(kTextStart, '\0');
    PutLe16(b, 0, wIdent);
    PutLe16(b, 2, nFib);
    PutLe16(b, 6, lid);
    b[10] = static_cast<char>(flag);
    b[11] = static_cast<char>(encryption);
    PutLe32(b, 24, kTextStart);
    PutLe32(b, 28, kTextStart + static_cast<uint32_t>(textBytes_.size()));
    PutLe16(b, 60, lidFE);
    uint32_t total = cps.back();
    uint32_t subs = ccpFtn + ccpHdr + ccpMcr + ccpAtn + ccpEdn + ccpTxbx + ccpHdrTxbx;
    PutLe32(b, 76, total > subs ? total - subs : 0);
    const uint32_t counts[] = {ccpFtn, ccpHdr, ccpMcr, ccpAtn, ccpEdn, ccpTxbx, ccpHdrTxbx};
    for (size_t i = 0; i < 7; ++i) PutLe32(b, 80 + 4 * i, counts[i]);
    PutLe32(b, 418, writeClx ? 16 : 0);
    PutLe32(b, 422, writeClx ? static_cast<uint32_t>(Table().size() - 16) : 0);
    b += textBytes_;
    return b;
}

std::string WordDocBuilder::Table() {
    if (!laidOut_) Layout();
    std::string t(16, '\0');  // the CLX starts at 16
    t += '\x01';               // one property-modifier group of 3 bytes
    PutLe16(t, t.size(), 3);
    t += "abc";
    t += '\x02';
    size_t n = fcs.size();
    PutLe32(t, t.size(), static_cast<uint32_t>(4 * (n + 1) + 8 * n + plcSizeDelta));
    for (uint32_t cp : cps) PutLe32(t, t.size(), cp);
    for (uint32_t fc : fcs) {
        t += '\0';
        t += '\0';
        PutLe32(t, t.size(), fc);
        PutLe16(t, t.size(), 0);
    }
    return t;
}

std::string WordDocBuilder::Compound(const std::vector<std::pair<std::u16string, std::string>>& extra) {
    CompoundFileBuilder cf;
    cf.AddStream(u"WordDocument", WordDocument());
    cf.AddStream((encryption & 0x02) ? u"1Table" : u"0Table", Table());
    for (const auto& [name, data] : extra) cf.AddStream(name, data);
    return cf.Build();
}

std::string Word6Document(const std::string& text, uint16_t nFib, uint16_t lid, uint32_t ccpFtn,
                          uint32_t ccpHdr) {
    std::string b(768, '\0');
    PutLe16(b, 0, 0xA5DC);
    PutLe16(b, 2, nFib);
    PutLe16(b, 6, lid);
    PutLe32(b, 24, 768);
    PutLe32(b, 28, 768 + static_cast<uint32_t>(text.size()));
    PutLe32(b, 52, static_cast<uint32_t>(text.size()) - ccpFtn - ccpHdr);
    PutLe32(b, 56, ccpFtn);
    PutLe32(b, 60, ccpHdr);
    return b + text + std::string(64, '\0');
}

std::string Word2File(const std::string& text, uint16_t lid, uint32_t ccpFtn, uint32_t ccpHdr,
                      uint32_t ccpAtn) {
    std::string b(384, '\0');
    PutLe16(b, 0, 0xA5DB);
    PutLe16(b, 2, 45);
    PutLe16(b, 6, lid);
    PutLe32(b, 24, 384);
    PutLe32(b, 28, 384 + static_cast<uint32_t>(text.size()));
    PutLe32(b, 52, static_cast<uint32_t>(text.size()) - ccpFtn - ccpHdr - ccpAtn);
    PutLe32(b, 56, ccpFtn);
    PutLe32(b, 60, ccpHdr);
    PutLe32(b, 68, ccpAtn);
    return b + text;
}

}  // namespace quillmark::test
