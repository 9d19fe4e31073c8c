// Runs the built quillmark command over real files and checks its output,
// error reporting and exit codes.
#include <gtest/gtest.h>
#include <string>

#include "quillmark/framework/stream.h"
#include "quillmark/framework/wide_strings.h"
#include "quillmark/readers/palmdoc_file.h"
#include "support/test_support.h"

namespace quillmark {
namespace {

using test::CliResult;

CliResult RunQuillmark(const std::string& args) { return test::RunCli(args); }

TEST(ExtractCommand, PrintsTextAsUtf8) {
    std::string book = test::DataPath("palmdoc/basic_3.pdb");
    CliResult r = RunQuillmark("extract " + book);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Corpus document basic 3"), std::string::npos);
    EXPECT_EQ(r.out.find('\r'), std::string::npos);

    CliResult html = RunQuillmark("extract --format html " + book);
    EXPECT_EQ(html.status, 0);
    EXPECT_EQ(html.out.substr(0, 6), "<html>");
}

TEST(ExtractCommand, ReportsBadFilesAndContinues) {
    std::string book = test::DataPath("palmdoc/basic_3.pdb");
    std::string notes = test::DataPath("palmdoc/basic_3.pdb.truth.txt");
    CliResult r = RunQuillmark("extract /nonexistent.pdb " + notes + " " + book);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("quillmark: /nonexistent.pdb: "), std::string::npos);
    EXPECT_NE(r.out.find("quillmark: " + notes + ": "), std::string::npos);
    EXPECT_NE(r.out.find("Corpus document basic 3"), std::string::npos);
}

TEST(ExtractCommand, BadUsageExitsTwo) {
    EXPECT_EQ(RunQuillmark("").status, 2);
    EXPECT_EQ(RunQuillmark("frobnicate x").status, 2);
    EXPECT_EQ(RunQuillmark("extract").status, 2);
    EXPECT_EQ(RunQuillmark("extract --format pdf x").status, 2);
    EXPECT_EQ(RunQuillmark("extract --max-length -3 x").status, 2);
    CliResult help = RunQuillmark("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("extract"), std::string::npos);
}

TEST(ExtractCommand, Utf16OutputIsWhatSaveToFileWrites) {
    std::string book = test::DataPath("palmdoc/multi_3.pdb");
    std::string out = testing::TempDir() + "/quillmark_utf16.txt";
    CliResult r = RunQuillmark("extract --output " + out + " --utf16 " + book);
    ASSERT_EQ(r.status, 0) << r.out;
    TPalmDocFile reader;
    reader.LoadFromFile(book);
    TMemoryStream expected;
    reader.Text().SaveToStream(expected);
    EXPECT_EQ(ReadFileBytes(out), expected.Bytes());

    CliResult limited = RunQuillmark("extract --max-length 10 " + book);
    EXPECT_EQ(limited.status, 0);
    EXPECT_LE(limited.out.size(), 12u);
}

}  // namespace
}  // namespace quillmark

namespace quillmark {
namespace {

TEST(ExtractCommand, ReadsPdfAndTakesAPassword) {
    std::string pdf = test::DataPath("pdf/multi_3.pdf");
    CliResult r = test::RunCli("extract --password secret " + pdf);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Corpus document multi 3"), std::string::npos);
    // The password is ignored by formats that have none.
    CliResult book = test::RunCli("extract --password x " + test::DataPath("palmdoc/basic_3.pdb"));
    EXPECT_EQ(book.status, 0);
    EXPECT_EQ(test::RunCli("extract " + pdf + " --password").status, 2);
}

TEST(InfoCommand, ReadsPdfInformation) {
    CliResult r = test::RunCli("info --password '' " + test::DataPath("pdf/multi_3.pdf"));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\"format\":\"pdf\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"Title\":\"Title of multi_3\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"AppName\":\"LibreOffice"), std::string::npos) << r.out;
    EXPECT_EQ(test::RunCli("info --password").status, 2);
}

}  // namespace
}  // namespace quillmark
