// The command line as a Unix tool: standard input for every format, help and
// usage per command, exit statuses per error kind, write failures, output
// framing with several files.
#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

namespace quillmark {
namespace {

using test::CliResult;
using test::RunShell;

// Runs the command with the given arguments, capturing stdout only (the
// arguments may redirect stderr themselves).
CliResult RunCli(const std::string& args) { return RunShell(std::string(QUILLMARK_CLI) + " " + args); }

// One small document per format that has a text reader.
const char* const kSamples[] = {"palmdoc/basic_3.pdb", "word/basic_3.doc", "word/poi_word2.doc",
                                "docx/basic_3.docx", "pdf/basic_3.pdf", "write/tika_testMSWriteFile.wri"};

TEST(CommandLine, StandardInputReadsEveryFormat) {
    for (const char* name : kSamples) {
        std::string path = test::DataPath(name);
        CliResult direct = RunCli("extract " + path);
        ASSERT_EQ(direct.status, 0) << name << direct.out;
        CliResult dash = RunCli("extract - < " + path);
        CliResult pipe = RunCli("extract /dev/stdin < " + path);
        CliResult cat = RunShell("cat " + path + " | " QUILLMARK_CLI " extract -");
        EXPECT_EQ(dash.out, direct.out) << name;
        EXPECT_EQ(pipe.out, direct.out) << name;
        EXPECT_EQ(cat.out, direct.out) << name;
        EXPECT_NE(direct.out.substr(0, 1), "\n") << name << ": plain text starts with an empty line";
        CliResult info = RunCli("info - < " + path);
        EXPECT_EQ(info.status, 0) << name << info.out;
        EXPECT_EQ(info.out.find("\"error\""), std::string::npos) << name << info.out;
    }
}

TEST(CommandLine, HelpAndVersion) {
    for (const char* command : {"extract", "info", "ls", "pdf-objects"}) {
        CliResult help = RunCli(std::string(command) + " --help 2>/dev/null");
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_NE(help.out.find(std::string("quillmark ") + command), std::string::npos) << command;
        CliResult viaHelp = RunCli(std::string("help ") + command + " 2>/dev/null");
        EXPECT_EQ(viaHelp.status, 0);
        EXPECT_EQ(viaHelp.out, help.out) << command;
        // Unknown options are usage errors for every command, not file names.
        CliResult bad = RunCli(std::string(command) + " --no-such-option x 2>&1");
        EXPECT_EQ(bad.status, 2) << command;
        EXPECT_NE(bad.out.find("unknown option"), std::string::npos) << command << bad.out;
    }
    CliResult version = RunCli("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("quillmark ", 0), 0u);
    EXPECT_EQ(RunCli("help no-such-command 2>/dev/null").status, 2);
    EXPECT_EQ(RunCli("pdf-objects --stream abc " + test::DataPath("pdf/basic_3.pdf") + " 2>/dev/null").status, 2);
}

TEST(CommandLine, HtmlDeclaresTheUtf8ItIsWrittenIn) {
    for (const char* name : kSamples) {
        CliResult html = RunCli("extract --format html " + test::DataPath(name));
        ASSERT_EQ(html.status, 0) << name;
        std::string head = html.out.substr(0, html.out.find("</head>"));
        EXPECT_NE(head.find("charset=utf-8"), std::string::npos) << name << head;
        EXPECT_EQ(head.find("windows-"), std::string::npos) << name;
    }
}

TEST(CommandLine, OptionsTakeEqualsOrSeparateValues) {
    std::string book = test::DataPath("palmdoc/basic_3.pdb");
    CliResult a = RunCli("extract --format=html --max-length=200 " + book);
    CliResult b = RunCli("extract --format html --max-length 200 " + book);
    EXPECT_EQ(a.status, 0);
    EXPECT_EQ(a.out, b.out);
    EXPECT_EQ(a.out.rfind("<html>", 0), 0u);
    EXPECT_EQ(RunCli("extract --crlf=yes " + book + " 2>/dev/null").status, 2);
    EXPECT_EQ(RunCli("extract --format 2>/dev/null").status, 2);
}

TEST(CommandLine, ExitStatusFollowsTheErrorKind) {
    std::string locked = test::DataPath("pdf/encrypted/oo32-simple-open-password.pdf");
    std::string book = test::DataPath("palmdoc/basic_3.pdb");
    EXPECT_EQ(RunCli("extract " + locked + " 2>/dev/null").status, 3);
    EXPECT_EQ(RunCli("extract --password wrong " + locked + " 2>/dev/null").status, 3);
    EXPECT_EQ(RunCli("info " + locked).status, 3);
    EXPECT_EQ(RunCli("extract " + test::DataPath("palmdoc/basic_3.pdb.truth.txt") + " 2>/dev/null").status, 1);
    // A password failure outranks a read failure; the readable file still prints.
    CliResult mixed = RunCli("extract /nonexistent " + locked + " " + book + " 2>&1");
    EXPECT_EQ(mixed.status, 3);
    EXPECT_NE(mixed.out.find("Corpus document basic 3"), std::string::npos);
    // The file is named once, with the system's reason.
    CliResult dir = RunCli("extract " + testing::TempDir() + " 2>&1");
    EXPECT_EQ(dir.status, 1);
    EXPECT_NE(dir.out.find("Is a directory"), std::string::npos) << dir.out;
    CliResult missing = RunCli("extract /nonexistent.pdb 2>&1");
    EXPECT_EQ(missing.out, "quillmark: /nonexistent.pdb: No such file or directory\n");
}

TEST(CommandLine, WriteFailuresAreErrors) {
    std::string book = test::DataPath("palmdoc/basic_3.pdb");
    CliResult toFull = RunCli("extract " + book + " 2>&1 >/dev/full");
    EXPECT_EQ(toFull.status, 1);
    EXPECT_NE(toFull.out.find("No space left on device"), std::string::npos) << toFull.out;
    EXPECT_EQ(RunCli("info " + book + " >/dev/full 2>/dev/null").status, 1);
    EXPECT_EQ(RunCli("extract -o /dev/full " + book + " 2>/dev/null").status, 1);
    EXPECT_EQ(RunCli("extract -o /nonexistent-dir/out.txt " + book + " 2>/dev/null").status, 1);
}

TEST(CommandLine, SeveralFilesAreHeadedLikeHead) {
    std::string a = test::DataPath("palmdoc/basic_3.pdb");
    std::string b = test::DataPath("palmdoc/multi_3.pdb");
    CliResult one = RunCli("extract " + a);
    CliResult two = RunCli("extract " + a + " " + b);
    EXPECT_EQ(two.out.rfind("==> " + a + " <==\n", 0), 0u) << two.out.substr(0, 80);
    EXPECT_NE(two.out.find("\n==> " + b + " <==\n"), std::string::npos);
    CliResult quiet = RunCli("extract -q " + a + " " + b);
    EXPECT_EQ(quiet.out.rfind(one.out, 0), 0u);
    EXPECT_EQ(quiet.out.find("==>"), std::string::npos);
}

}  // namespace
}  // namespace quillmark
