// quillmark macros, extract --part macros and the "Macros" field of info.
#include <gtest/gtest.h>

#include <fstream>

#include "support/compound_file_builder.h"
#include "support/test_support.h"
#include "support/vba_builder.h"
#include "support/zip_builder.h"

namespace quillmark {
namespace {

using test::RunCli;

TEST(MacrosCommand, ListsEveryModuleOfAWordDocument) {
    std::string doc = test::DataPath("vba/tika_testWORD_macros.doc");
    auto r = RunCli("macros " + doc);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("'  Macro(s) from ThisDocument\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("'  Macro(s) from NewMacros\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
    // extract --part macros prints the same listing.
    auto extract = RunCli("extract --part macros " + doc);
    EXPECT_EQ(extract.status, 0);
    EXPECT_EQ(extract.out, r.out);
    auto docm = RunCli("macros " + test::DataPath("vba/tika_testWORD_macros.docm"));
    EXPECT_EQ(docm.status, 0);
    EXPECT_NE(docm.out.find("'  Macro(s) from NewMacros\n"), std::string::npos) << docm.out;
}

TEST(MacrosCommand, WorksOnWorkbooksDirectly) {
    test::CompoundFileBuilder bin;
    uint32_t vba = bin.AddStorage(u"VBA");
    test::VbaDirModule m;
    m.name = m.streamName = "Sheet1";
    m.unicodeName = m.unicodeStreamName = u"Sheet1";
    test::VbaDirBuilder dir;
    dir.modules = {m};
    bin.AddStream(u"dir", test::CompressVBA(dir.Build()), vba);
    bin.AddStream(u"Sheet1", test::ModuleStream("Sub Recalc()\r\nEnd Sub\r\n", 0), vba);
    std::string path = testing::TempDir() + "/macros_test.xlsm";
    {
        std::ofstream f(path, std::ios::binary);
        f << test::ZipBuilder().Add("xl/workbook.xml", "<workbook/>").Add("xl/vbaProject.bin", bin.Build()).Build();
    }
    auto r = RunCli("macros " + path);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "'===================================\n'  Macro(s) from Sheet1\n"
                     "'===================================\nSub Recalc()\nEnd Sub\n\n\n");
    auto info = RunCli("info " + path);
    EXPECT_NE(info.out.find("\"Macros\":true"), std::string::npos) << info.out;
}

TEST(MacrosCommand, InfoSaysWhetherADocumentCarriesMacros) {
    auto r = RunCli("info " + test::DataPath("vba/poi_SimpleMacro.doc") + " " + test::DataPath("word/basic_3.doc"));
    EXPECT_EQ(r.status, 0);
    size_t nl = r.out.find('\n');
    ASSERT_NE(nl, std::string::npos);
    EXPECT_NE(r.out.substr(0, nl).find("\"Macros\":true"), std::string::npos) << r.out;
    EXPECT_NE(r.out.substr(nl).find("\"Macros\":false"), std::string::npos) << r.out;
}

TEST(MacrosCommand, NoMacrosPrintsNothingAndErrorsAreReported) {
    auto none = RunCli("macros " + test::DataPath("word/basic_3.doc"));
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, "");
    auto missing = RunCli("macros /nonexistent/file.doc");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("quillmark: /nonexistent/file.doc: "), std::string::npos);
    EXPECT_EQ(RunCli("macros --bogus x").status, 2);
    EXPECT_EQ(RunCli("macros").status, 2);
}

}  // namespace
}  // namespace quillmark
