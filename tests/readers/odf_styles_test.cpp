#include "quillmark/readers/odf_styles.h"

#include <gtest/gtest.h>

#include "quillmark/framework/code_pages.h"
#include "quillmark/package/xml_engine.h"
#include "quillmark/readers/odf_documents.h"
#include "support/odf_builder.h"

namespace quillmark {
namespace {

// Collects the styles of an automatic-styles element written in XML.
void Collect(const std::string& styles, TOOStyles& out) {
    TDTXMLEngine engine;
    engine.SetKeepTextRuns(true);
    engine.LoadFromBytes("<office:automatic-styles>" + styles + "</office:automatic-styles>");
    CollectOOStyles(engine.RootItem(), out);
}

const TOOStyleText& TextStyle(const TOOStyles& styles, int i) {
    auto* s = dynamic_cast<const TOOStyleText*>(styles.GetStyle(i));
    if (!s) throw std::runtime_error("not a text style");
    return *s;
}

TEST(OdfStyles, FontSizeIsTheLeadingWholeNumber) {
    struct {
        const char16_t* text;
        bool ok;
        int points;
    } cases[] = {{u"12pt", true, 12}, {u"10.5pt", true, 10}, {u"150%", true, 150}, {u"0", true, 0},
                 {u"pt", false, 0},   {u"", false, 0},       {u"-3pt", false, 0}, {u"99999999999pt", false, 0}};
    for (const auto& c : cases) {
        int points = -7;
        EXPECT_EQ(ParseOOFontSize(c.text, points), c.ok) << Utf16ToUtf8(c.text);
        EXPECT_EQ(points, c.ok ? c.points : -7) << Utf16ToUtf8(c.text);
    }
}

TEST(OdfStyles, ColoursParseAndFormat) {
    TOOColor c = 5;
    EXPECT_TRUE(ParseOOColor(u"#1F3864", c));
    EXPECT_EQ(c, 0x64381Fu);  // red in the low byte
    EXPECT_EQ(FormatOOColor(c), u"#1F3864");
    EXPECT_EQ(FormatOOColor(0x0000FF), u"#FF0000");
    for (const char16_t* bad : {u"transparent", u"inherit", u"50%", u"#12345", u"#12345G", u"123456#", u""}) {
        TOOColor v = 42;
        EXPECT_FALSE(ParseOOColor(bad, v)) << Utf16ToUtf8(bad);
        EXPECT_EQ(v, 42u);
    }
}

TEST(OdfStyles, ClipRectangles) {
    EXPECT_EQ(ParseOOClip(u"rect(1, 2, 3, 4)"), (TOORect{1, 2, 4, 6}));
    EXPECT_EQ(ParseOOClip(u"rect(0.5cm, 1cm, 2cm, 3cm)"), (TOORect{0, 5, 1, 7}));  // "." separates runs
    EXPECT_EQ(ParseOOClip(u"rect(7)"), (TOORect{7, 0, 7, 0}));
    EXPECT_EQ(ParseOOClip(u"auto"), TOORect{});
    EXPECT_EQ(ParseOOClip(u"rect("), TOORect{});
}

TEST(OdfStyles, ClassesFollowTheFamily) {
    TOOStyles styles;
    Collect("<style:style style:name=\"P1\" style:family=\"paragraph\"/>"
            "<style:style style:name=\"T1\" style:family=\"text\"/>"
            "<style:style style:name=\"fr1\" style:family=\"graphic\"><style:graphic-properties fo:clip=\"rect(1, 2, 3, 4)\"/></style:style>"
            "<style:style style:name=\"Ta1\" style:family=\"table\"/>"
            "<text:list-style style:name=\"L1\"/>"
            "<number:number-style style:name=\"N0\"/><!-- a comment -->",
            styles);
    ASSERT_EQ(styles.Count(), 6);
    EXPECT_NE(dynamic_cast<TOOStyleText*>(styles.GetStyle(0)), nullptr);
    EXPECT_NE(dynamic_cast<TOOStyleText*>(styles.GetStyle(1)), nullptr);
    auto* graphic = dynamic_cast<TOOStyleGraphic*>(styles.GetStyle(2));
    ASSERT_NE(graphic, nullptr);
    EXPECT_EQ(graphic->ClipRect, (TOORect{1, 2, 4, 6}));
    EXPECT_EQ(typeid(*styles.GetStyle(3)), typeid(TOOStyle));
    EXPECT_NE(dynamic_cast<TOOStyleNumList*>(styles.GetStyle(4)), nullptr);
    EXPECT_EQ(typeid(*styles.GetStyle(5)), typeid(TOOStyle));
    EXPECT_EQ(styles.GetStyle(5)->StyleName, u"N0");
    EXPECT_EQ(styles.GetStyle(6), nullptr);
    EXPECT_EQ(styles.GetStyle(-1), nullptr);
    EXPECT_EQ(styles.FindByStyleName(u"Ta1"), styles.GetStyle(3));
    EXPECT_EQ(styles.FindByStyleName(u"ta1"), nullptr);  // case counts
    styles.ClearStyles();
    EXPECT_EQ(styles.Count(), 0);
}

TEST(OdfStyles, TextPropertiesAndAlignment) {
    TOOStyles styles;
    Collect("<style:style style:name=\"A\" style:family=\"paragraph\"><style:paragraph-properties fo:text-align=\"end\"/>"
            "<style:text-properties fo:font-size=\"10.5pt\" fo:font-weight=\"bold\" fo:font-style=\"italic\""
            " style:text-underline-style=\"solid\" fo:color=\"#FF0000\" fo:background-color=\"#00FF00\"/></style:style>"
            "<style:style style:name=\"B\" style:family=\"paragraph\"><style:paragraph-properties fo:text-align=\"right\"/></style:style>"
            "<style:style style:name=\"C\" style:family=\"paragraph\"><style:paragraph-properties fo:text-align=\"center\"/></style:style>"
            "<style:style style:name=\"D\" style:family=\"paragraph\"><style:paragraph-properties fo:text-align=\"justify\"/></style:style>"
            "<style:style style:name=\"E\" style:family=\"text\"><style:text-properties style:text-underline-style=\"none\""
            " fo:font-weight=\"700\" fo:background-color=\"transparent\" fo:color=\"inherit\" fo:font-size=\"large\"/></style:style>",
            styles);
    ASSERT_EQ(styles.Count(), 5);
    const TOOStyleText& a = TextStyle(styles, 0);
    EXPECT_EQ(a.Alignment, TOOAlignment::Right);
    EXPECT_EQ(a.TextFont().Size, 10);
    EXPECT_EQ(a.TextFont().Style, fsBold | fsItalic | fsUnderline);
    EXPECT_EQ(a.TextFont().Color, 0x0000FFu);
    EXPECT_EQ(a.Color, 0x00FF00u);
    EXPECT_EQ(TextStyle(styles, 1).Alignment, TOOAlignment::Right);
    EXPECT_EQ(TextStyle(styles, 2).Alignment, TOOAlignment::Center);
    EXPECT_EQ(TextStyle(styles, 3).Alignment, TOOAlignment::Left);
    // Values that do not parse leave the defaults.
    const TOOStyleText& e = TextStyle(styles, 4);
    EXPECT_EQ(e.TextFont().Style, fsBold);
    EXPECT_EQ(e.Color, kOOWhite);
    EXPECT_EQ(e.TextFont().Color, kOOBlack);
    EXPECT_EQ(e.TextFont().Size, 8);
}

TEST(OdfStyles, CssBlockRules) {
    TOOStyles styles;
    Collect("<style:style style:name=\"P1\" style:family=\"paragraph\"><style:text-properties fo:font-size=\"12pt\""
            " fo:font-weight=\"bold\"/></style:style>"
            "<style:style style:name=\"Ta1\" style:family=\"table\"/><text:list-style style:name=\"L1\"/>"
            "<style:style style:name=\"x&lt;/style&gt;\" style:family=\"text\"/>",
            styles);
    std::vector<std::u16string> css = OOStylesCss(styles);
    ASSERT_EQ(css.size(), 6u);
    EXPECT_EQ(css[0], u"<style type=\"text/css\">");
    EXPECT_EQ(css[1], u".P1 { font-family: paragraph;\r\nfont-size: 12pt;color: #000000;\r\nbackground: #FFFFFF;\r\n"
                      u"text-align: left;\r\nfont-weight: bold;}");
    EXPECT_EQ(css[2], u".Ta1 { font-family: table;}");
    EXPECT_EQ(css[3], u".L1 { font-family: ;}");
    EXPECT_EQ(css[4].substr(0, 14), u".x__style_ { f");
    EXPECT_EQ(css[5], u"</style>");
}

TEST(OdfStyles, HtmlOutputCarriesTheBlockAndPlainTextCollectsNothing) {
    test::OdfBuilder b;
    b.automaticStyles = "<style:style style:name=\"P1\" style:family=\"paragraph\"><style:text-properties"
                        " fo:background-color=\"transparent\"/></style:style>";
    b.body = "<text:p text:style-name=\"P1\">x</text:p>";
    for (auto format : {tfPlainText, tfRTF, tfHTML}) {
        TOpenOfficeTextDocument reader;
        reader.SetTextFormating(format);
        TMemoryStream s(b.Package());
        reader.LoadFromStream(s);
        EXPECT_EQ(reader.Styles().Count(), format == tfPlainText ? 0 : 1);
        std::u16string text = reader.Text().Text();
        EXPECT_EQ(text.find(u"<style type=\"text/css\">") != std::u16string::npos, format == tfHTML);
        EXPECT_NE(text.find(u"x"), std::u16string::npos);
    }
    // No automatic styles: no block.
    b.automaticStyles.clear();
    TOpenOfficeTextDocument reader;
    reader.SetTextFormating(tfHTML);
    TMemoryStream s(b.Package());
    reader.LoadFromStream(s);
    EXPECT_EQ(reader.Text().Text().find(u"<style"), std::u16string::npos);
}

}  // namespace
}  // namespace quillmark
