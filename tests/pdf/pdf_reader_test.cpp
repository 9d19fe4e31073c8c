#include "quillmark/pdf/pdf_reader.h"

#include <gtest/gtest.h>

#include "quillmark/framework/exception.h"
#include "quillmark/framework/stream.h"
#include "quillmark/pdf/pdf_filters.h"
#include "tests/support/pdf_builder.h"

namespace quillmark {
namespace {

using test::PdfBuilder;
using test::StreamObject;

void Load(TDTPDFReader& r, const std::string& bytes) {
    TMemoryStream s(bytes);
    r.LoadFromStream(s);
}

bool StartsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

PdfBuilder ThreeObjects() {
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Add(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 9 0 R >> >> >>");
    b.SetTrailer("/Root 1 0 R /Info 3 0 R /ID [<0123456789ABCDEF0123456789abcdef> <00>]");
    return b;
}

TEST(PdfReader, ReadsAClassicTable) {
    PdfBuilder b = ThreeObjects();
    std::string file = b.Build();
    TDTPDFReader r;
    Load(r, file);
    EXPECT_EQ(r.Version(), "1.5");
    EXPECT_EQ(r.GetRootTag(), "1");
    EXPECT_EQ(r.GetInfoTag(), "3");
    EXPECT_EQ(r.DocID().size(), 16u);
    EXPECT_EQ(static_cast<uint8_t>(r.DocID()[15]), 0xEF);
    EXPECT_FALSE(r.Repaired());
    for (int n = 1; n <= 3; ++n) {
        ASSERT_EQ(r.XRefs().GetItem(n)->Kind, xrkUnCompressed);
        EXPECT_EQ(r.XRefs().GetItem(n)->Offset, b.OffsetOf(n));
        std::string body = r.GetBodyByRefNo(n);
        EXPECT_TRUE(StartsWith(body, std::to_string(n) + " 0 obj")) << body;
        // The body ends before the next object or the table.
        EXPECT_EQ(body.find(" obj", 8), std::string::npos) << body;
    }
    EXPECT_EQ(GetItemType(r.GetBodyByRefNo(2)), "/pages");
    EXPECT_EQ(r.GetBodyByRefNo(4), "");
    EXPECT_EQ(r.GetBodyByRefNo(-1), "");
    EXPECT_EQ(r.GetDoubleBracketValue("/font", PdfLower(r.GetBodyByRefNo(3))), "/f1 9 0 r");
}

TEST(PdfReader, ReadsCrossReferenceAndObjectStreams) {
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.AddCompressed(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.AddCompressed(3, "<< /Type /Page /Parent 2 0 R >>");
    b.AddCompressed(4, "(a string) ");
    b.SetObjectStreamNumber(5);
    std::string file = b.Build(PdfBuilder::XRef::Stream);
    TDTPDFReader r;
    Load(r, file);
    EXPECT_EQ(r.GetRootTag(), "1");
    const TDTPDFXRef* x = r.XRefs().GetItem(3);
    ASSERT_TRUE(x);
    EXPECT_EQ(x->Kind, xrkCompressed);
    EXPECT_EQ(x->ObjNumber, 5);
    EXPECT_EQ(x->Offset, 1);
    EXPECT_EQ(r.XRefs().GetOffsetForXRef(3), b.OffsetOf(5));
    // A compressed object reads like a plain one.
    EXPECT_EQ(r.GetBodyByRefNo(3), "3 0 obj\n<< /Type /Page /Parent 2 0 R >>\nendobj\n");
    EXPECT_EQ(GetItemType(r.GetBodyByRefNo(2)), "/pages");
    EXPECT_EQ(r.GetBodyByRefNo(4), "4 0 obj\n(a string)\nendobj\n");
}

TEST(PdfReader, NewerSectionsWinAndPrevLoopsEnd) {
    PdfBuilder b = ThreeObjects();
    std::string file = b.Build();
    int64_t second = 0;
    std::string updated = PdfBuilder::AppendUpdate(file, {{2, "<< /Type /Pages /Kids [] /Count 0 >>"}},
                                                   "/Size 4 /Root 1 0 R /Info 1 0 R", b.XRefOffset(), &second);
    TDTPDFReader r;
    Load(r, updated);
    EXPECT_EQ(r.GetInfoTag(), "1");  // the newest trailer's value
    EXPECT_TRUE(StartsWith(r.GetBodyByRefNo(2), "2 0 obj\n<< /Type /Pages /Kids []"));
    EXPECT_EQ(r.XRefs().GetItem(1)->Offset, b.OffsetOf(1));  // older entries stay

    // A /Prev that points at its own section ends the walk.
    std::string loop = PdfBuilder::AppendUpdate(file, {{3, "<< /Type /Page >>"}}, "/Root 1 0 R", 0, &second);
    size_t prev = loop.rfind("/Prev 0");
    ASSERT_NE(prev, std::string::npos);
    std::string self = std::to_string(second);
    loop.replace(prev, 7, "/Prev " + self);
    loop.replace(loop.rfind("startxref\n") + 10, std::string::npos, self + "\n%%EOF\n");
    Load(r, loop);
    EXPECT_TRUE(StartsWith(r.GetBodyByRefNo(3), "3 0 obj\n<< /Type /Page >>"));
}

TEST(PdfReader, FileCheck) {
    std::string good = ThreeObjects().Build();
    TDTPDFReader r;
    struct Case {
        std::string bytes;
        bool valid;
    } cases[] = {
        {good, true},
        {"%pdf-" + good.substr(5), true},                            // lower-case header
        {good + std::string(900, '\n'), true},                       // blank lines after %%EOF
        {good + std::string(300, '\0'), true},                       // zero padding
        {"%PDF" + good.substr(4, 1) + "x", false},                   // too short, no %%EOF
        {"garbage" + good, false},
        {good.substr(0, good.size() - 7) + std::string(2000, ' '), false},  // no %%EOF at the end
    };
    for (const Case& c : cases) {
        if (c.valid) {
            EXPECT_NO_THROW(Load(r, c.bytes));
            EXPECT_EQ(r.GetRootTag(), "1");
        } else {
            try {
                Load(r, c.bytes);
                ADD_FAILURE() << "accepted an invalid file";
            } catch (const Exception& e) {
                EXPECT_STREQ(e.what(), strNotValidPDF);
            }
        }
    }
}

TEST(PdfReader, RepairsBrokenStartxrefAndTables) {
    PdfBuilder b = ThreeObjects();
    std::string file = b.Build();
    std::string noStartxref = file;
    noStartxref.replace(noStartxref.rfind("startxref"), 9, "startxrex");
    std::string wrongOffset = file;
    wrongOffset.replace(wrongOffset.rfind("startxref\n") + 10, std::string::npos, "17\n%%EOF\n");
    std::string damagedTable = file;
    damagedTable.replace(damagedTable.find("xref\n0 "), 6, "xre#\n0");
    for (const std::string& f : {noStartxref, wrongOffset, damagedTable}) {
        TDTPDFReader r;
        Load(r, f);
        EXPECT_TRUE(r.Repaired());
        EXPECT_EQ(r.GetRootTag(), "1");
        for (int n = 1; n <= 3; ++n) EXPECT_EQ(r.XRefs().GetItem(n)->Offset, b.OffsetOf(n));
    }
    // Without any trailer the catalog found by the scan becomes the root.
    std::string noTrailer = file.substr(0, file.find("xref\n")) + "%%EOF\n";
    TDTPDFReader r;
    Load(r, noTrailer);
    EXPECT_EQ(r.GetRootTag(), "1");
}

TEST(PdfReader, RepairFindsObjectsInObjectStreams) {
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.AddCompressed(2, "<< /Type /Pages /Count 0 >>");
    b.SetObjectStreamNumber(3);
    std::string file = b.Build(PdfBuilder::XRef::Stream);
    file.replace(file.rfind("startxref\n") + 10, std::string::npos, "99999\n%%EOF\n");
    TDTPDFReader r;
    Load(r, file);
    EXPECT_TRUE(r.Repaired());
    EXPECT_EQ(r.GetRootTag(), "1");
    EXPECT_EQ(r.GetBodyByRefNo(2), "2 0 obj\n<< /Type /Pages /Count 0 >>\nendobj\n");
}

TEST(PdfReader, XRefStreamWidthChecks) {
    // Cross-reference streams with /W [0 3 1], and with data that is not a
    // whole number of rows. When the file holds nothing else the load fails
    // with the message; with another object the scan rebuilds the list.
    struct Case {
        std::string w, rows;
        const char* message;
    } cases[] = {{"[0 3 1]", std::string(8, '\0'), strXRefWNotValid},
                 {"[1 2 1]", std::string(7, '\x01'), strXRefStreamLength}};
    for (const Case& c : cases) {
        for (bool withCatalog : {false, true}) {
            std::string head = "%PDF-1.5\n";
            if (withCatalog) head += "1 0 obj\n<< /Type /Catalog >>\nendobj\n";
            std::string obj = "2 0 obj\n<< /Type /XRef /W " + c.w + " /Size 3 /Length " +
                              std::to_string(c.rows.size()) + " >>\nstream\n" + c.rows + "\nendstream\nendobj\n";
            std::string file = head + obj + "startxref\n" + std::to_string(head.size()) + "\n%%EOF\n";
            TDTPDFReader r;
            if (withCatalog) {
                Load(r, file);
                EXPECT_TRUE(r.Repaired());
                EXPECT_EQ(r.GetRootTag(), "1");
            } else {
                try {
                    Load(r, file);
                    ADD_FAILURE() << "loaded " << c.w;
                } catch (const Exception& e) {
                    EXPECT_STREQ(e.what(), c.message);
                }
            }
        }
    }
}

// A file of a catalog (object 1) and a cross-reference stream (object 2)
// whose dictionary holds entries and whose three rows, of widths 1, 2, 1,
// list objects 0 to 2. off1 gets the catalog's offset.
std::string OneXRefStreamFile(const std::string& entries, size_t& off1) {
    std::string head = "%PDF-1.5\n";
    std::string obj1 = "1 0 obj\n<< /Type /Catalog >>\nendobj\n";
    off1 = head.size();
    size_t off2 = off1 + obj1.size();
    std::string rows;
    rows += std::string("\x00\x00\x00\xff", 4);
    rows += std::string(1, '\x01') + char(off1 >> 8) + char(off1 & 0xFF) + '\0';
    rows += std::string(1, '\x01') + char(off2 >> 8) + char(off2 & 0xFF) + '\0';
    std::string obj2 = "2 0 obj\n<< " + entries + " /Length 12 >>\nstream\n" + rows + "\nendstream\nendobj\n";
    return head + obj1 + obj2 + "startxref\n" + std::to_string(off2) + "\n%%EOF\n";
}

TEST(PdfReader, XRefStreamWithoutIndexStartsAtZero) {
    // Widths 1, 2, 1 and no /Index: entries start at object 0.
    size_t off1 = 0;
    std::string file = OneXRefStreamFile("/Type /XRef /W [1 2 1] /Size 3 /Root 1 0 R", off1);
    TDTPDFReader r;
    Load(r, file);
    EXPECT_FALSE(r.Repaired());
    EXPECT_EQ(r.XRefs().Count(), 3);
    EXPECT_EQ(r.XRefs().GetItem(0)->Kind, xrkFree);
    EXPECT_EQ(r.XRefs().GetItem(1)->Offset, static_cast<int32_t>(off1));
    EXPECT_EQ(r.GetRootTag(), "1");
}

// The reader's own dictionaries (cross-reference stream, trailer) are read
// by exact key from their outermost level: a nested dictionary holding the
// same keys first changes nothing, and a key in another case is no key.
TEST(PdfReader, CrossReferenceStreamAndTrailerKeysAreTheOuterOnes) {
    struct Row {
        const char* what;
        const char* entries;
        bool repaired;
        const char* docID;
    };
    const Row cases[] = {
        {"decoys nested first",
         "/DecodeParms << /Type /Other /W [1 4 4] /Index [7 2] /Root 9 0 R /Prev 1 /ID [(no)] >> "
         "/Type /XRef /W [1 2 1] /Size 3 /Root 1 0 R /ID [(yes) (2)]", false, "yes"},
        {"decoy /Index and /Length", "/Extra << /Index [5 3] /Length 3 >> /Type /XRef /Index [0 3] /W [1 2 1] /Root 1 0 R",
         false, ""},
        {"values as arrays, references and strings",
         "/Type /XRef /W [1 2 1] /Root 1 0 R /Info (3 0 R) /Encrypt [4 0 R] /ID (notarray)", false, ""},
        {"a key in another case", "/type /XRef /W [1 2 1] /Root 1 0 R", true, ""},
        // Numbers too large for an object number define no slot (the file
        // is then repaired), rather than slots counted from zero.
        {"an /Index past any object number", "/Type /XRef /W [1 2 1] /Index [3000000000 3] /Root 1 0 R", true, ""},
    };
    for (const Row& c : cases) {
        SCOPED_TRACE(c.what);
        size_t off1 = 0;
        std::string file = OneXRefStreamFile(c.entries, off1);
        TDTPDFReader r;
        Load(r, file);
        EXPECT_EQ(r.Repaired(), c.repaired);
        EXPECT_EQ(r.GetRootTag(), "1");
        EXPECT_EQ(r.GetInfoTag(), "");
        EXPECT_EQ(r.GetEncryptTag(), "");
        EXPECT_EQ(r.DocID(), c.docID);
        ASSERT_GE(r.XRefs().Count(), 2);
        EXPECT_EQ(r.XRefs().GetItem(1)->Offset, static_cast<int32_t>(off1));
    }

    // A table's trailer: the same with /XRefStm and /Prev decoys.
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog >>");
    b.SetTrailer("/Extra << /Root 9 0 R /Encrypt 9 0 R /XRefStm 3 /Prev 4 /ID [(no)] >> /Root 1 0 R /ID [(yes)]");
    TDTPDFReader r;
    Load(r, b.Build());
    EXPECT_FALSE(r.Repaired());
    EXPECT_EQ(r.GetRootTag(), "1");
    EXPECT_EQ(r.GetEncryptTag(), "");
    EXPECT_EQ(r.GetEncryption(), nullptr);
    EXPECT_EQ(r.DocID(), "yes");
}

TEST(PdfReader, StreamContentRules) {
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog >>");
    std::string text = "BT (Hello) Tj ET";
    b.Add(2, StreamObject("/Filter /FlateDecode", test::Deflate(text)));
    // Indirect /Length, and /Length1 before /Length.
    b.Add(3, "<< /Length1 99 /Length 4 0 R >>\nstream\nabcdef\nendstream");
    b.Add(4, "6");
    // A filter chain, each with its own parameters.
    std::string a85 = "87cURD]j7BEbo80~>";
    b.Add(5, StreamObject("/Filter [/FlateDecode /ASCII85Decode] /DecodeParms [null null]", test::Deflate(a85)));
    // Predictor 12 with 4 columns through /DecodeParms.
    std::string rows("\x02\x01\x02\x03\x04\x02\x01\x01\x01\x01", 10);
    b.Add(6, StreamObject("/Filter /FlateDecode /DecodeParms << /Predictor 12 /Columns 4 >>", test::Deflate(rows)));
    b.Add(7, "<< /Length 3 >>\nstream\r\nxyz\r\nendstream");   // CR LF around the data
    b.Add(8, "<< /Length 5 >>\nstream\nxyz\r\nendstream");      // length covers the line end
    b.Add(9, "<< /Length 99 >>\nstream\rxyz\nendstream");       // CR alone; wrong length
    b.Add(10, "<< /Filter /DCTDecode /Length 4 >>\nstream\nJPEG\nendstream");
    b.Add(11, "<< /Length 0 >>\nstream\nendstream");
    b.Add(12, "<< /Filter /ASCIIHexDecode >>\nstream\n41 42 4>\nendstream");
    std::string file = b.Build();
    TDTPDFReader r;
    Load(r, file);
    EXPECT_EQ(r.GetDecodedStream(2), text);
    TDTPDFFilterContent fc = r.GetFilterContent(r.GetBodyByRefNo(3));
    EXPECT_EQ(fc.Length, 6);
    EXPECT_EQ(fc.Length1, 99);
    EXPECT_EQ(fc.Filter, "");
    EXPECT_EQ(r.GetDecodedStream(3), "abcdef");
    fc = r.GetFilterContent(r.GetBodyByRefNo(5));
    EXPECT_EQ(fc.Filter, "/flatedecode");
    EXPECT_EQ(fc.Filters.size(), 2u);
    EXPECT_EQ(r.GetDecodedStream(5), "Hello world!");
    int32_t hint = 0;
    std::string body6 = r.GetBodyByRefNo(6);
    fc = r.GetFilterContent(body6);
    EXPECT_EQ(r.GetStreamContent(fc.Filter, body6, fc.Length, hint, 6), std::string("\x01\x02\x03\x04\x02\x03\x04\x05", 8));
    EXPECT_EQ(hint, 8);
    EXPECT_EQ(r.GetDecodedStream(7), "xyz");
    EXPECT_EQ(r.GetDecodedStream(8), "xyz\r\n");
    EXPECT_EQ(r.GetDecodedStream(9), "xyz");
    EXPECT_EQ(r.GetDecodedStream(10), "JPEG");
    EXPECT_EQ(r.GetDecodedStream(11), "");
    EXPECT_EQ(r.GetDecodedStream(12), "AB@");
    EXPECT_EQ(r.GetDecodedStream(1), "");  // not a stream
}

TEST(PdfReader, NestedLookupsAreBounded) {
    // /Length values that refer to each other, and a font dictionary that
    // refers to itself, end without a hang.
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog >>");
    b.Add(2, "<< /Length 3 0 R >>\nstream\nabc\nendstream");
    b.Add(3, "<< /Length 2 0 R >>\nstream\nabc\nendstream");
    b.Add(4, "<< /Font 4 0 R >>");
    std::string file = b.Build();
    TDTPDFReader r;
    Load(r, file);
    EXPECT_EQ(r.GetDecodedStream(2), "abc");
    // One reference is followed, once.
    EXPECT_EQ(r.GetDoubleBracketValue("/font", PdfLower(r.GetBodyByRefNo(4))), "/font 4 0 r");
}

TEST(PdfReader, SurvivesTruncationAndFlippedBytes) {
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.AddCompressed(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.AddCompressed(3, "<< /Type /Page >>");
    b.Add(4, StreamObject("/Filter /FlateDecode /DecodeParms << /Predictor 15 /Columns 3 /Colors 2 >>",
                          test::Deflate(std::string(64, '\x02'))));
    std::string file = b.Build(PdfBuilder::XRef::Stream);
    auto exercise = [](const std::string& bytes) {
        TDTPDFReader r;
        try {
            Load(r, bytes);
            for (int32_t n = 0; n < r.XRefs().Count(); ++n) {
                r.GetBodyByRefNo(n);
                r.GetDecodedStream(n);
            }
        } catch (const Exception&) {
        }
    };
    for (size_t cut = 0; cut < file.size(); cut += 7) exercise(file.substr(0, cut) + "\n%%EOF\n");
    for (size_t i = 0; i < file.size(); i += 3) {
        std::string f = file;
        f[i] = static_cast<char>(f[i] ^ 0x5A);
        exercise(f);
    }
}

}  // namespace
}  // namespace quillmark
