// The content walk, through the text, spreadsheet and presentation readers:
// what each body construct gives in each rendering.
#include "quillmark/readers/odf_content_walk.h"

#include <gtest/gtest.h>

#include <vector>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "quillmark/readers/odf_documents.h"
#include "support/odf_builder.h"

namespace quillmark {
namespace {

using test::OdfBuilder;

std::vector<std::string> Lines(const TWideStrings& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i) out.push_back(Utf16ToUtf8(list[i]));
    return out;
}

// The lines between the frames (plain text frames are empty lines).
std::vector<std::string> Body(TCustomOpenOfficeDocument& reader, const OdfBuilder& b,
                              TMSTextFormating format = tfPlainText) {
    reader.SetTextFormating(format);
    TMemoryStream s(b.Package());
    reader.LoadFromStream(s);
    std::vector<std::string> all = Lines(reader.Text());
    if (all.size() < 2) return {"<frames missing>"};
    return std::vector<std::string>(all.begin() + 1, all.end() - 1);
}

std::vector<std::string> TextBody(const std::string& body, TMSTextFormating format = tfPlainText,
                                  const std::string& styles = "") {
    OdfBuilder b;
    b.body = body;
    b.automaticStyles = styles;
    TOpenOfficeTextDocument reader;
    std::vector<std::string> lines = Body(reader, b, format);
    // The CSS block of HTML output is tested on its own.
    if (format == tfHTML && !lines.empty() && lines[0] == "<style type=\"text/css\">") {
        while (!lines.empty() && lines[0] != "</style>") lines.erase(lines.begin());
        if (!lines.empty()) lines.erase(lines.begin());
    }
    return lines;
}

using L = std::vector<std::string>;

struct WalkCase {
    const char* name;
    const char* body;
    L plain;
};

TEST(OdfContentWalk, ParagraphsHoldTheirWholeTextInOrder) {
    const WalkCase cases[] = {
        {"span inside", "<text:p>Hello <text:span>World</text:span>!</text:p>", {"Hello World!"}},
        {"link inside", "<text:p>See <text:a xlink:href=\"http://x\">the site</text:a> now</text:p>",
         {"See the site now"}},
        {"heading", "<text:h text:outline-level=\"1\">Chapter <text:span>one</text:span></text:h>", {"Chapter one"}},
        {"two paragraphs", "<text:p>one</text:p><text:p>two</text:p>", {"one", "two"}},
        {"empty paragraph", "<text:p/><text:p>x</text:p>", {"", "x"}},
        {"spaces", "<text:p>a<text:s text:c=\"3\"/>b<text:s/>c</text:p>", {"a   b c"}},
        {"tab", "<text:p>a<text:tab/>b</text:p>", {"a\tb"}},
        {"line break", "<text:p>a<text:line-break/>b</text:p>", {"a\r\nb"}},
        {"soft page break", "<text:p>a<text:soft-page-break/>b</text:p>", {"ab"}},
        {"whitespace collapses", "<text:p>  a \n\t b  <text:span> c</text:span></text:p>", {"a b c"}},
        {"entities", "<text:p>&lt;x&gt; &amp; &#x41;&#66;</text:p>", {"<x> & AB"}},
        {"fields are text", "<text:p>Page <text:page-number>7</text:page-number> of <text:page-count>9</text:page-count></text:p>",
         {"Page 7 of 9"}},
        {"nested spans", "<text:p><text:span>a<text:span>b</text:span>c</text:span>d</text:p>", {"abcd"}},
        {"span outside paragraph", "<text:span>Loose</text:span><text:p>x</text:p>", {"Loose", "x"}},
        {"footnote after its paragraph",
         "<text:p>Before<text:note text:note-class=\"footnote\"><text:note-citation>1</text:note-citation>"
         "<text:note-body><text:p>Note text</text:p></text:note-body></text:note> after</text:p><text:p>Next</text:p>",
         {"Before1 after", "Note text", "Next"}},
        {"annotation after its paragraph",
         "<text:p>A<office:annotation><dc:creator>Me</dc:creator><dc:date>2020-01-01</dc:date>"
         "<text:p>Comment</text:p></office:annotation>B</text:p>",
         {"AB", "Comment"}},
        {"text box after its paragraph",
         "<text:p>Anchor<draw:frame><draw:text-box><text:p>Boxed</text:p></draw:text-box></draw:frame> end</text:p>",
         {"Anchor end", "Boxed"}},
        {"tracked deletions are not text",
         "<text:tracked-changes><text:changed-region text:id=\"c1\"><text:deletion><text:p>Deleted</text:p>"
         "</text:deletion></text:changed-region></text:tracked-changes><text:p>Ke<text:change text:change-id=\"c1\"/>pt</text:p>",
         {"Kept"}},
        {"index templates are not text",
         "<text:table-of-content><text:table-of-content-source><text:index-title-template>Contents</text:index-title-template>"
         "</text:table-of-content-source><text:index-body><text:p>Chapter 1</text:p></text:index-body></text:table-of-content>",
         {"Chapter 1"}},
        {"list", "<text:list><text:list-item><text:p>one</text:p></text:list-item><text:list-item><text:p>two</text:p></text:list-item></text:list>",
         {"one", "two"}},
        {"image", "<text:p><draw:frame><draw:image xlink:href=\"Pictures/100000.png\"/></draw:frame></text:p>",
         {"", "Pictures/100000.png"}},
        {"image without href", "<text:p>x<draw:frame><draw:image/></draw:frame></text:p>", {"x"}},
        {"huge space count is bounded", "<text:p>a<text:s text:c=\"99999999999\"/>b</text:p>",
         {"a" + std::string(1024, ' ') + "b"}},
    };
    for (const auto& c : cases) EXPECT_EQ(TextBody(c.body), c.plain) << c.name;
}

TEST(OdfContentWalk, HtmlKeepsSpansLinksAndEscapes) {
    struct Case {
        const char* body;
        L html;
    } cases[] = {
        {"<text:p text:style-name=\"P1\">Hello <text:span text:style-name=\"T1\">World</text:span>!</text:p>",
         {"<p class=\"P1\">Hello <span class=\"T1\">World</span>!</p>"}},
        // A paragraph without a style takes its first span's.
        {"<text:p><text:span text:style-name=\"T1\">a</text:span>b</text:p>", {"<p class=\"T1\"><span class=\"T1\">a</span>b</p>"}},
        {"<text:p>go <text:a xlink:href=\"http://x/?a=1&amp;b=&quot;2&quot;\">there</text:a></text:p>",
         {"<p>go <a href=\"http://x/?a=1&amp;b=&quot;2&quot;\">there</a></p>"}},
        {"<text:p>&lt;b&gt;bold&lt;/b&gt; &amp;</text:p>", {"<p>&lt;b&gt;bold&lt;/b&gt; &amp;</p>"}},
        {"<text:p>a<text:line-break/>b</text:p>", {"<p>a<br>b</p>"}},
        {"<text:p text:style-name=\"x&quot;&gt;y\">s</text:p>", {"<p class=\"x__y\">s</p>"}},
        {"<draw:frame><draw:image xlink:href=\"Pictures/100000.png\"/></draw:frame>",
         {"<img src=\"Pictures/100000.png\"><br>"}},
        {"<text:list><text:list-item><text:p>one</text:p></text:list-item></text:list>",
         {"<ul>", "  <li>", "<p>one</p>", "  </li>", "</ul>"}},
        {"<table:table><table:table-row><table:table-cell><text:p text:style-name=\"P2\">c</text:p></table:table-cell>"
         "</table:table-row></table:table>",
         {"<table border=\"1\" class=\"P2\">", "  <tr>", "    <td>", "<p class=\"P2\">c</p>", "    </td>", "  </tr>",
          "</table>"}},
    };
    for (const auto& c : cases) EXPECT_EQ(TextBody(c.body, tfHTML), c.html) << c.body;
}

TEST(OdfContentWalk, RtfEscapesAndMarksParagraphs) {
    EXPECT_EQ(TextBody("<text:p>a{b}\\c <text:span>d</text:span></text:p>", tfRTF), L{"a\\{b\\}\\\\c d\\par "});
    EXPECT_EQ(TextBody("<text:p>a<text:line-break/>b<text:tab/>c</text:p>", tfRTF), L{"a\\line b\\tab c\\par "});
    EXPECT_EQ(TextBody("<text:p>\xC3\xA9</text:p>", tfRTF), L{"\\u233?\\par "});
}

TEST(OdfContentWalk, TablesGiveCellAndRowEndLines) {
    // Per row: each cell's paragraph, an empty cell-end line; an empty row-end line.
    EXPECT_EQ(TextBody("<table:table><table:table-row><table:table-cell><text:p>a</text:p></table:table-cell>"
                       "<table:table-cell><text:p>b</text:p></table:table-cell></table:table-row>"
                       "<table:table-row><table:table-cell><text:p>c</text:p></table:table-cell>"
                       "<table:table-cell><text:p>d</text:p></table:table-cell></table:table-row></table:table>"),
              (L{"a", "", "b", "", "", "c", "", "d", "", ""}));
}

TEST(OdfContentWalk, EmptyRepeatsStandOnceAndTextRepeats) {
    OdfBuilder b;
    b.mimeType = "application/vnd.oasis.opendocument.spreadsheet";
    b.bodyTag = "office:spreadsheet";
    b.body = "<table:table table:name=\"S\">"
             "<table:table-row><table:table-cell table:number-columns-repeated=\"2\"><text:p>x</text:p></table:table-cell>"
             "<table:table-cell table:number-columns-repeated=\"16384\"/></table:table-row>"
             "<table:table-row table:number-rows-repeated=\"2\"><table:table-cell><text:p>r</text:p></table:table-cell></table:table-row>"
             "<table:table-row table:number-rows-repeated=\"1048576\"><table:table-cell table:number-columns-repeated=\"1024\"/>"
             "</table:table-row></table:table>";
    TOpenOfficeSpreadsheet reader;
    EXPECT_EQ(Body(reader, b), (L{"x", "", "x", "", "", "", "r", "", "", "r", "", "", "", ""}));
}

TEST(OdfContentWalk, RepeatsStopAtTheOutputBudget) {
    size_t saved = MaxOutputBytes();
    SetMaxOutputBytes(4000);
    OdfBuilder b;
    b.mimeType = "application/vnd.oasis.opendocument.spreadsheet";
    b.bodyTag = "office:spreadsheet";
    b.body = "<table:table><table:table-row table:number-rows-repeated=\"1000000\">"
             "<table:table-cell table:number-columns-repeated=\"1000000\"><text:p>0123456789</text:p></table:table-cell>"
             "</table:table-row></table:table>";
    TOpenOfficeSpreadsheet reader;
    std::vector<std::string> lines = Body(reader, b);
    SetMaxOutputBytes(saved);
    size_t chars = 0;
    for (const auto& l : lines) chars += l.size();
    EXPECT_GT(chars, 1000u);   // it did repeat
    EXPECT_LT(chars, 4000u);   // and stopped at the budget (2000 characters)
}

TEST(OdfContentWalk, PresentationPagesEndWithAnEmptyLineOrTheEventsText) {
    OdfBuilder b;
    b.mimeType = "application/vnd.oasis.opendocument.presentation";
    b.bodyTag = "office:presentation";
    for (int i = 1; i <= 3; ++i)
        b.body += "<draw:page draw:name=\"p" + std::to_string(i) + "\"><draw:frame><draw:text-box><text:p>Slide " +
                  std::to_string(i) + "</text:p></draw:text-box></draw:frame></draw:page>";
    TOpenOfficePresentation reader;
    EXPECT_EQ(Body(reader, b), (L{"Slide 1", "", "Slide 2", "", "Slide 3", ""}));

    std::vector<std::pair<TDTWordSysChar, std::string>> seen;
    reader.SetOnConvertSysChar([&](TMSWBaseDocument&, TDTWordSysChar kind, const std::u16string& value,
                                   std::u16string& result) {
        seen.emplace_back(kind, Utf16ToUtf8(value));
        if (kind == scEndOfPage) result = u"PAGE";
    });
    EXPECT_EQ(Body(reader, b), (L{"Slide 1", "PAGE", "Slide 2", "PAGE", "Slide 3", "PAGE"}));
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_EQ(seen[0], std::make_pair(scUnknown, std::string("Slide 1")));
    EXPECT_EQ(seen[1], std::make_pair(scEndOfPage, std::string()));
}

TEST(OdfContentWalk, EventsSeeWholeParagraphsCellEndsAndPictures) {
    OdfBuilder b;
    b.body = "<text:p>a <text:span>b</text:span></text:p><table:table><table:table-row><table:table-cell>"
             "<draw:frame><draw:image xlink:href=\"p.png\"/></draw:frame></table:table-cell></table:table-row></table:table>";
    TOpenOfficeTextDocument reader;
    std::vector<std::pair<TDTWordSysChar, std::string>> seen;
    reader.SetOnConvertSysChar([&](TMSWBaseDocument&, TDTWordSysChar kind, const std::u16string& value,
                                   std::u16string& result) {
        seen.emplace_back(kind, Utf16ToUtf8(value));
        if (kind == scIncludePicture) result = u"!";
        if (kind == scColumnEnd) result = u"|";
        if (kind == scRowEnd) result = u"#";
    });
    EXPECT_EQ(Body(reader, b), (L{"a b", "p.png!", "|", "#"}));
    EXPECT_EQ(seen, (std::vector<std::pair<TDTWordSysChar, std::string>>{
                        {scUnknown, "a b"}, {scIncludePicture, "p.png"}, {scColumnEnd, ""}, {scRowEnd, ""}}));
}

TEST(OdfContentWalk, NotesAndAnnotationsAlsoFillTheirLists) {
    OdfBuilder b;
    b.body = "<text:p>x<text:note><text:note-citation>1</text:note-citation><text:note-body><text:p>n1</text:p>"
             "<text:p>n2</text:p></text:note-body></text:note></text:p>"
             "<text:p>y<office:annotation><text:p>c1</text:p></office:annotation></text:p>";
    TOpenOfficeTextDocument reader;
    EXPECT_EQ(Body(reader, b), (L{"x1", "n1", "n2", "y", "c1"}));
    // Plain text has no frame; in RTF and HTML each part list is a whole document.
    EXPECT_EQ(Lines(reader.NoteText()), (L{"n1", "n2"}));
    EXPECT_EQ(Lines(reader.AnnotationText()), (L{"c1"}));
    EXPECT_EQ(reader.PartText(TDocumentPart::Notes), &reader.NoteText());
    EXPECT_EQ(reader.PartText(TDocumentPart::Annotations), &reader.AnnotationText());
    EXPECT_EQ(reader.PartText(TDocumentPart::Footnotes), nullptr);
    Body(reader, b, tfHTML);
    L notes = Lines(reader.NoteText());
    ASSERT_EQ(notes.size(), 4u);
    EXPECT_EQ(notes[0], Utf16ToUtf8(reader.GetTextStart()));
    EXPECT_EQ(notes[1], "<p>n1</p>");
    EXPECT_EQ(notes[3], Utf16ToUtf8(reader.GetTextFinish()));
}

TEST(OdfContentWalk, ReadersReadOnlyTheirOwnBody) {
    OdfBuilder b;
    b.body = "<text:p>text</text:p>";
    TOpenOfficeSpreadsheet sheet;
    EXPECT_EQ(Body(sheet, b), L{});
    TOpenOfficePresentation slides;
    EXPECT_EQ(Body(slides, b), L{});
    TOpenOfficeTextDocument text;
    EXPECT_EQ(Body(text, b), L{"text"});
}

TEST(OdfContentWalk, DeepNestingIsWalkedWithoutRecursion) {
    std::string body;
    for (int i = 0; i < 5000; ++i) body += "<text:span>";
    body = "<text:p>" + body + "deep" + "</text:p>";
    std::vector<std::string> lines = TextBody(body);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find("deep"), std::string::npos);
}

TEST(OdfContentWalk, InnerTextJoinsRunsOfAllLevels) {
    TDTXMLEngine engine;
    engine.SetKeepTextRuns(true);
    engine.LoadFromBytes("<a>x<b>y &amp; <c>z</c></b>w</a>");
    EXPECT_EQ(TOpenDocumentWalk::InnerText(engine.RootItem()), u"xy & zw");
}

}  // namespace
}  // namespace quillmark
