// List labels of Word 2007 documents: number formats, and crafted packages
// (numbering.xml, styles.xml, numbered paragraphs) read through the .docx
// reader, plus real documents checked against LibreOffice's labels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <iostream>
#include <string>
#include <vector>

#include "quillmark/framework/code_pages.h"
#include "quillmark/word/docx_numbering.h"
#include "quillmark/word/word_xml_file.h"
#include "support/test_support.h"
#include "support/zip_builder.h"

namespace quillmark {
namespace {

using test::ZipBuilder;

TEST(DocxNumbering, FormatNumber) {
    struct Case {
        int64_t n;
        const char16_t* format;
        const char16_t* expected;
    };
    const Case cases[] = {
        {1, u"decimal", u"1"},          {7, u"decimalZero", u"07"},      {12, u"decimalZero", u"12"},
        {1, u"lowerLetter", u"a"},      {26, u"lowerLetter", u"z"},      {27, u"lowerLetter", u"aa"},
        {53, u"upperLetter", u"AAA"},   {0, u"lowerLetter", u"0"},       {4, u"lowerRoman", u"iv"},
        {1994, u"upperRoman", u"MCMXCIV"}, {4000, u"upperRoman", u"4000"}, {0, u"lowerRoman", u"0"},
        {1, u"ordinal", u"1st"},        {2, u"ordinal", u"2nd"},         {3, u"ordinal", u"3rd"},
        {4, u"ordinal", u"4th"},        {11, u"ordinal", u"11th"},       {112, u"ordinal", u"112th"},
        {23, u"ordinal", u"23rd"},      {5, u"chineseCounting", u"5"},  {3, u"none", u""},
        {3, u"bullet", u""},
        // A huge counter in letters would be millions of letters: decimal instead.
        {999999999, u"lowerLetter", u"999999999"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.format) + " " + std::to_string(c.n));
        EXPECT_EQ(TDocxNumbering::FormatNumber(c.n, c.format), c.expected);
    }
}

// One numbering level: <w:lvl> with start, format, text and extra children.
std::string Lvl(int ilvl, const std::string& format, const std::string& text, int start = 1,
                const std::string& extra = "") {
    return "<w:lvl w:ilvl=\"" + std::to_string(ilvl) + "\"><w:start w:val=\"" + std::to_string(start) +
           "\"/><w:numFmt w:val=\"" + format + "\"/><w:lvlText w:val=\"" + text + "\"/>" + extra + "</w:lvl>";
}
std::string Abs(int id, const std::string& levels) {
    return "<w:abstractNum w:abstractNumId=\"" + std::to_string(id) + "\">" + levels + "</w:abstractNum>";
}
std::string Num(int id, int abs, const std::string& overrides = "") {
    return "<w:num w:numId=\"" + std::to_string(id) + "\"><w:abstractNumId w:val=\"" + std::to_string(abs) +
           "\"/>" + overrides + "</w:num>";
}
std::string Start(int ilvl, int value) {
    return "<w:lvlOverride w:ilvl=\"" + std::to_string(ilvl) + "\"><w:startOverride w:val=\"" +
           std::to_string(value) + "\"/></w:lvlOverride>";
}
// A paragraph numbered directly (numId < 0: no numPr).
std::string P(int numId, int ilvl, const std::string& text) {
    std::string pPr = numId < 0 ? "" : "<w:pPr><w:numPr><w:ilvl w:val=\"" + std::to_string(ilvl) +
                                           "\"/><w:numId w:val=\"" + std::to_string(numId) + "\"/></w:numPr></w:pPr>";
    return "<w:p>" + pPr + "<w:r><w:t>" + text + "</w:t></w:r></w:p>";
}
std::string StyledP(const std::string& style, const std::string& text) {
    return "<w:p><w:pPr><w:pStyle w:val=\"" + style + "\"/></w:pPr><w:r><w:t>" + text + "</w:t></w:r></w:p>";
}
std::string Style(const std::string& id, const std::string& pPr, const std::string& basedOn = "") {
    return "<w:style w:type=\"paragraph\" w:styleId=\"" + id + "\">" +
           (basedOn.empty() ? "" : "<w:basedOn w:val=\"" + basedOn + "\"/>") + "<w:pPr>" + pPr + "</w:pPr></w:style>";
}

const char* kNs = "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";

std::string Package(const std::string& numbering, const std::string& body, const std::string& styles = "") {
    ZipBuilder b;
    b.Add("[Content_Types].xml", "<Types/>");
    b.Add("word/document.xml", std::string("<w:document ") + kNs + "><w:body>" + body + "</w:body></w:document>");
    if (!numbering.empty())
        b.Add("word/numbering.xml", std::string("<w:numbering ") + kNs + ">" + numbering + "</w:numbering>");
    if (!styles.empty()) b.Add("word/styles.xml", std::string("<w:styles ") + kNs + ">" + styles + "</w:styles>");
    return b.Build();
}

std::vector<std::u16string> Lines(const std::string& pkg, TMSTextFormating format = tfPlainText) {
    TWordXmlFile reader;
    reader.SetTextFormating(format);
    TMemoryStream stream(pkg);
    reader.LoadFromStream(stream);
    return reader.Text().Lines();
}

const std::string kOutline = Abs(0, Lvl(0, "decimal", "%1.") + Lvl(1, "lowerLetter", "%2)") +
                                        Lvl(2, "lowerRoman", "%3.") + Lvl(3, "decimal", "%1.%2.%4"));

TEST(DocxNumbering, CraftedPackagesGiveTheirLabels) {
    struct Case {
        const char* name;
        std::string numbering, body, styles;
        std::vector<std::u16string> expected;
    };
    const std::string sym = "<w:rPr><w:rFonts w:ascii=\"Symbol\" w:hAnsi=\"Symbol\"/></w:rPr>";
    const std::string wing = "<w:rPr><w:rFonts w:ascii=\"Wingdings\" w:hAnsi=\"Wingdings\"/></w:rPr>";
    const Case cases[] = {
        {"levels restart below a higher level", kOutline + Num(1, 0),
         P(1, 0, "A") + P(1, 1, "B") + P(1, 1, "C") + P(1, 2, "D") + P(1, 0, "E") + P(1, 1, "F") + P(1, 3, "G"),
         "",
         {u"1.\tA", u"a)\tB", u"b)\tC", u"i.\tD", u"2.\tE", u"a)\tF", u"2.a.1\tG"}},
        {"a level used before its parent shows the parent's start", kOutline + Num(1, 0),
         P(1, 3, "A") + P(-1, 0, "plain") + P(1, 3, "B"), "", {u"1.a.1\tA", u"plain", u"1.a.2\tB"}},
        {"start value and suffixes", Abs(0, Lvl(0, "decimal", "%1.", 5, "<w:suff w:val=\"space\"/>") +
                                                Lvl(1, "upperLetter", "(%2)", 3, "<w:suff w:val=\"nothing\"/>")) +
                                            Num(1, 0),
         P(1, 0, "A") + P(1, 1, "B") + P(1, 0, "C"), "", {u"5. A", u"(C)B", u"6. C"}},
        {"instances share their abstract's counters; overrides restart", kOutline + Num(1, 0) + Num(2, 0) +
                                                                            Num(3, 0, Start(0, 10)),
         P(1, 0, "A") + P(1, 0, "B") + P(2, 0, "C") + P(3, 0, "D") + P(3, 0, "E") + P(1, 0, "F"), "",
         {u"1.\tA", u"2.\tB", u"3.\tC", u"10.\tD", u"11.\tE", u"12.\tF"}},
        {"an override of a deeper level survives the restart by its parent", kOutline + Num(1, 0, Start(1, 4)),
         P(1, 0, "A") + P(1, 1, "B") + P(1, 0, "C") + P(1, 1, "D"), "", {u"1.\tA", u"d)\tB", u"2.\tC", u"d)\tD"}},
        {"an override with its own level definition",
         kOutline + Num(1, 0, "<w:lvlOverride w:ilvl=\"0\">" + Lvl(0, "upperRoman", "%1:", 3) + "</w:lvlOverride>"),
         P(1, 0, "A") + P(1, 0, "B"), "", {u"III:\tA", u"IV:\tB"}},
        {"no numbering: numId 0, unknown ids, undefined levels, other formats", kOutline + Num(1, 0) + Num(2, 7),
         P(0, 0, "A") + P(9, 0, "B") + P(2, 0, "C") + P(1, 5, "D") + P(-1, 0, "E"), "",
         {u"A", u"B", u"C", u"D", u"E"}},
        {"bullets with their characters",
         Abs(0, Lvl(0, "bullet", "\xEF\x82\xB7", 1, sym) + Lvl(1, "bullet", "\xEF\x82\xA7", 1, wing) +
                    Lvl(2, "bullet", "\xE2\x80\x93") + Lvl(3, "bullet", "o")) +
             Num(1, 0),
         P(1, 0, "A") + P(1, 1, "B") + P(1, 2, "C") + P(1, 3, "D"), "",
         {u"\u2022\tA", u"\u25AA\tB", u"\u2013\tC", u"o\tD"}},
        {"numbering through a style and the style it is based on", kOutline + Num(1, 0),
         StyledP("L1", "A") + StyledP("L2", "B") + StyledP("L2", "C") + StyledP("L1", "D"),
         Style("L1", "<w:numPr><w:numId w:val=\"1\"/></w:numPr>") +
             Style("L2", "<w:numPr><w:ilvl w:val=\"1\"/></w:numPr>", "L1"),
         {u"1.\tA", u"a)\tB", u"b)\tC", u"2.\tD"}},
        {"a heading style picks the level that names it",
         Abs(0, Lvl(0, "decimal", "%1", 1, "<w:pStyle w:val=\"H1\"/>") +
                    Lvl(1, "decimal", "%1.%2", 1, "<w:pStyle w:val=\"H2\"/>")) +
             Num(1, 0),
         StyledP("H1", "A") + StyledP("H2", "B") + StyledP("H2", "C") + StyledP("H1", "D"),
         Style("H1", "<w:numPr><w:numId w:val=\"1\"/></w:numPr>") +
             Style("H2", "<w:numPr><w:numId w:val=\"1\"/></w:numPr>"),
         {u"1\tA", u"1.1\tB", u"1.2\tC", u"2\tD"}},
        {"a definition linked to a style's numbering", kOutline + Num(1, 0) +
                                                         "<w:abstractNum w:abstractNumId=\"5\"><w:numStyleLink "
                                                         "w:val=\"LS\"/></w:abstractNum>" +
                                                         Num(2, 5),
         P(2, 0, "A") + P(2, 1, "B"), Style("LS", "<w:numPr><w:numId w:val=\"1\"/></w:numPr>"),
         {u"1.\tA", u"a)\tB"}},
        {"a style cycle ends", kOutline + Num(1, 0), StyledP("X", "A"),
         Style("X", "", "Y") + Style("Y", "", "X"), {u"A"}},
        {"a level that never restarts, and a legal level",
         Abs(0, Lvl(0, "upperRoman", "%1.") + Lvl(1, "lowerLetter", "%2.", 1, "<w:lvlRestart w:val=\"0\"/>") +
                    Lvl(2, "decimal", "%1.%3", 1, "<w:isLgl/>")) +
             Num(1, 0),
         P(1, 0, "A") + P(1, 1, "B") + P(1, 0, "C") + P(1, 1, "D") + P(1, 2, "E"), "",
         {u"I.\tA", u"a.\tB", u"II.\tC", u"b.\tD", u"2.1\tE"}},
        {"the paragraph's own numbering wins over its style's", kOutline + Num(1, 0) + Num(2, 0, Start(0, 7)),
         "<w:p><w:pPr><w:pStyle w:val=\"S\"/><w:numPr><w:numId w:val=\"0\"/></w:numPr></w:pPr><w:r><w:t>A</w:t>"
         "</w:r></w:p>" + P(2, 0, "B"),
         Style("S", "<w:numPr><w:numId w:val=\"1\"/></w:numPr>"), {u"A", u"7.\tB"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Lines(Package(c.numbering, c.body, c.styles)), c.expected);
    }
}

TEST(DocxNumbering, LabelsAreEscapedInEveryRendering) {
    std::string pkg = Package(Abs(0, Lvl(0, "decimal", "&lt;{%1}&gt;")) + Num(1, 0), P(1, 0, "A"));
    std::vector<std::u16string> html = Lines(pkg, tfHTML);
    ASSERT_GE(html.size(), 3u);
    EXPECT_EQ(html[1], u"<p>&lt;{1}&gt;&#9;A</p>");
    std::vector<std::u16string> rtf = Lines(pkg, tfRTF);
    ASSERT_GE(rtf.size(), 3u);
    EXPECT_EQ(rtf[1], u"<\\{1\\}>\\tab A");
}

TEST(DocxNumbering, HostileDefinitionsStayBounded) {
    std::string longText(5000, 'x');
    std::string numbering = Abs(0, Lvl(0, "lowerLetter", "%1", 999999999) + Lvl(1, "decimal", longText + "%2")) +
                            Abs(0, Lvl(0, "decimal", "dup")) + Num(1, 0) + Num(1, 0, Start(0, 3)) +
                            "<w:num w:numId=\"2\"><w:abstractNumId w:val=\"0\"/><w:lvlOverride w:ilvl=\"99\">"
                            "<w:startOverride w:val=\"-4\"/></w:lvlOverride></w:num>";
    std::string body = P(1, 0, "A") + P(1, 1, "B") + P(1, 99, "C") + P(2, 0, "D");
    std::vector<std::u16string> lines = Lines(Package(numbering, body));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], u"999999999\tA");  // the first definition of an id counts
    EXPECT_EQ(lines[1], std::u16string(TDocxNumbering::kMaxLabel, u'x') + u"\tB");
    EXPECT_EQ(lines[2], u"C");
    EXPECT_EQ(lines[3], u"1000000000\tD");
    // Damaged numbering parts never break the text.
    for (std::string bad : {std::string("<w:numbering"), std::string("\xFF\xFE<"), std::string()}) {
        ZipBuilder b;
        b.Add("word/document.xml", std::string("<w:document ") + kNs + "><w:body>" + P(1, 0, "A") + "</w:body></w:document>");
        b.Add("word/numbering.xml", bad);
        EXPECT_EQ(Lines(b.Build()), std::vector<std::u16string>{u"A"});
    }
}

// LibreOffice's text export of the same files (soffice --convert-to txt)
// shows each label, a space, then the text; each of those lines must be one
// of ours, label and text separated by our tab.
TEST(DocxNumberingReal, LabelsMatchLibreOffice) {
    // tika_testWORD_numbered_list differs on two labels: a custom Greek
    // format ("Some-%1-CrazyFormat", which LibreOffice shows as "1." and "2."
    // and we as its decimal fallback "Some-1-CrazyFormat").
    const std::pair<const char*, size_t> files[] = {
        {"poi_ComplexNumberedLists", 0}, {"pandoc_lists", 0}, {"tika_testWORD_numbered_list", 2}};
    for (const auto& [name, allowed] : files) {
        SCOPED_TRACE(name);
        size_t differing = 0;
        TWordXmlFile reader;
        reader.LoadFromFile(test::DataPath(std::string("docx/") + name + ".docx"));
        std::vector<std::u16string> ours = reader.Text().Lines();
        std::string oracle = test::ReadDataFile(std::string("docx/") + name + ".lo.txt");
        size_t next = 0, compared = 0, start = 0;
        while (start < oracle.size()) {
            size_t end = oracle.find('\n', start);
            if (end == std::string::npos) end = oracle.size();
            std::u16string line = Utf8ToUtf16(oracle.substr(start, end - start));
            start = end + 1;
            if (line.starts_with(u"\uFEFF")) line.erase(0, 1);
            size_t indent = line.find_first_not_of(u' ');
            if (indent == 0 || indent == std::u16string::npos) continue;  // not a list item
            size_t space = line.find(u' ', indent);
            if (space == std::u16string::npos) continue;
            std::u16string label = line.substr(indent, space - indent), text = line.substr(space + 1);
            // LibreOffice draws bullets in symbol fonts with its own
            // characters, so a bullet only has to be a bullet.
            auto isBullet = [](const std::u16string& l) {
                return l.size() == 1 && !(l[0] < 0x80 && std::isalnum(static_cast<unsigned char>(l[0])));
            };
            auto found = std::find_if(ours.begin() + static_cast<long>(next), ours.end(), [&](const std::u16string& o) {
                size_t tab = o.find(u'\t');
                return tab != std::u16string::npos && o.substr(tab + 1) == text;
            });
            ASSERT_NE(found, ours.end()) << Utf16ToUtf8(line);
            std::u16string got = found->substr(0, found->find(u'\t'));
            if (!(got == label || (isBullet(got) && isBullet(label)))) {
                ++differing;
                std::cerr << Utf16ToUtf8(got) << " vs " << Utf16ToUtf8(line) << "\n";
            }
            next = static_cast<size_t>(found - ours.begin()) + 1;
            ++compared;
        }
        EXPECT_GT(compared, 5u);
        EXPECT_EQ(differing, allowed);
    }
}

}  // namespace
}  // namespace quillmark
