#include "quillmark/framework/base_document.h"

#include <gtest/gtest.h>

#include "quillmark/framework/exception.h"

namespace quillmark {
namespace {

// Exposes the protected parts for the tests and records what it loads.
class ProbeDocument : public TMSWBaseDocument {
public:
    std::string loaded;
    void LoadFromStream(TStream& stream) override {
        TMSWBaseDocument::LoadFromStream(stream);
        loaded = stream.ReadRest();
    }
};

TEST(BaseDocument, Defaults) {
    ProbeDocument d;
    EXPECT_EQ(d.About(), "1.40");
    d.SetAbout("2.0");
    EXPECT_EQ(d.About(), "1.40");
    EXPECT_EQ(d.TextFormating(), tfPlainText);
    EXPECT_EQ(d.MaxTextLength(), 0);
    EXPECT_EQ(d.ParseItems().Byte(), 9);
    EXPECT_TRUE(d.ConvertSysCharacters());
    EXPECT_FALSE(d.IsPasswordProtected());
}

TEST(BaseDocument, MaxTextLengthTruncatesAndCancels) {
    ProbeDocument d;
    d.SetMaxTextLength(5);
    d.AddText(u"ab", d.Text());  // 4 characters with CR LF: below the limit
    EXPECT_FALSE(d.Cancelled());
    d.Text().Clear();
    d.AddText(u"abc", d.Text());
    EXPECT_TRUE(d.Cancelled());
    ASSERT_EQ(d.Text().Count(), 1);
    EXPECT_EQ(d.Text().Get(0), u"abc\r\n");
    // A reader that ignores the stop flag gains nothing: the joined text of
    // the two lines is cut back to five characters.
    d.AddText(u"def", d.Text());
    ASSERT_EQ(d.Text().Count(), 1);
    EXPECT_EQ(d.Text().Get(0), u"abc\r\n");
    d.SetMaxTextLength(6);
    d.AddText(u"def", d.Text());
    EXPECT_EQ(d.Text().Get(0), u"abc\r\n\r");
}

TEST(BaseDocument, NoLimitOnlyAppends) {
    ProbeDocument d;
    for (int i = 0; i < 1000; ++i) d.AddText(u"line", d.Text());
    EXPECT_EQ(d.Text().Count(), 1000);
    EXPECT_FALSE(d.Cancelled());
}

TEST(BaseDocument, PlainFrameIsEmptyButEventsFire) {
    ProbeDocument d;
    int before = 0, after = 0;
    d.SetOnBeforeText([&](TMSWBaseDocument&, std::u16string& t) {
        ++before;
        EXPECT_TRUE(t.empty());
    });
    d.SetOnAfterText([&](TMSWBaseDocument&, std::u16string& t) {
        ++after;
        t = u"changed";
    });
    EXPECT_EQ(d.GetTextStart(), u"");
    EXPECT_EQ(d.GetTextFinish(), u"changed");
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 1);
}

TEST(BaseDocument, HtmlAndRtfFrames) {
    ProbeDocument d;
    d.SetTextFormating(tfHTML);
    std::u16string head = d.GetTextStart();
    EXPECT_EQ(head.substr(0, 8), u"<html>\r\n");
    EXPECT_NE(head.find(u"charset=windows-1252\">\r\n"), std::u16string::npos);
    EXPECT_NE(head.find(u"<title>Quillmark Word Document Parser</title>"), std::u16string::npos);
    EXPECT_EQ(head.substr(head.size() - 26), u"<body bgcolor=\"#FFFFFF\">\r\n");
    EXPECT_EQ(d.GetTextFinish(), u"\r\n</body>\r\n</html>");

    d.SetTextFormating(tfRTF);
    std::u16string rtf = d.GetTextStart();
    EXPECT_EQ(rtf.substr(0, 29), u"{\\rtf1\\ansi\\ansicpg1252\\uc1\r\n");
    EXPECT_NE(rtf.find(u"{\\creatim\\yr"), std::u16string::npos);
    EXPECT_EQ(d.GetTextFinish(), u"\r\n}");
}

TEST(BaseDocument, RtfDateOmitsTimeAtMidnight) {
    EXPECT_EQ(RtfCreationDate(2024, 3, 7, 0, 0, 0), "yr2024\\mo3\\dy7");
    EXPECT_EQ(RtfCreationDate(2024, 3, 7, 9, 5, 0), "yr2024\\mo3\\dy7\\hr9\\min5");
}

TEST(BaseDocument, OleStreamSkipsBdocHeader) {
    ProbeDocument d;
    TMemoryStream withHeader(std::string("BDOC12345678payload"));
    d.LoadFromOLEStream(withHeader);
    EXPECT_EQ(d.loaded, "payload");
    TMemoryStream plain(std::string("XDOC12345678payload"));
    d.LoadFromOLEStream(plain);
    EXPECT_EQ(d.loaded, "XDOC12345678payload");
    TMemoryStream tooShort(std::string("BDOC"));
    EXPECT_THROW(d.LoadFromOLEStream(tooShort), EReadError);
}

TEST(BaseDocument, ExecuteRaisesEventsAndMissingFile) {
    ProbeDocument d;
    int before = 0, after = 0;
    d.SetOnBeforeExecute([&](TMSWBaseDocument&) { ++before; });
    d.SetOnAfterExecute([&](TMSWBaseDocument&) { ++after; });
    d.SetFileName("/nonexistent/file.doc");
    try {
        d.Execute();
        FAIL() << "expected an exception";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "File /nonexistent/file.doc is not found.");
    }
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 0);
}

TEST(BaseDocument, HtmlFontSizes) {
    const std::pair<int, const char*> cases[] = {{5, "-1"}, {6, "1"},  {7, "1"},  {8, "2"},
                                                 {9, "2"},  {12, "-1"}, {13, "-1"}, {14, "4"},
                                                 {17, "4"}, {18, "5"},  {23, "5"},  {24, "6"},
                                                 {35, "6"}, {36, "-1"}};
    for (auto [size, want] : cases) EXPECT_EQ(GetHTMLFontSize(size), want) << size;
}

}  // namespace
}  // namespace quillmark

namespace quillmark {
namespace {

TEST(BaseDocument, HostCancelFlagStopsLikeTheLimitAndOutlivesAClear) {
    ProbeDocument d;
    std::atomic<bool> stop{false};
    d.SetCancelFlag(&stop);
    EXPECT_EQ(d.CancelFlag(), &stop);
    EXPECT_FALSE(d.Cancelled());
    stop = true;
    EXPECT_TRUE(d.Cancelled());
    // Clearing the lists for a new load resets the reader's own stop, not
    // the host's request.
    d.ClearInternalLists();
    EXPECT_TRUE(d.Cancelled());
    stop = false;
    EXPECT_FALSE(d.Cancelled());
    d.SetCancelFlag(nullptr);
    stop = true;
    EXPECT_FALSE(d.Cancelled());
}

}  // namespace
}  // namespace quillmark
