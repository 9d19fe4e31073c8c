// The metadata record: time conversions, the identifier mappings, and the
// reading of property-set streams (code pages, Unicode strings, values that
// point outside the stream).
#include <gtest/gtest.h>

#include "quillmark/framework/compound_file.h"
#include "quillmark/framework/property_set.h"
#include "quillmark/framework/summary_information.h"
#include "support/compound_file_builder.h"
#include "support/property_set_builder.h"
#include "support/scoped_time_zone.h"

namespace quillmark {
namespace {

using Info = TDTWordSummaryInformation;

using namespace test::property_set;

Info Read(const std::vector<Prop>& props, bool doc = false) {
    Info info;
    ReadPropertySet(PropertySet(props), doc, info);
    return info;
}

TEST(SummaryInformation, FileTimeConvertsExactlyToLocalTime) {
    test::ScopedTimeZone tz("EST5");  // UTC-5, no daylight saving
    struct Case {
        int64_t unixSeconds;
        const char* local;
    } cases[] = {
        {1577880001, "2020-01-01T07:00:01"},   // odd second kept
        {157766399, "1974-12-31T18:59:59"},    // before 1980
        {-2209161600 + 86399, "1899-12-30T18:59:59"},
        {-2209161600 - 3600, "1899-12-29T18:00:00"},  // just below zero
        {-5364662400, "1799-12-31T19:00:00"},  // before 1899-12-30: negative TDateTime
        {4102444800, "2099-12-31T19:00:00"},
    };
    for (const auto& c : cases) {
        TDateTime d = Info::FileTimeToDateTime(FileTimeOfUnix(c.unixSeconds));
        EXPECT_EQ(DateTimeToIso8601(d), c.local) << c.unixSeconds;
    }
    EXPECT_EQ(Info::FileTimeToDateTime(0), 0.0);
    // 1601-01-01 plus one second is a date, not "unset".
    EXPECT_NE(Info::FileTimeToDateTime(kTicksPerSecond), 0.0);
    EXPECT_LT(Info::FileTimeToDateTime(FileTimeOfUnix(-5364662400)), 0.0);
    // Sub-second parts are dropped, not rounded up.
    EXPECT_EQ(DateTimeToIso8601(Info::FileTimeToDateTime(FileTimeOfUnix(1577880001) + 9999999)),
              "2020-01-01T07:00:01");
}

TEST(SummaryInformation, EditTimeIsTotalMinutes) {
    const uint64_t minute = 60 * kTicksPerSecond;
    EXPECT_EQ(Info::FileTimeToElapsedTime(125 * minute), 125);
    EXPECT_EQ(Info::FileTimeToElapsedTime(125 * minute + 59 * kTicksPerSecond), 125);
    EXPECT_EQ(Info::FileTimeToElapsedTime(0), 0);
    EXPECT_EQ(Info::FileTimeToElapsedTime(UINT64_MAX), INT32_MAX);
    EXPECT_EQ(Read({Time(10, 125 * minute)}).EditTime(), 125);
}

TEST(SummaryInformation, MapsIdentifiersOfBothPropertySets) {
    test::ScopedTimeZone tz("UTC");
    Info s = Read({Str(2, "Title\0"), Str(3, "Subj"), Str(4, "Auth"), Str(5, "Keys"), Str(6, "Comm"),
                   Str(7, "Normal.dot"), Str(8, "Last"), Str(9, "7"), Str(18, "Word"), I4(14, 3),
                   I4(15, 400), I4(16, 2000), Time(12, FileTimeOfUnix(1000000001)),
                   Time(13, FileTimeOfUnix(1000000003)), Time(11, FileTimeOfUnix(1000000005)),
                   I4(17, 99), I4(19, 5)});
    EXPECT_EQ(s.Title(), u"Title");
    EXPECT_EQ(s.Subject(), u"Subj");
    EXPECT_EQ(s.Author(), u"Auth");
    EXPECT_EQ(s.Keywords(), u"Keys");
    EXPECT_EQ(s.Comments(), u"Comm");
    EXPECT_EQ(s.Template(), u"Normal.dot");
    EXPECT_EQ(s.LastAuthor(), u"Last");
    EXPECT_EQ(s.RevNumber(), u"7");
    EXPECT_EQ(s.AppName(), u"Word");
    EXPECT_EQ(s.PageCount(), 3);
    EXPECT_EQ(s.WordCount(), 400);
    EXPECT_EQ(s.CharCount(), 2000);
    EXPECT_EQ(DateTimeToIso8601(s.Created()), "2001-09-09T01:46:41");
    EXPECT_EQ(DateTimeToIso8601(s.LastSaved()), "2001-09-09T01:46:43");
    EXPECT_EQ(DateTimeToIso8601(s.LastPrinted()), "2001-09-09T01:46:45");

    Info d = Read({Str(2, "Cat"), Str(3, "Screen"), I4(4, 10), I4(5, 11), I4(6, 12), I4(7, 13),
                   I4(8, 14), I4(9, 15), I4(10, 16), Str(14, "Boss"), Str(15, "ACME"), I4(16, 77),
                   I4(17, 17)},
                  true);
    EXPECT_EQ(d.Category(), u"Cat");
    EXPECT_EQ(d.PresentationTarget(), u"Screen");
    EXPECT_EQ(d.Manager(), u"Boss");
    EXPECT_EQ(d.Company(), u"ACME");
    const int32_t counts[] = {d.ByteCount(), d.LineCount(), d.ParagraphCount(), d.SlideCount(),
                              d.NoteCount(), d.HiddenSlideCount(), d.MMClipCount()};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(counts[i], 10 + i);
    EXPECT_EQ(d.CharCount2(), 17);  // id 16 (links dirty) is ignored
    EXPECT_EQ(d.Title(), u"");      // document ids do not leak into summary fields
}

TEST(SummaryInformation, StringsHonourTheCodePageAndUnicode) {
    struct Case {
        const char* what;
        std::vector<Prop> props;
        std::u16string title;
    } cases[] = {
        {"no code page: ANSI 1252", {Str(2, "caf\xE9")}, u"caf\u00E9"},
        {"code page 1251", {CodePage(1251), Str(2, "\xCF\xF0\xE8\xE2\xE5\xF2")}, u"Привет"},
        {"code page after the string", {Str(2, "\xCF\xF0\xE8"), CodePage(1251)}, u"При"},
        {"UTF-8", {CodePage(65001), Str(2, "na\xC3\xAFve")}, u"naïve"},
        {"UTF-16 code page", {CodePage(1200), Str(2, std::string("T\0i\0\0\0", 6))}, u"Ti"},
        {"VT_LPWSTR", {WStr(2, u"Заголовок")}, u"Заголовок"},
        {"only the terminating zero", {Str(2, std::string(1, '\0'))}, u""},
        {"no terminating zero", {Str(2, "abc")}, u"abc"},
        {"text ends at the first zero", {Str(2, std::string("ab\0cd", 5))}, u"ab"},
        {"last of two wins", {Str(2, "first"), Str(2, "second")}, u"second"},
        {"unknown type skipped", {{2, Le32(0x41) + Le32(4) + "blob"}}, u""},
    };
    for (const auto& c : cases) EXPECT_EQ(Read(c.props).Title(), c.title) << c.what;
}

TEST(SummaryInformation, ValuesOutsideTheStreamAreSkipped) {
    // Corrupt the offsets and counts of an otherwise good stream.
    std::string good = PropertySet({Str(2, "Title"), I4(14, 5)});
    auto put = [](std::string s, size_t off, uint32_t v) {
        s.replace(off, 4, Le32(v));
        return s;
    };
    const size_t section = 48;
    struct Case {
        const char* what;
        std::string stream;
        std::u16string title;
        int32_t pages;
    } cases[] = {
        {"good", good, u"Title", 5},
        {"section offset beyond the stream", put(good, 44, 0x7FFFFFF0), u"", 0},
        {"huge property count", put(good, section + 4, 0xFFFFFFFF), u"Title", 5},
        {"value offset beyond the section", put(good, section + 12, 0xFFFFFF00), u"", 5},
        {"string count beyond the stream", put(good, section + 24 + 4, 0x7FFFFFFF), u"", 5},
        {"cut inside the integer", good.substr(0, good.size() - 2), u"Title", 0},
        {"cut before the section", good.substr(0, 46), u"", 0},
        {"empty", "", u"", 0},
    };
    for (const auto& c : cases) {
        Info info;
        ReadPropertySet(c.stream, false, info);
        EXPECT_EQ(info.Title(), c.title) << c.what;
        EXPECT_EQ(info.PageCount(), c.pages) << c.what;
    }
}

TEST(SummaryInformation, AssignCopiesEveryPropertyAndClearResets) {
    Info a;
    a.ParseProperty(2, "T", false);
    a.SetAuthor(u"A");
    a.SetCreated(1.5);
    a.SetLastSaved(2.5);
    a.SetLastPrinted(3.5);
    a.SetEditTime(4);
    a.SetCharCount2(9);
    a.SetCompany(u"C");
    Info b;
    b.Assign(a);
    EXPECT_TRUE(b == a);
    EXPECT_EQ(b.LastPrinted(), 3.5);
    b.Clear();
    EXPECT_TRUE(b == Info());
    EXPECT_EQ(a.Title(), u"T");
}

TEST(SummaryInformation, ReadsThePropertySetStreamsOfAStorage) {
    test::CompoundFileBuilder b;
    b.AddStream(u"\x05SummaryInformation", PropertySet({Str(2, "From SI"), I4(14, 2)}));
    b.AddStream(u"\x05" u"DocumentSummaryInformation", PropertySet({Str(15, "Co"), I4(5, 8)}));
    b.AddStream(u"SummaryInformationX", PropertySet({Str(2, "wrong stream")}));
    auto file = TCompoundFile::Open(b.Build());
    Info info;
    info.SetKeywords(u"kept");
    ReadSummaryInformation(file->Root(), info);
    EXPECT_EQ(info.Title(), u"From SI");
    EXPECT_EQ(info.PageCount(), 2);
    EXPECT_EQ(info.Company(), u"Co");
    EXPECT_EQ(info.LineCount(), 8);
    EXPECT_EQ(info.Keywords(), u"kept");
}

}  // namespace
}  // namespace quillmark
