// quillmark info and ls, run as a process over real and crafted files.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "support/compound_file_builder.h"
#include "support/property_set_builder.h"
#include "support/test_support.h"

namespace quillmark {
namespace {

using namespace test::property_set;

struct RunResult {
    std::string out;
    int status;
};

RunResult RunCli(const std::string& args) {
    std::string cmd = std::string("TZ=UTC ") + QUILLMARK_CLI + " " + args + " 2>/dev/null";
    RunResult r{{}, -1};
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

std::string TempFile(const std::string& name, const std::string& bytes) {
    auto path = std::filesystem::temp_directory_path() / ("quillmark_cli_" + name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

TEST(InfoCommand, PrintsOneJsonLinePerFile) {
    std::string doc = test::DataPath("compound/files/basic_3.doc");
    std::string text = TempFile("plain.txt", "just some text, not a document");
    RunResult r = RunCli("info '" + doc + "' /nonexistent/file.doc '" + text + "'");
    EXPECT_EQ(r.status, 1);
    std::vector<std::string> lines;
    size_t start = 0, nl;
    while ((nl = r.out.find('\n', start)) != std::string::npos) {
        lines.push_back(r.out.substr(start, nl - start));
        start = nl + 1;
    }
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_NE(lines[0].find("\"format\":\"doc\""), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("\"Title\":\"Title of basic_3\""), std::string::npos);
    EXPECT_NE(lines[0].find("\"Created\":\"2013-03-04T05:06:07\""), std::string::npos);
    EXPECT_NE(lines[0].find("\"LastSaved\":null"), std::string::npos);
    EXPECT_NE(lines[0].find("\"EditTime\":0"), std::string::npos);
    EXPECT_EQ(lines[0].find("\"error\""), std::string::npos);
    EXPECT_NE(lines[1].find("\"error\":"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("\"format\":\"unknown\",\"error\":\"unrecognised document format\""),
              std::string::npos)
        << lines[2];
    std::remove(text.c_str());
}

TEST(InfoCommand, EscapesTextAsJson) {
    test::CompoundFileBuilder b;
    b.AddStream(u"\x05SummaryInformation",
                PropertySet({CodePage(65001), Str(2, "say \"hi\"\\\t\x01\xC3\xA9\n"),
                             WStr(4, u"\u041F\u0451\u0442\u0440")}));
    std::string path = TempFile("escape.xls", b.Build());
    RunResult r = RunCli("info '" + path + "'");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\"Title\":\"say \\\"hi\\\"\\\\\\t\\u0001\xC3\xA9\\n\""), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"Author\":\"\xD0\x9F\xD1\x91\xD1\x82\xD1\x80\""), std::string::npos) << r.out;
    std::remove(path.c_str());
}

TEST(LsCommand, PrintsTheTreeWithSizes) {
    test::CompoundFileBuilder b;
    uint32_t st = b.AddStorage(u"Macros");
    b.AddStream(u"PROJECT", std::string(5000, 'p'), st);
    b.AddStream(u"\x05SummaryInformation", "si");
    std::string path = TempFile("tree.doc", b.Build());
    RunResult r = RunCli("ls '" + path + "'");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Macros/\n  PROJECT  5000\n\\005SummaryInformation  2\n");
    EXPECT_EQ(RunCli("ls /nonexistent/x.doc").status, 1);
    std::remove(path.c_str());
}

}  // namespace
}  // namespace quillmark
