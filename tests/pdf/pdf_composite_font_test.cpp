// Composite fonts without a usable ToUnicode CMap: the embedded TrueType
// font's own character map read backwards through the CIDToGIDMap, then
// (Identity collection) the codes themselves; and the font program decoded
// only when that is needed.
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <sstream>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/stream.h"
#include "quillmark/pdf/pdf_cid_collections.h"
#include "quillmark/pdf/pdf_cmap.h"
#include "quillmark/pdf/pdf_reader.h"
#include "quillmark/pdf/pdf_truetype.h"
#include "support/test_support.h"
#include "tests/support/pdf_builder.h"

namespace quillmark {
namespace {

using test::Deflate;
using test::PdfBuilder;
using test::StreamObject;

std::string U16(uint32_t v) { return {static_cast<char>((v >> 8) & 0xFF), static_cast<char>(v & 0xFF)}; }
std::string U32(uint32_t v) { return U16(v >> 16) + U16(v & 0xFFFF); }

// A 'cmap' subtable of format 4. Segments map [start, end] either by a delta
// (glyphs empty) or through glyph numbers listed per code.
struct Segment {
    uint16_t start, end;
    int16_t delta;
    std::vector<uint16_t> glyphs;
};
std::string Format4(std::vector<Segment> segs) {
    segs.push_back({0xFFFF, 0xFFFF, 1, {}});
    size_t n = segs.size();
    std::string ends, starts, deltas, offsets, glyphArray;
    size_t listed = 0;
    for (size_t s = 0; s < n; ++s) {
        ends += U16(segs[s].end);
        starts += U16(segs[s].start);
        deltas += U16(static_cast<uint16_t>(segs[s].delta));
        if (segs[s].glyphs.empty()) {
            offsets += U16(0);
        } else {
            // From this offset entry to its first glyph in the array.
            offsets += U16(static_cast<uint32_t>(2 * (n - s) + 2 * listed));
            for (uint16_t g : segs[s].glyphs) glyphArray += U16(g);
            listed += segs[s].glyphs.size();
        }
    }
    std::string body = U16(static_cast<uint32_t>(2 * n)) + U16(0) + U16(0) + U16(0) + ends + U16(0) + starts +
                       deltas + offsets + glyphArray;
    return U16(4) + U16(static_cast<uint32_t>(6 + body.size())) + U16(0) + body;
}
// Format 12 groups (first, last, first glyph).
std::string Format12(const std::vector<std::array<uint32_t, 3>>& groups) {
    std::string g;
    for (const auto& x : groups) g += U32(x[0]) + U32(x[1]) + U32(x[2]);
    return U16(12) + U16(0) + U32(static_cast<uint32_t>(16 + g.size())) + U32(0) + U32(static_cast<uint32_t>(groups.size())) + g;
}
// A 'cmap' table with one subtable of (platform, encoding).
std::string CmapTable(uint16_t platform, uint16_t encoding, const std::string& sub) {
    return U16(0) + U16(1) + U16(platform) + U16(encoding) + U32(12) + sub;
}
// A font program holding only the given tables (enough for its 'cmap').
std::string Sfnt(const std::vector<std::pair<std::string, std::string>>& tables) {
    std::string head = U32(0x00010000) + U16(static_cast<uint32_t>(tables.size())) + U16(0) + U16(0) + U16(0);
    size_t offset = 12 + 16 * tables.size();
    std::string dir, data;
    for (const auto& [tag, body] : tables) {
        dir += tag + U32(0) + U32(static_cast<uint32_t>(offset + data.size())) + U32(static_cast<uint32_t>(body.size()));
        data += body;
    }
    return head + dir + data;
}

// A subset font: 'A'..'Z' on glyphs 1..26 (by delta), U+0141 and U+017C on
// glyphs 40 and 41 (through the glyph array), and a no-break space sharing
// the space's glyph 3.
std::string SubsetFont() {
    return Sfnt({{"head", std::string(54, '\0')},
                 {"cmap", CmapTable(3, 1,
                                    Format4({{0x20, 0x20, static_cast<int16_t>(3 - 0x20), {}},
                                             {0x41, 0x5A, static_cast<int16_t>(1 - 0x41), {}},
                                             {0xA0, 0xA0, static_cast<int16_t>(3 - 0xA0), {}},
                                             {0x141, 0x142, 0, {40, 0}},
                                             {0x17C, 0x17C, 0, {41}}}))}});
}

TEST(PdfGlyphUnicodeMap, ReadsFormat4BackwardsByGlyph) {
    TPdfGlyphUnicodeMap m;
    ASSERT_TRUE(m.Parse(SubsetFont()));
    EXPECT_EQ(m.Lookup(1), U'A');
    EXPECT_EQ(m.Lookup(26), U'Z');
    EXPECT_EQ(m.Lookup(40), U'\u0141');
    EXPECT_EQ(m.Lookup(41), U'\u017C');
    EXPECT_EQ(m.Lookup(3), U' ');  // the smaller of space and no-break space
    EXPECT_EQ(m.Lookup(0), 0u);    // .notdef, and the array's 0 for U+0142
    EXPECT_EQ(m.Lookup(27), 0u);
    EXPECT_EQ(m.Lookup(70000), 0u);
}

TEST(PdfGlyphUnicodeMap, ReadsFormat12AndSymbolFonts) {
    TPdfGlyphUnicodeMap full;
    ASSERT_TRUE(full.Parse(Sfnt({{"cmap", CmapTable(3, 10, Format12({{0x1F600, 0x1F601, 50}, {0x61, 0x63, 5}}))}})));
    EXPECT_EQ(full.Lookup(51), U'\U0001F601');
    EXPECT_EQ(full.Lookup(6), U'b');
    // A group that claims four billion characters stops at the last glyph.
    TPdfGlyphUnicodeMap huge;
    ASSERT_TRUE(huge.Parse(Sfnt({{"cmap", CmapTable(3, 10, Format12({{0x20, 0xFFFFFFFF, 0xFFF0}}))}})));
    EXPECT_LE(huge.Size(), 16u);
    // Symbol fonts put their codes at F000 + code.
    TPdfGlyphUnicodeMap symbol;
    ASSERT_TRUE(symbol.Parse(Sfnt({{"cmap", CmapTable(3, 0, Format4({{0xF041, 0xF042, static_cast<int16_t>(7 - 0xF041), {}}}))}})));
    EXPECT_EQ(symbol.Lookup(8), U'B');
}

TEST(PdfGlyphUnicodeMap, DamagedProgramsGiveWhatCanBeRead) {
    std::string font = SubsetFont();
    TPdfGlyphUnicodeMap m;
    // Every truncation and a few corrupted bytes: never a throw, never a
    // glyph beyond the ones the table names.
    for (size_t n = 0; n <= font.size(); n += 3) {
        EXPECT_NO_THROW(m.Parse(std::string_view(font).substr(0, n)));
        EXPECT_LE(m.Size(), 30u);
    }
    for (size_t i = 12; i < font.size(); i += 5) {
        std::string bad = font;
        bad[i] = static_cast<char>(0xFF);
        EXPECT_NO_THROW(m.Parse(bad));
        EXPECT_LE(m.Size(), size_t{1} << 18);
    }
    EXPECT_FALSE(m.Parse("not a font at all"));
    EXPECT_FALSE(m.Parse(Sfnt({{"head", std::string(54, '\0')}})));
}

// A one-page document with a Type0 font over a TrueType descendant.
// descendant: the CIDFont's extra entries; program: its FontFile2 (none
// when empty); cidToGid: a CIDToGIDMap stream (Identity when empty).
std::string Document(const std::string& content, const std::string& descendant, const std::string& program,
                     const std::string& cidToGid, const std::string& toUnicode = "/ToUnicode /Identity-H") {
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Add(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 9 0 R >> >> /Contents 4 0 R >>");
    b.Add(4, StreamObject("", content));
    b.Add(9, "<< /Type /Font /Subtype /Type0 /BaseFont /ABCDEF+Sans /Encoding /Identity-H " + toUnicode +
                 " /DescendantFonts [10 0 R] >>");
    std::string map = cidToGid.empty() ? "/CIDToGIDMap /Identity" : "/CIDToGIDMap 12 0 R";
    std::string descriptor = program.empty() ? "" : "/FontDescriptor 11 0 R";
    b.Add(10, "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /ABCDEF+Sans " + map + " " + descriptor + " " +
                  descendant + " >>");
    if (!program.empty()) {
        b.Add(11, "<< /Type /FontDescriptor /FontName /ABCDEF+Sans /Flags 32 /FontFile2 13 0 R >>");
        b.Add(13, StreamObject("/Filter /FlateDecode /Length1 " + std::to_string(program.size()), Deflate(program)));
    }
    if (!cidToGid.empty()) b.Add(12, StreamObject("/Filter /FlateDecode", Deflate(cidToGid)));
    return b.Build();
}

const char* kIdentity = "/CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>";

std::string Extract(const std::string& pdf, TDTPDFReader* r = nullptr) {
    TDTPDFReader local;
    TDTPDFReader& reader = r ? *r : local;
    TMemoryStream s(pdf);
    reader.LoadFromStream(s);
    return Utf16ToUtf8(reader.Text().Text());
}

TEST(PdfCompositeFont, EmbeddedTrueTypeCmapThroughTheCidToGidMap) {
    // CIDs 1, 2, 3, 4 draw glyphs 1 ('A'), 40 (U+0141), 3 (space), 26 ('Z').
    std::string map = U16(0) + U16(1) + U16(40) + U16(3) + U16(26);
    TDTPDFReader r;
    EXPECT_EQ(Extract(Document("BT /F1 12 Tf 72 700 Td <0001000200030004> Tj ET", kIdentity, SubsetFont(), map),
                      &r),
              "\r\nA\xC5\x81 Z\r\n\r\n");
    // The program was decoded because a text step needed it.
    EXPECT_EQ(r.Fonts().GetItem(0)->CID(), SubsetFont());
    // A CID past the end of the map, or on a glyph the cmap does not name,
    // gives nothing (not the CID as a character).
    EXPECT_EQ(Extract(Document("BT /F1 12 Tf 72 700 Td <00410009> Tj ET", kIdentity, SubsetFont(), map)), "\r\n\r\n\r\n");
    // Without a CIDToGIDMap stream CIDs are glyph numbers.
    EXPECT_EQ(Extract(Document("BT /F1 12 Tf 72 700 Td <0001001A0029> Tj ET", kIdentity, SubsetFont(), "")),
              "\r\nAZ\xC5\xBC\r\n\r\n");
}

TEST(PdfCompositeFont, IdentityCodesStandForThemselvesWithoutAnyMap) {
    // No font program: the Identity collection's codes are read as
    // characters when printable ("Hi", U+0142, then a control code and a
    // surrogate, which are dropped).
    EXPECT_EQ(Extract(Document("BT /F1 12 Tf 72 700 Td <004800690142 0001 D800> Tj ET", kIdentity, "", "")),
              "\r\nHi\xC5\x82\r\n\r\n");
    // Missing ToUnicode altogether: the same.
    EXPECT_EQ(Extract(Document("BT /F1 12 Tf 72 700 Td <00480069> Tj ET", kIdentity, "", "", "")), "\r\nHi\r\n\r\n");
    // Another collection's CIDs are not characters: nothing rather than
    // wrong text.
    EXPECT_EQ(Extract(Document("BT /F1 12 Tf 72 700 Td <00480069> Tj ET",
                               "/CIDSystemInfo << /Registry (Acme) /Ordering (Glyphs) /Supplement 0 >>", "", "")),
              "\r\n\r\n\r\n");
    // A program without a cmap table leaves the Identity route.
    EXPECT_EQ(Extract(Document("BT /F1 12 Tf 72 700 Td <00480069> Tj ET", kIdentity,
                               Sfnt({{"head", std::string(54, '\0')}}), "")),
              "\r\nHi\r\n\r\n");
}

// CIDs of Adobe's CJK collections without a ToUnicode map read through the
// collection's map, before the font program's own character map.
TEST(PdfCompositeFont, AdobeCjkCollectionsGiveTheirCharacters) {
    struct Case {
        const char* ordering;
        const char* codes;
        const char* text;
    };
    // CIDs 34 and 35 are A and B in all four; 843 and 1200 are あ and 一 in
    // Japan1; 1200 is 查 in GB1, 扯 in CNS1 and 굘 in Korea1; 0 is .notdef.
    const Case cases[] = {
        {"Japan1", "<0022 0023 034B 04B0 0000>", "AB\xE3\x81\x82\xE4\xB8\x80"},
        {"GB1", "<0022 04B0>", "A\xE6\x9F\xA5"},
        {"CNS1", "<0023 04B0>", "B\xE6\x89\xAF"},
        {"Korea1", "<0022 04B0>", "A\xEA\xB5\x98"},
        // Past the end of the collection: nothing.
        {"Japan1", "<FFF0>", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ordering);
        std::string info = std::string("/CIDSystemInfo << /Registry (Adobe) /Ordering (") + c.ordering +
                           ") /Supplement 6 >>";
        EXPECT_EQ(Extract(Document(std::string("BT /F1 12 Tf 72 700 Td ") + c.codes + " Tj ET", info, "", "", "")),
                  std::string("\r\n") + c.text + "\r\n\r\n");
    }
    // The collection comes before the embedded program's cmap (which would
    // read CID 34 as glyph 34).
    std::string japan1 = "/CIDSystemInfo << /Registry (Adobe) /Ordering (Japan1) /Supplement 6 >>";
    EXPECT_EQ(Extract(Document("BT /F1 12 Tf 72 700 Td <0022> Tj ET", japan1, SubsetFont(), "")), "\r\nA\r\n\r\n");
}

// Every CID of the four collections against Adobe's published CID-to-UCS2
// CMaps, read by the reader's own CMap parser (the Makefile installs them
// with Debian's poppler-data).
TEST(PdfCidCollections, EveryCidAsAdobesCmapSaysIt) {
    for (const char* ordering : {"Japan1", "GB1", "CNS1", "Korea1"}) {
        SCOPED_TRACE(ordering);
        std::string name = std::string("Adobe-") + ordering;
        std::ifstream f("/usr/share/poppler/cMap/" + name + "/" + name + "-UCS2", std::ios::binary);
        ASSERT_TRUE(f) << "Adobe's CMaps are not installed (apt-get install poppler-data)";
        std::stringstream text;
        text << f.rdbuf();
        TDTPDFCMap cmap;
        cmap.Parse(text.str());
        size_t mapped = 0;
        for (uint32_t cid = 0; cid < 70000; ++cid) {
            std::u16string expected;
            if (!cmap.Lookup(cid, 2, expected) || expected == u"\uFFFD" || expected.size() > 4) expected.clear();
            std::u16string_view got = PdfCollectionText(name, cid);
            ASSERT_EQ(std::u16string(got), expected) << "CID " << cid;
            mapped += !got.empty();
        }
        EXPECT_GT(mapped, 15000u);
    }
    EXPECT_TRUE(PdfCollectionText("Adobe-Identity", 34).empty());
    EXPECT_TRUE(PdfCollectionText("Adobe-Japan", 34).empty());
}

TEST(PdfCompositeFont, DamagedFontProgramStillGivesTheDocument) {
    std::string font = SubsetFont();
    for (size_t n : {size_t{0}, size_t{5}, size_t{20}, font.size() / 2}) {
        std::string out;
        EXPECT_NO_THROW(out = Extract(Document("BT /F1 12 Tf 72 700 Td <00010002> Tj ET", kIdentity,
                                               n ? font.substr(0, n) : std::string("\x00\x01", 2), "")));
        EXPECT_LE(out.size(), 32u);
    }
}

TEST(PdfCompositeFont, PublicInvoiceWithIdentityToUnicodeName) {
    // Type0 fonts with "/ToUnicode /Identity-H" and embedded TrueType
    // subsets: the Polish invoice that gave no text before.
    TDTPDFReader r;
    r.LoadFromFile(test::DataPath("pdf/pdfminer_issue-625-identity-cmap.pdf"));
    std::string text = Utf16ToUtf8(r.Text().Text());
    for (const char* s : {"Faktura nr FV 1/2021", "91-504 \xC5\x81\xC3\xB3\x64\xC5\xBA", "Wirtualna Polska Media",
                          "Sp\xC3\xB3\xC5\x82ka Akcyjna", "ul. \xC5\xBBwirki i Wigury 16", "Termin p\xC5\x82\x61tno\xC5\x9B\x63i"})
        EXPECT_NE(text.find(s), std::string::npos) << s;
    // Against pdftotext's words: nearly all found.
    std::string peer =
        "Faktura nr FV 1/2021 Sprzedawca Test itp Kacza 11/2 91-504 \xC5\x81\xC3\xB3\x64\xC5\xBA NIP: 5319419588 "
        "Data wystawienia: 2021-04-26 Nabywca Wirtualna Polska Media Sp\xC3\xB3\xC5\x82ka Akcyjna 02-092 Warszawa";
    EXPECT_GE(test::InOrderRecall(peer, text), 0.7);
}

}  // namespace
}  // namespace quillmark
