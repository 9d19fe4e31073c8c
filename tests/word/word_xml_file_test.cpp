// The Word 2007 reader over packages made by ZipBuilder (paragraphs, runs,
// fonts, tabs, breaks, nested paragraphs, headers, properties, compound-file
// input) and over real .docx files checked against their truth text.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "quillmark/format_registry.h"
#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/date_time.h"
#include "quillmark/framework/exception.h"
#include "quillmark/word/word_xml_file.h"
#include "support/compound_file_builder.h"
#include "support/test_support.h"
#include "support/zip_builder.h"

namespace quillmark {
namespace {

using test::ZipBuilder;

const char* kNs =
    "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
    "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\"";

std::string Document(const std::string& body) {
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<w:document ") + kNs +
           "><w:body>" + body + "<w:sectPr><w:pgSz w:w=\"12240\"/></w:sectPr></w:body></w:document>";
}

std::string Para(const std::string& text) { return "<w:p><w:r><w:t>" + text + "</w:t></w:r></w:p>"; }

std::string Package(const std::string& body, ZipBuilder b = {}) {
    b.Add("[Content_Types].xml", "<Types/>");
    b.Add("word/document.xml", Document(body));
    return b.Build();
}

struct Loaded {
    TWordXmlFile reader;
    Loaded(const std::string& bytes, TMSTextFormating format = tfPlainText) {
        reader.SetTextFormating(format);
        TMemoryStream stream(bytes);
        reader.LoadFromStream(stream);
    }
    std::vector<std::u16string> lines() const { return reader.Text().Lines(); }
};

std::vector<std::u16string> Body(const TWideStrings& list, TMSTextFormating format) {
    // The lines between the frame lines (none in plain text).
    std::vector<std::u16string> all = list.Lines();
    if (format == tfPlainText) return all;
    EXPECT_GE(all.size(), 2u);
    return std::vector<std::u16string>(all.begin() + 1, all.end() - 1);
}

TEST(WordXmlFile, EachParagraphIsOneLineBetweenTheFrames) {
    std::string pkg = Package(Para("One") + Para("Two") + "<w:p/>" + Para("Three"));
    Loaded plain(pkg);
    EXPECT_EQ(plain.lines(), (std::vector<std::u16string>{u"One", u"Two", u"Three"}));
    Loaded rtf(pkg, tfRTF);
    EXPECT_EQ(Body(rtf.reader.Text(), tfRTF), (std::vector<std::u16string>{u"One", u"Two", u"Three"}));
    EXPECT_EQ(rtf.lines().back(), u"\r\n}");
    Loaded html(pkg, tfHTML);
    EXPECT_EQ(Body(html.reader.Text(), tfHTML),
              (std::vector<std::u16string>{u"<p>One</p>", u"<p>Two</p>", u"<p></p>", u"<p>Three</p>"}));
}

TEST(WordXmlFile, RunsWithFontColourAndSizeGetAFontTagInHtml) {
    auto run = [](const std::string& props) {
        return "<w:p><w:r><w:rPr>" + props + "</w:rPr><w:t>Red</w:t></w:r></w:p>";
    };
    std::string full = "<w:rFonts w:ascii=\"Arial\" w:cs=\"Arial\"/><w:color w:val=\"FF0000\"/><w:sz w:val=\"36\"/>";
    std::string noColour = "<w:rFonts w:cs=\"Arial\"/><w:sz w:val=\"24\"/>";
    std::string odd = "<w:rFonts w:cs=\"A&amp;B\"/><w:color w:val=\"00FF00\"/><w:sz w:val=\"x\"/>";
    Loaded html(Package(run(full) + run(noColour) + run(odd)), tfHTML);
    auto body = Body(html.reader.Text(), tfHTML);
    ASSERT_EQ(body.size(), 3u);
    EXPECT_EQ(body[0], u"<p> <font face=\"Arial\" color=\"#FF0000\" size=\"5\">Red</font></p>");
    EXPECT_EQ(body[1], u"<p>Red</p>");
    EXPECT_EQ(body[2], u"<p> <font face=\"A&amp;B\" color=\"#00FF00\" size=\"-1\">Red</font></p>");
    Loaded rtf(Package(run(full)), tfRTF);
    EXPECT_EQ(Body(rtf.reader.Text(), tfRTF), std::vector<std::u16string>{u"Red"});
}

TEST(WordXmlFile, TabsBreaksAndHyphensRenderPerFormat) {
    std::string body =
        "<w:p><w:pPr><w:tabs><w:tab w:val=\"left\" w:pos=\"720\"/></w:tabs></w:pPr>"
        "<w:r><w:t>a</w:t><w:tab/><w:t>b</w:t><w:br/><w:t>c</w:t><w:cr/><w:t>d</w:t>"
        "<w:noBreakHyphen/><w:t>e</w:t></w:r></w:p>";
    std::string pkg = Package(body);
    EXPECT_EQ(Loaded(pkg).lines(), std::vector<std::u16string>{u"a\tb\r\nc\r\nd-e"});
    EXPECT_EQ(Body(Loaded(pkg, tfRTF).reader.Text(), tfRTF),
              std::vector<std::u16string>{u"a\\tab b\\line c\\line d-e"});
    EXPECT_EQ(Body(Loaded(pkg, tfHTML).reader.Text(), tfHTML),
              std::vector<std::u16string>{u"<p>a&#9;b<br>c<br>d-e</p>"});
}

TEST(WordXmlFile, DocumentTextIsEscapedForTheMarkupButKeepsItsQuotes) {
    std::string pkg = Package(Para("\"x &lt; y\" &amp; {z}\\") + Para("&#x4E2D;"));
    EXPECT_EQ(Loaded(pkg).lines(), (std::vector<std::u16string>{u"\"x < y\" & {z}\\", u"\u4E2D"}));
    auto html = Body(Loaded(pkg, tfHTML).reader.Text(), tfHTML);
    EXPECT_EQ(html[0], u"<p>&quot;x &lt; y&quot; &amp; {z}\\</p>");
    auto rtf = Body(Loaded(pkg, tfRTF).reader.Text(), tfRTF);
    EXPECT_EQ(rtf[0], u"\"x < y\" & \\{z\\}\\\\");
    EXPECT_EQ(rtf[1], u"\\u20013?");
}

TEST(WordXmlFile, ANestedParagraphFirstOutputsTheOuterTextSoFar) {
    std::string body =
        "<w:p><w:r><w:t>Before</w:t></w:r><w:r><mc:AlternateContent><mc:Choice><w:drawing><w:txbxContent>" +
        Para("Inside") +
        "</w:txbxContent></w:drawing></mc:Choice><mc:Fallback><w:pict><w:txbxContent>" + Para("Inside") +
        "</w:txbxContent></w:pict></mc:Fallback></mc:AlternateContent></w:r>"
        "<w:r><w:t>After</w:t></w:r></w:p>"
        "<w:p><w:r><w:drawing><w:txbxContent>" + Para("Only") + "</w:txbxContent></w:drawing></w:r></w:p>";
    std::string pkg = Package(body);
    EXPECT_EQ(Loaded(pkg).lines(), (std::vector<std::u16string>{u"Before", u"Inside", u"After", u"Only"}));
    EXPECT_EQ(Body(Loaded(pkg, tfHTML).reader.Text(), tfHTML),
              (std::vector<std::u16string>{u"<p>Before</p>", u"<p>Inside</p>", u"<p>After</p>", u"<p>Only</p>"}));
}

TEST(WordXmlFile, NotesHeadersAndFootersGoToTheirLists) {
    auto part = [](const char* root, const std::string& text) {
        return std::string("<w:") + root + " " + kNs + ">" + Para(text) + "</w:" + root + ">";
    };
    ZipBuilder b;
    b.Add("word/footnotes.xml", part("footnotes", "Foot"));
    b.Add("word/header10.xml", part("hdr", "Header ten"));
    b.Add("word/header2.xml", part("hdr", "Header two"));
    b.Add("word/header1.xml", part("hdr", "Header one"));
    b.Add("word/headerx.xml", part("hdr", "Not a header part"));
    b.Add("word/footer1.xml", part("ftr", "Footer one"));
    b.Add("word/footer3.xml", part("ftr", "Footer three"));
    std::string pkg = Package(Para("Body"), b);
    Loaded plain(pkg);
    EXPECT_EQ(plain.reader.FootNoteText().Lines(), std::vector<std::u16string>{u"Foot"});
    EXPECT_EQ(plain.reader.HeaderText().Lines(),
              (std::vector<std::u16string>{u"Header one", u"Header two", u"Header ten"}));
    EXPECT_EQ(plain.reader.FooterText().Lines(), (std::vector<std::u16string>{u"Footer one", u"Footer three"}));
    EXPECT_EQ(plain.reader.EndNoteText().Count(), 0);
    // Every list has its frame, even without a part.
    Loaded html(pkg, tfHTML);
    EXPECT_EQ(html.reader.EndNoteText().Count(), 2);
    EXPECT_EQ(html.reader.HeaderText().Count(), 5);
    EXPECT_EQ(html.reader.EndNoteText()[1], u"\r\n</body>\r\n</html>");
}

TEST(WordXmlFile, PropertiesFromCoreAndAppParts) {
    ZipBuilder b;
    b.Add("docProps/core.xml",
          "<?xml version=\"1.0\"?><cp:coreProperties xmlns:cp=\"c\" xmlns:dc=\"d\" xmlns:dcterms=\"t\">"
          "<dc:title>T &amp; T</dc:title><dc:creator>Ann</dc:creator><cp:revision>3</cp:revision>"
          "<dcterms:created xsi:type=\"dcterms:W3CDTF\">2009-03-17T10:22:05Z</dcterms:created>"
          "<dcterms:modified>2009-03-18</dcterms:modified></cp:coreProperties>");
    b.Add("docProps/app.xml",
          "<?xml version=\"1.0\"?><Properties xmlns=\"x\"><Template>Normal.dotm</Template>"
          "<Pages>4</Pages><Words>seven</Words><Characters></Characters><Company>ACME</Company>"
          "<CharactersWithSpaces>1234</CharactersWithSpaces></Properties>");
    Loaded l(Package(Para("x"), b));
    const TDTWordSummaryInformation& s = l.reader.SummaryInformation();
    EXPECT_EQ(s.Title(), u"T & T");
    EXPECT_EQ(s.Author(), u"Ann");
    EXPECT_EQ(s.Subject(), u"");
    EXPECT_EQ(s.RevNumber(), u"3");
    TCalendarTime c = DecodeDateTime(s.Created());
    EXPECT_EQ(c.Year, 2009);
    EXPECT_EQ(c.Second, 5);
    EXPECT_EQ(s.LastSaved(), 0);  // a date without a time
    EXPECT_EQ(s.Template(), u"Normal.dotm");
    EXPECT_EQ(s.PageCount(), 4);
    EXPECT_EQ(s.WordCount(), 0);   // not a number
    EXPECT_EQ(s.CharCount(), 0);   // empty
    EXPECT_EQ(s.LineCount(), 0);   // missing
    EXPECT_EQ(s.Company(), u"ACME");
    EXPECT_EQ(s.CharCount2(), 1234);
    EXPECT_EQ(l.lines(), std::vector<std::u16string>{u"x"});
}

TEST(WordXmlFile, ParseItemsChooseTextAndMetadata) {
    ZipBuilder b;
    b.Add("docProps/core.xml", "<cp:coreProperties><dc:title>Title</dc:title></cp:coreProperties>");
    std::string pkg = Package(Para("x"), b);
    TWordXmlFile reader;
    reader.SetParseItems({wpiSummaryInformation});
    TMemoryStream stream(pkg);
    reader.LoadFromStream(stream);
    EXPECT_EQ(reader.Text().Count(), 0);
    EXPECT_EQ(reader.SummaryInformation().Title(), u"Title");
    TWordXmlFile textOnly;
    textOnly.SetParseItems({wpiText});
    TMemoryStream again(pkg);
    textOnly.LoadFromStream(again);
    EXPECT_EQ(textOnly.Text().Count(), 1);
    EXPECT_EQ(textOnly.SummaryInformation().Title(), u"");
}

TEST(WordXmlFile, PackagesInsideACompoundFileAndWithAContainerHeader) {
    std::string pkg = Package(Para("Embedded"));
    test::CompoundFileBuilder cf;
    cf.AddStream(u"Package", pkg);
    cf.AddStream(u"\x01" u"CompObj", "x");
    std::string ole = cf.Build();
    TWordXmlFile reader;
    TMemoryStream stream(ole);
    reader.LoadFromOLEStream(stream);
    EXPECT_EQ(reader.Text().Lines(), std::vector<std::u16string>{u"Embedded"});
    EXPECT_TRUE(TWordXmlFile::IsWordXmlData(ole));
    EXPECT_STREQ(FormatName(DetectFormat(ole)), "docx");

    // "BDOC" and 8 more bytes before the package.
    TWordXmlFile bdoc;
    TMemoryStream prefixed("BDOC" + std::string(8, '\0') + pkg);
    bdoc.LoadFromOLEStream(prefixed);
    EXPECT_EQ(bdoc.Text().Lines(), std::vector<std::u16string>{u"Embedded"});

    // A compound file without a "Package" stream loads nothing.
    test::CompoundFileBuilder empty;
    empty.AddStream(u"WordDocument", "x");
    std::string noPackage = empty.Build();
    TWordXmlFile none;
    TMemoryStream s3(noPackage);
    none.LoadFromOLEStream(s3);
    EXPECT_EQ(none.Text().Count(), 0);
    EXPECT_FALSE(TWordXmlFile::IsWordXmlData(noPackage));
}

TEST(WordXmlFile, FilesThatAreNoPackageAreRejectedByName) {
    std::string path = ::testing::TempDir() + "quillmark_not_docx.docx";
    std::ofstream(path, std::ios::binary) << "plain text, not a package";
    TWordXmlFile reader;
    try {
        reader.LoadFromFile(path);
        ADD_FAILURE() << "loaded";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "File " + path + " is not valid MS Word document");
    }
    EXPECT_THROW(reader.LoadFromFile(path + ".missing"), Exception);
    // A zip without word/document.xml is not detected as .docx, but loads empty.
    ZipBuilder b;
    b.Add("content.xml", "<office:document/>");
    std::string zip = b.Build();
    EXPECT_STREQ(FormatName(DetectFormat(zip)), "zip");  // a zip, but no Word package
    EXPECT_EQ(Loaded(zip).reader.Text().Count(), 0);
}

TEST(WordXmlFile, LoadXMLFilePartAppendsOnePartFramed) {
    TWordXmlFile reader;
    reader.SetTextFormating(tfHTML);
    TWideStrings list;
    reader.LoadXMLFilePart(nullptr, list);
    EXPECT_EQ(list.Count(), 0);
    TMemoryStream part(Document(Para("a") + Para("b")));
    reader.LoadXMLFilePart(&part, list);
    ASSERT_EQ(list.Count(), 4);
    EXPECT_EQ(list[1], u"<p>a</p>");
    EXPECT_EQ(list[2], u"<p>b</p>");
}

TEST(WordXmlFile, BadPartsRaiseTheZipErrors) {
    ZipBuilder b;
    b.Add("word/document.xml", Document(Para("x")));
    b.members[0].crc = 1;
    TWordXmlFile reader;
    TMemoryStream stream(b.Build());
    EXPECT_THROW(reader.LoadFromStream(stream), EZipFileCRCError);
}

TEST(WordXmlFile, MaxTextLengthStopsTheWalk) {
    std::string body;
    for (int i = 0; i < 1000; ++i) body += Para("paragraph " + std::to_string(i));
    TWordXmlFile reader;
    reader.SetMaxTextLength(100);
    TMemoryStream stream(Package(body));
    reader.LoadFromStream(stream);
    EXPECT_LE(reader.Text().Text().size(), 102u);
}

TEST(WordXmlFile, DamagedPackagesNeverCrash) {
    ZipBuilder b;
    b.Add("word/footnotes.xml", "<w:footnotes>" + Para("f") + "</w:footnotes>");
    b.Add("docProps/app.xml", "<Properties><Pages>1</Pages></Properties>");
    std::string good = Package(Para("Hello") + Para("World"), b);
    auto load = [](const std::string& bytes) {
        for (auto format : {tfPlainText, tfHTML}) {
            TWordXmlFile reader;
            reader.SetTextFormating(format);
            TMemoryStream stream(bytes);
            try {
                reader.LoadFromStream(stream);
            } catch (const Exception&) {
            }
        }
    };
    for (size_t n = 0; n < good.size(); n += 11) load(good.substr(0, n));
    uint32_t x = 3;
    for (int round = 0; round < 1500; ++round) {
        std::string bad = good;
        x = x * 1103515245u + 12345u;
        bad[(x >> 8) % bad.size()] = static_cast<char>(x >> 24);
        load(bad);
    }
}

// Real documents written by LibreOffice: every word of the truth text, in
// order; footnote lines in FootNoteText and the running header in HeaderText.
TEST(WordXmlFileReal, GeneratedDocumentsGiveEveryTruthWordInItsList) {
    for (const char* name : {"basic_3", "multi_3", "notes_3", "long_3"}) {
        SCOPED_TRACE(name);
        TWordXmlFile reader;
        reader.LoadFromFile(test::DataPath(std::string("docx/") + name + ".docx"));
        std::string truth = test::ReadDataFile(std::string("docx/") + name + ".truth.txt");
        std::string main, notes, header;
        size_t start = 0;
        while (start < truth.size()) {
            size_t end = truth.find('\n', start);
            if (end == std::string::npos) end = truth.size();
            std::string line = truth.substr(start, end - start) + "\n";
            if (line.rfind("Footnote number", 0) == 0) notes += line;
            else if (line.rfind("Running header", 0) == 0) header += line;
            else main += line;
            start = end + 1;
        }
        EXPECT_EQ(test::InOrderRecall(main, Utf16ToUtf8(reader.Text().Text())), 1.0);
        if (!notes.empty()) {
            EXPECT_EQ(test::InOrderRecall(notes, Utf16ToUtf8(reader.FootNoteText().Text())), 1.0);
        }
        if (!header.empty()) {
            EXPECT_EQ(test::InOrderRecall(header, Utf16ToUtf8(reader.HeaderText().Text())), 1.0);
        }
        const TDTWordSummaryInformation& s = reader.SummaryInformation();
        EXPECT_EQ(s.Title(), u"Title of " + Utf8ToUtf16(name));
        EXPECT_EQ(s.Subject(), u"Subject 3");
        EXPECT_EQ(s.Author(), u"Author Number3");
        EXPECT_EQ(s.Keywords(), u"corpus3 testing");
        EXPECT_EQ(s.Comments(), u"Description of " + Utf8ToUtf16(name));
        EXPECT_EQ(DateTimeToIso8601(s.Created()), "2013-03-04T05:06:07");
        EXPECT_TRUE(s.AppName().starts_with(u"LibreOffice")) << Utf16ToUtf8(s.AppName());
    }
}

TEST(WordXmlFileReal, PublicSamples) {
    auto load = [](const char* name) {
        auto r = std::make_unique<TWordXmlFile>();
        r->LoadFromFile(test::DataPath(std::string("docx/") + name));
        return r;
    };
    // Three sections, three header parts, in numeric order.
    EXPECT_EQ(load("poi_Headers.docx")->HeaderText().Lines(),
              (std::vector<std::u16string>{u"Section 1", u"Section 2", u"Section 3"}));
    auto hf = load("poi_headerFooter.docx");
    EXPECT_EQ(Utf16ToUtf8(hf->HeaderText().Text()).find("This is a simple header"), 0u);
    EXPECT_NE(Utf16ToUtf8(hf->FooterText().Text()).find("and this is a simple footer."), std::string::npos);
    // Text boxes: the DrawingML text once (its VML fallback is skipped).
    auto tb = load("tika_testWORD_text_box.docx");
    EXPECT_EQ(tb->Text().Lines(),
              (std::vector<std::u16string>{u"This text is inside of a text box in the body of the document.",
                                           u"This text is directly in the body of the document."}));
    EXPECT_EQ(tb->FooterText().Count(), 1);
    EXPECT_EQ(load("poi_endnotes.docx")->EndNoteText().Count(), 1);
    EXPECT_EQ(load("tika_footnotes.docx")->FootNoteText().Lines(), std::vector<std::u16string>{u" snoska"});
    // The last character is a Symbol-font character kept in the private use area.
    EXPECT_EQ(load("pandoc_unicode.docx")->Text().Lines(),
              std::vector<std::u16string>{u"Hello, \u4E16\u754C. This costs \u20AC10.\uF028"});
}

TEST(WordXmlFileCli, ExtractInfoAndLsReadDocx) {
    std::string file = test::DataPath("docx/notes_3.docx");
    test::CliResult extract = test::RunCli("extract " + file);
    EXPECT_EQ(extract.status, 0);
    EXPECT_EQ(extract.out.find("Corpus document notes 3\n"), 0u) << extract.out.substr(0, 200);
    test::CliResult info = test::RunCli("info " + file);
    EXPECT_NE(info.out.find("\"format\":\"docx\""), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\"Title\":\"Title of notes_3\""), std::string::npos) << info.out;
    test::CliResult ls = test::RunCli("ls --read " + file);
    EXPECT_EQ(ls.status, 0);
    EXPECT_NE(ls.out.find("word/document.xml  27477  5994\n"), std::string::npos) << ls.out;
    EXPECT_EQ(ls.out.find("unreadable"), std::string::npos);
}

}  // namespace
}  // namespace quillmark
