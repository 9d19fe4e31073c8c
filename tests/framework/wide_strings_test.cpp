#include "quillmark/framework/wide_strings.h"

#include <gtest/gtest.h>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"

namespace quillmark {
namespace {

TEST(WideStrings, JoinsEveryLineWithCrLf) {
    TWideStrings list;
    EXPECT_EQ(list.Text(), u"");
    list.Add(u"a");
    list.Add(u"");
    list.Add(u"b");
    EXPECT_EQ(list.Text(), u"a\r\n\r\nb\r\n");
    EXPECT_EQ(list.WideText(), list.Text());
}

TEST(WideStrings, InsertBoundsAndPutInserts) {
    TWideStrings list;
    list.Add(u"x");
    list.Insert(1, u"end");  // Insert(Count) appends
    EXPECT_EQ(list.Get(1), u"end");
    EXPECT_THROW(list.Insert(3, u"bad"), Exception);
    EXPECT_THROW(list.Insert(-1, u"bad"), Exception);
    try {
        list.Insert(-1, u"bad");
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "WideStrings index out of bounds");
    }
    EXPECT_EQ(list.Count(), 2);
    list.Put(0, u"S");  // grows, does not replace
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Get(0), u"S");
    EXPECT_EQ(list.Get(1), u"x");
    EXPECT_EQ(list.Get(-1), u"");
    EXPECT_EQ(list.Get(list.Count()), u"");
}

TEST(WideStrings, IndexSearches) {
    TWideStrings list;
    list.Add(u"abc");
    list.Add(u"abc");
    list.Add(u"\u00E9t\u00E9");
    EXPECT_EQ(list.IndexOf(u"ABC"), -1);
    EXPECT_EQ(list.IndexOfIgnoreCase(u"ABC"), 0);
    EXPECT_EQ(list.IndexOf(u"abc"), 0);
    EXPECT_EQ(list.IndexOfIgnoreCase(u"\u00C9T\u00C9"), 2);  // not only ASCII folds
    EXPECT_EQ(WideCompareText(u"a", u"B"), -1);
    EXPECT_EQ(WideCompareText(u"b", u"A"), 1);
    EXPECT_EQ(WideCompareText(u"ab", u"AB"), 0);
    EXPECT_EQ(WideCompareText(u"ab", u"ABC"), -1);
}

TEST(WideStrings, SaveToStreamEncodings) {
    TWideStrings list;
    TMemoryStream empty;
    list.SaveToStream(empty);
    EXPECT_EQ(empty.Bytes(), std::string("\xFF\xFE", 2));

    list.SetSaveUnicode(false);
    TMemoryStream nothing;
    list.SaveToStream(nothing);
    EXPECT_EQ(nothing.Bytes(), "");

    list.SetSaveUnicode(true);
    list.Add(u"A\u20AC");
    TMemoryStream s;
    list.SaveToStream(s);
    EXPECT_EQ(s.Bytes(), std::string("\xFF\xFE" "A\0\xAC\x20\r\0\n\0", 10));

    list.SetSaveUnicode(false);
    TMemoryStream ansi;
    list.SaveToStream(ansi);
    EXPECT_EQ(ansi.Bytes(), "A\x80\r\n");  // the euro sign in Windows-1252
}

}  // namespace
}  // namespace quillmark
