#include "quillmark/pdf/pdf_objects.h"

#include <gtest/gtest.h>

namespace quillmark {
namespace {

TEST(PdfValueRule, ReadsValuesAsTheReaderNeedsThem) {
    struct Case {
        const char* text;
        const char* key;
        const char* expected;
    } cases[] = {
        {"<< /root 12 0 r /size 40 >>", "/root", "12"},
        {"<< /type /page /parent 3 0 r >>", "/type", "/page"},
        {"<</type/pages/kids[4 0 r]>>", "/type", "/pages"},
        {"<< /prev 0 >>", "/prev", ""},                    // zeros are skipped: /Prev 0 ends the walk
        {"<< /size 0100 >>", "/size", "100"},
        {"<< /type\n/page >>", "/type", "/page"},          // line break between key and value
        {"<< /w [1 2 1] /width 7 >>", "/width", "7"},
        {"<< /widths [1 2] /w 5 >>", "/w", "5"},           // "/w" does not match "/widths"
        {"<< /length1 5 /length 9 >>", "/length", "9"},
        {"<< /title (a b/c) /x 1 >>", "/title", "(a b/c)"}, // inside a string, blanks do not end it
        {"<< /filter /flatedecode>>", "/filter", "/flatedecode"},
        {"<< /count 3>>", "/count", "3"},
        {"<< /info 7 0 r>>", "/missing", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(PdfValue(c.text, c.key), c.expected) << c.text;
}

TEST(PdfBracketRule, TakesArraysOrTheTextBeforeTheNextKey) {
    EXPECT_EQ(PdfBracketValue("<< /w [1 2 1] /size 5 >>", "/w"), "1 2 1");
    EXPECT_EQ(PdfBracketValue("<< /kids [4 0 r 5 0 r] >>", "/kids"), "4 0 r 5 0 r");
    EXPECT_EQ(PdfBracketValue("<< /contents 5 0 r /resources [6 0 r] >>", "/contents"), " 5 0 r ");
    EXPECT_EQ(PdfBracketValue("<< /contents 5 0 r >>", "/contents"), " 5 0 r ");
    EXPECT_EQ(PdfBracketValue("<< /index [0 3", "/index"), "0 3");
    EXPECT_EQ(PdfBracketValue("<< /a 1 >>", "/b"), "");
}

TEST(PdfReferenceRule, WalksAnArrayOfReferences) {
    std::string kids = "[4 0 R 15 1 r\n7 2 R]";
    std::vector<int32_t> got;
    int32_t n = 0;
    while (PdfNextReference(kids, n)) got.push_back(n);
    EXPECT_EQ(got, (std::vector<int32_t>{4, 15, 7}));

    std::string slashFirst = "/f1 5 0 r";
    EXPECT_FALSE(PdfNextReference(slashFirst, n));
    std::string notRef = "12 0 obj 3 R";  // "obj 3 R" is no reference
    EXPECT_FALSE(PdfNextReference(notRef, n));

    // Cursor form over a long array stays linear and gives the same result.
    std::string big;
    for (int i = 1; i <= 5000; ++i) big += std::to_string(i) + " 0 R ";
    size_t pos = 0;
    int count = 0, last = 0;
    while (PdfNextReference(std::string_view(big), pos, n)) ++count, last = n;
    EXPECT_EQ(count, 5000);
    EXPECT_EQ(last, 5000);
}

TEST(PdfGetRefBody, StopsAtSectionEnds) {
    struct Case {
        const char* text;
        const char* key;
        bool fromEnd;
        const char* expected;
    } cases[] = {
        {"1 0 obj\n<< /a 1 >>\nendobj\n2 0 obj", "obj", false, "<< /a 1 >>\nendobj"},
        {"xref\n0 1\ntrailer\n<<>>", "xref", false, "0 1"},
        {"startxref\n100\n%%EOF\nstartxref\n200\n%%EOF", "startxref", true, "200"},
        // A "startxref" that does not begin a line is passed over.
        {"startxref\n100\n%%EOF\n% see startxref 999\n", "startxref", true, "100"},
        {"nothing here", "xref", false, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(GetRefBody(c.text, c.key, c.fromEnd), c.expected) << c.text;
}

TEST(PdfGetLastLine, TakesTheLastLineWithinTheWindow) {
    std::string t = "abc\n%%EOF\n";
    EXPECT_EQ(GetLastLine(t, 7, false), "%%EOF");
    std::string padded = "abc\n%%EOF    \n";
    EXPECT_EQ(GetLastLine(padded, 7, false), "EOF");  // the window of 8 cuts the line
    std::string whole = "one two\nthree";
    EXPECT_EQ(GetLastLine(whole, 0, false), "three");
    std::string del = "line1\nline2\n";
    EXPECT_EQ(GetLastLine(del, 0, true), "line2");
    EXPECT_LT(del.size(), std::string("line1\nline2\n").size());
}

TEST(PdfStrings, DecodesLiteralAndHexStrings) {
    size_t used = 0;
    EXPECT_EQ(PdfDecodeString("(a\\(b\\)c\\n\\101(x)) rest", used), "a(b)c\nA(x)");
    EXPECT_EQ(used, 18u);
    EXPECT_EQ(PdfDecodeString("<41 42\n4>", used), "AB@");  // odd final digit counts as followed by 0
    EXPECT_EQ(PdfDecodeString("(unterminated", used), "unterminated");
    EXPECT_EQ(PdfDecodeString("/name", used), "");
    EXPECT_EQ(used, 0u);
}

TEST(PdfIntegers, ParseStrictlyAndSaturate) {
    EXPECT_EQ(PdfToInt(" 42 "), 42);
    EXPECT_EQ(PdfToInt("-7"), -7);
    EXPECT_EQ(PdfToInt("12abc", -1), -1);
    EXPECT_EQ(PdfToInt("", -1), -1);
    EXPECT_GT(PdfToInt("99999999999999999999999999"), 0);
    size_t after = 0;
    EXPECT_TRUE(PdfMatchObjectHeader("12 0 obj<<", 0, after));
    EXPECT_EQ(after, 8u);
    EXPECT_FALSE(PdfMatchObjectHeader("12 0 objx", 0, after));
    EXPECT_FALSE(PdfMatchObjectHeader("12 obj", 0, after));
}

}  // namespace
}  // namespace quillmark
