// The OpenDocument readers on real files and on crafted packages: corpus
// documents against their truth, flat documents, metadata, headers and
// footers, detection helpers, and damaged input.
#include "quillmark/readers/odf_documents.h"

#include <gtest/gtest.h>

#include "quillmark/format_registry.h"

#include <cmath>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "quillmark/readers/odf_meta.h"
#include "support/odf_builder.h"
#include "support/test_support.h"
#include "support/zip_builder.h"

namespace quillmark {
namespace {

using test::OdfBuilder;

std::string Utf8(const TWideStrings& list) { return Utf16ToUtf8(list.Text()); }

std::unique_ptr<TCustomOpenOfficeDocument> ReaderFor(const std::string& name) {
    if (name.ends_with(".ods") || name.ends_with(".fods")) return std::make_unique<TOpenOfficeSpreadsheet>();
    if (name.ends_with(".odp") || name.ends_with(".fodp")) return std::make_unique<TOpenOfficePresentation>();
    return std::make_unique<TOpenOfficeTextDocument>();
}

TEST(OdfDocuments, GeneratedCorpusGivesEveryWordInOrder) {
    for (const char* name : {"odf/notes_3.odt", "odf/sheet_3.ods", "odf/slides_3.odp"}) {
        auto reader = ReaderFor(name);
        reader->LoadFromFile(test::DataPath(name));
        std::string stem = std::string(name).substr(0, std::string(name).rfind('.'));
        std::string truth = test::ReadDataFile(stem + ".truth.txt");
        // The running header is in its own list; footnotes follow their
        // paragraph (the truth has them before it), so they are checked in
        // the notes list and the rest of the truth in order in the body.
        std::string body, notes;
        size_t at = 0;
        while (at < truth.size()) {
            size_t end = truth.find('\n', at);
            if (end == std::string::npos) end = truth.size();
            std::string line = truth.substr(at, end - at);
            (line.starts_with("Footnote number") ? notes : body) += line + "\n";
            at = end + 1;
        }
        std::string got = Utf8(reader->HeaderText()) + "\n" + Utf8(reader->Text());
        EXPECT_DOUBLE_EQ(test::InOrderRecall(body, got), 1.0) << name;
        EXPECT_DOUBLE_EQ(test::InOrderRecall(notes, Utf8(reader->NoteText())), 1.0) << name;
    }
}

TEST(OdfDocuments, HeadersAndFootersGoToTheirOwnLists) {
    TOpenOfficeTextDocument reader;
    reader.LoadFromFile(test::DataPath("odf/notes_3.odt"));
    EXPECT_EQ(Utf8(reader.HeaderText()), "Running header of the corpus document \r\n");
    EXPECT_EQ(Utf8(reader.FooterText()), "Page 1\r\n");
    EXPECT_EQ(reader.PartText(TDocumentPart::Headers), &reader.HeaderText());
    EXPECT_EQ(reader.PartText(TDocumentPart::Footers), &reader.FooterText());
    EXPECT_EQ(Utf8(reader.Text()).find("Running header"), std::string::npos);
    // Footnote bodies: in the text after their paragraph, and in the notes.
    std::string notes = Utf8(reader.NoteText());
    EXPECT_NE(notes.find("Footnote number 2 explains A in detail."), std::string::npos);

    OdfBuilder b;
    b.body = "<text:p>body</text:p>";
    b.masterStyles = "<style:master-page style:name=\"Standard\"><style:header><text:p>H1</text:p></style:header>"
                     "<style:header-left><text:p>H2</text:p></style:header-left><style:footer><text:p>F1</text:p>"
                     "</style:footer><style:footer-first><text:p>F2</text:p></style:footer-first></style:master-page>";
    for (bool flat : {false, true}) {
        TOpenOfficeTextDocument r;
        TMemoryStream s(flat ? b.Flat() : b.Package());
        r.LoadFromStream(s);
        EXPECT_EQ(Utf8(r.HeaderText()), "H1\r\nH2\r\n") << flat;
        EXPECT_EQ(Utf8(r.FooterText()), "F1\r\nF2\r\n") << flat;
        EXPECT_EQ(Utf8(r.Text()), "\r\nbody\r\n\r\n") << flat;
    }
}

TEST(OdfDocuments, MetadataFromMetaXml) {
    TOpenOfficeTextDocument reader;
    reader.LoadFromFile(test::DataPath("odf/notes_3.odt"));
    const TDTWordSummaryInformation& s = reader.SummaryInformation();
    EXPECT_EQ(s.Title(), u"Title of notes_3");
    EXPECT_EQ(s.Subject(), u"Subject 3");
    EXPECT_EQ(s.Author(), u"Author Number3");
    EXPECT_EQ(s.Keywords(), u"corpus3 testing");
    EXPECT_EQ(s.Comments(), u"Description of notes_3");
    EXPECT_EQ(s.AppName(), u"ODFPY/1.4.2");
    EXPECT_EQ(s.Created(), XMLStringToDateTime(u"2013-03-04T05:06:07"));

    OdfBuilder b;
    b.body = "<text:p>x</text:p>";
    b.meta = "<meta:initial-creator>First</meta:initial-creator><dc:creator>Last</dc:creator>"
             "<meta:keyword>a</meta:keyword><meta:keyword>b &amp; c</meta:keyword>"
             "<meta:creation-date>2009-10-05T19:04:01</meta:creation-date><dc:date>2009-10-05T21:22:38.5</dc:date>"
             "<meta:editing-duration>PT02H03M24S</meta:editing-duration><meta:editing-cycles>7</meta:editing-cycles>"
             "<meta:template xlink:href=\"t.ott\" xlink:title=\"Tmpl\"/>"
             "<meta:document-statistic meta:page-count=\"2\" meta:paragraph-count=\"13\" meta:word-count=\"54\""
             " meta:character-count=\"351\" meta:table-count=\"x\"/>";
    for (bool flat : {false, true}) {
        TOpenOfficeTextDocument r;
        r.SetParseItems({wpiSummaryInformation});
        TMemoryStream st(flat ? b.Flat() : b.Package());
        r.LoadFromStream(st);
        const TDTWordSummaryInformation& m = r.SummaryInformation();
        EXPECT_EQ(m.Author(), u"First");
        EXPECT_EQ(m.LastAuthor(), u"Last");
        EXPECT_EQ(m.Keywords(), u"a, b & c");
        EXPECT_EQ(m.Created(), XMLStringToDateTime(u"2009-10-05T19:04:01"));
        EXPECT_EQ(m.LastSaved(), XMLStringToDateTime(u"2009-10-05T21:22:38"));
        EXPECT_EQ(m.EditTime(), 123);
        EXPECT_EQ(m.RevNumber(), u"7");
        EXPECT_EQ(m.Template(), u"Tmpl");
        EXPECT_EQ(m.PageCount(), 2);
        EXPECT_EQ(m.ParagraphCount(), 13);
        EXPECT_EQ(m.WordCount(), 54);
        EXPECT_EQ(m.CharCount(), 351);
        EXPECT_EQ(r.Text().Count(), 0);  // text was not asked for
    }
}

TEST(OdfDocuments, EditingDurations) {
    struct {
        const char16_t* text;
        int minutes;
    } cases[] = {{u"PT02H03M24S", 123}, {u"P1DT30M", 1470}, {u"PT59S", 0}, {u"PT1.5S", 0}, {u"P1W", 10080},
                 {u"PT", 0},            {u"2H", 0},         {u"PTH", 0},   {u"P1H", 0},     {u"PT99999999999H", 0}};
    for (const auto& c : cases) EXPECT_EQ(OdfDurationMinutes(c.text), c.minutes) << Utf16ToUtf8(c.text);
}

TEST(OdfDocuments, FlatDocumentsReadLikePackages) {
    OdfBuilder b;
    b.body = "<text:p text:style-name=\"P1\">Hello <text:span>flat</text:span> world</text:p>";
    b.automaticStyles = "<style:style style:name=\"P1\" style:family=\"paragraph\"/>";
    for (auto format : {tfPlainText, tfRTF, tfHTML}) {
        TOpenOfficeTextDocument fromPackage, fromFlat;
        fromPackage.SetTextFormating(format);
        fromFlat.SetTextFormating(format);
        TMemoryStream p(b.Package()), f(b.Flat());
        fromPackage.LoadFromStream(p);
        fromFlat.LoadFromStream(f);
        EXPECT_EQ(fromFlat.Text().Text(), fromPackage.Text().Text()) << format;
        EXPECT_NE(Utf8(fromFlat.Text()).find("Hello flat world"), std::string::npos);
    }
}

TEST(OdfDocuments, LibreOfficeFlatFiles) {
    struct {
        const char* name;
        const char* truth;
    } files[] = {{"odf/lo_flat.fodt", "odf/lo_secret.truth.txt"}, {"odf/lo_flat.fods", "odf/lo_sheet.truth.txt"}};
    for (const auto& f : files) {
        std::string bytes = test::ReadDataFile(f.name);
        std::string kind = TCustomOpenOfficeDocument::KindOfFlatDocument(bytes);
        EXPECT_EQ(kind, std::string(f.name).ends_with("fods") ? "ods" : "odt");
        auto reader = ReaderFor(f.name);
        reader->LoadFromFile(test::DataPath(f.name));
        EXPECT_DOUBLE_EQ(test::InOrderRecall(test::ReadDataFile(f.truth), Utf8(reader->Text())), 1.0) << f.name;
        EXPECT_NE(reader->SummaryInformation().AppName().find(u"LibreOffice"), std::u16string::npos) << f.name;
    }
}

TEST(OdfDocuments, KindsFromMimeTypesAndFlatRoots) {
    struct {
        const char* mime;
        const char* kind;
    } cases[] = {{"application/vnd.oasis.opendocument.text", "odt"},
                 {"application/vnd.oasis.opendocument.text-template", "odt"},
                 {"application/vnd.oasis.opendocument.spreadsheet", "ods"},
                 {"application/vnd.oasis.opendocument.spreadsheet-template", "ods"},
                 {"application/vnd.oasis.opendocument.presentation", "odp"},
                 {"application/vnd.oasis.opendocument.presentation-template", "odp"},
                 {"application/vnd.oasis.opendocument.graphics", ""},
                 {"application/vnd.openxmlformats-officedocument.wordprocessingml.document", ""},
                 {"", ""}};
    for (const auto& c : cases) {
        EXPECT_EQ(TCustomOpenOfficeDocument::KindOfPackageMimeType(c.mime), c.kind) << c.mime;
        OdfBuilder b;
        b.mimeType = c.mime;
        b.bodyTag = "office:drawing";  // the mime type decides
        EXPECT_EQ(TCustomOpenOfficeDocument::KindOfFlatDocument(b.Flat()), c.kind) << c.mime;
    }
    OdfBuilder b;
    b.mimeType = "";
    b.bodyTag = "office:spreadsheet";  // no mime type: the body decides
    EXPECT_EQ(TCustomOpenOfficeDocument::KindOfFlatDocument(b.Flat()), "ods");
    EXPECT_EQ(TCustomOpenOfficeDocument::KindOfContent(b.ContentXml()), "ods");
    EXPECT_EQ(TCustomOpenOfficeDocument::KindOfFlatDocument("<html><body/></html>"), "");
    EXPECT_EQ(TCustomOpenOfficeDocument::KindOfFlatDocument("<!-- c --><?pi x?><office:document>"
                                                            "<office:body><office:text/></office:body></office:document>"),
              "odt");
}

TEST(OdfDocuments, PublicFilesLoad) {
    for (const char* name : {"odf/LibreOfficeWriter_odt_1.3.odt", "odf/LibreOfficeCalc_ods_1.3.ods",
                             "odf/odftk_HeaderFooter.odt", "odf/pandoc_trackedChanges.odt", "odf/tika_testMasterFooter.odp"}) {
        auto reader = ReaderFor(name);
        reader->LoadFromFile(test::DataPath(name));
        // (The master-footer slide show has its only text in the footer.)
        EXPECT_GT(reader->Text().TextLength() + reader->FooterText().TextLength(), 20u) << name;
    }
}

TEST(OdfDocuments, TrackedChangesKeepOnlyTheCurrentText) {
    TOpenOfficeTextDocument reader;
    reader.LoadFromFile(test::DataPath("odf/pandoc_trackedChanges.odt"));
    std::string text = Utf8(reader.Text());
    // The deletion is kept in text:tracked-changes only.
    EXPECT_EQ(text.find("deleted"), std::string::npos) << text;
    EXPECT_NE(text.find("inserted"), std::string::npos) << text;
}

TEST(OdfDocuments, PresentationFooterDeclarations) {
    TOpenOfficePresentation reader;
    reader.LoadFromFile(test::DataPath("odf/tika_testMasterFooter.odp"));
    EXPECT_NE(Utf8(reader.FooterText()).find("Master footer is here"), std::string::npos) << Utf8(reader.FooterText());
}

TEST(OdfDocuments, APackageWithoutMimeTypeIsReadByTheBodyItHas) {
    OdfBuilder b;
    b.bodyTag = "office:spreadsheet";
    b.body = "<table:table><table:table-row><table:table-cell><text:p>cell</text:p></table:table-cell>"
             "</table:table-row></table:table>";
    test::ZipBuilder zip;
    zip.Add("content.xml", b.ContentXml());
    TOpenOfficeTextDocument reader;
    TMemoryStream s(zip.Build());
    reader.LoadFromStream(s);
    EXPECT_EQ(Utf8(reader.Text()), "\r\ncell\r\n\r\n\r\n\r\n");
    // With a mimetype the reader keeps to its own body.
    TMemoryStream declared(b.Package());
    reader.LoadFromStream(declared);
    EXPECT_EQ(Utf8(reader.Text()), "\r\n\r\n");
}

OdfBuilder Kind(std::string mimeType, std::string bodyTag) {
    OdfBuilder b;
    b.mimeType = std::move(mimeType);
    b.bodyTag = std::move(bodyTag);
    return b;
}

TEST(OdfDocuments, RegistryDetectsEachKindWithoutInflating) {
    struct {
        std::string bytes;
        const char* name;
    } cases[] = {
        {OdfBuilder{}.Package(), "odt"},
        {Kind("application/vnd.oasis.opendocument.spreadsheet-template", "office:spreadsheet").Package(), "ods"},
        {Kind("application/vnd.oasis.opendocument.presentation", "office:presentation").Package(), "odp"},
        {Kind("application/vnd.oasis.opendocument.presentation", "office:presentation").Flat(), "odp"},
        {test::ReadDataFile("odf/lo_flat.fods"), "ods"},
        {test::ReadDataFile("odf/lo_aes256_secret.odt"), "odt"},
        {test::ReadDataFile("odf/slides_3.odp"), "odp"},
        // No mimetype: a deflated content.xml cannot be looked into, a stored one can.
        {test::ZipBuilder{}.Add("content.xml", OdfBuilder{}.ContentXml()).Add("META-INF/manifest.xml", "<m/>").Build(), "odt"},
        // Zips that are no OpenDocument are left to the generic zip entry.
        {test::ZipBuilder{}.Add("content.xml", OdfBuilder{}.ContentXml()).Build(), "zip"},
        {test::ZipBuilder{}.Add("content.xml", Kind("", "office:presentation").ContentXml(), 0).Build(), "odp"},
        {test::ZipBuilder{}.Add("content.xml", "<html/>", 0).Build(), "zip"},
        {test::ZipBuilder{}.Add("mimetype", "application/epub+zip", 0).Add("content.xml", "x").Build(), "zip"},
        {"<?xml version=\"1.0\"?><html/>", "unknown"},
    };
    for (const auto& c : cases) EXPECT_STREQ(FormatName(DetectFormat(c.bytes)), c.name) << c.name;
}

TEST(OdfDocuments, NotAnOpenDocumentFile) {
    TOpenOfficeTextDocument reader;
    TMemoryStream junk(std::string("\x01\x02 plain bytes", 14));
    EXPECT_THROW(reader.LoadFromStream(junk), EUnsupportedFormat);
    // A zip without content.xml is a damaged package, not an empty document.
    test::ZipBuilder zip;
    zip.Add("mimetype", "application/vnd.oasis.opendocument.text", 0);
    TMemoryStream noContent(zip.Build());
    EXPECT_THROW(reader.LoadFromStream(noContent), EDamagedDocument);
    EXPECT_THROW(reader.LoadFromFile(test::DataPath("odf/missing.odt")), Exception);
}

TEST(OdfDocuments, MaxTextLengthStopsTheWalk) {
    OdfBuilder b;
    for (int i = 0; i < 1000; ++i) b.body += "<text:p>paragraph number " + std::to_string(i) + "</text:p>";
    TOpenOfficeTextDocument reader;
    reader.SetMaxTextLength(100);
    TMemoryStream s(b.Package());
    reader.LoadFromStream(s);
    // The limit cuts the text; at most the closing frame's line end follows.
    EXPECT_LE(reader.Text().TextLength(), 102u);
}

// Cut and flipped copies of a real package end with a result or one of the
// library's exceptions, and the output stays within what the input can make.
TEST(OdfDocuments, DamagedCopiesFailCleanly) {
    std::string original = test::ReadDataFile("odf/notes_3.odt");
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u; };
    for (int round = 0; round < 300; ++round) {
        std::string bytes = original;
        if (round % 3 == 0) bytes.resize(next() % bytes.size());
        else
            for (int k = 0; k < 1 + round % 8; ++k) bytes[next() % bytes.size()] ^= static_cast<char>(1 + next() % 255);
        for (auto format : {tfPlainText, tfHTML}) {
            TOpenOfficeTextDocument reader;
            reader.SetTextFormating(format);
            TMemoryStream s(bytes);
            try {
                reader.LoadFromStream(s);
                EXPECT_LT(reader.Text().TextLength(), size_t{1} << 20);
            } catch (const Exception&) {
            }
        }
    }
}

}  // namespace
}  // namespace quillmark
