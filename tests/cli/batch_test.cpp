// The batch command's pieces (records, --tree names, the walk) and, as a
// process, its worker pool surviving a worker that dies.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <new>

#include "cli/batch.h"
#include "quillmark/framework/exception.h"
#include "support/test_support.h"

namespace quillmark::cli {
namespace {

namespace fs = std::filesystem;

TEST(Batch, RecordPathReadsBackEveryName) {
    for (std::string name : {"plain.doc", "with \"quotes\" and \\ back", "line\nbreak\ttab\x01\x7f",
                             "caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC.pdf", ""}) {
        std::string line = FailureRecord({name, 7}, BatchKind::Crash, "m\"sg", 3);
        EXPECT_EQ(RecordPath(line), name) << line;
        // A line cut anywhere inside the path is no record.
        if (!name.empty()) {
            EXPECT_EQ(RecordPath(line.substr(0, 9 + name.size() / 2)), "");
        }
    }
    EXPECT_EQ(RecordPath("{\"size\":1,\"path\":\"x\"}"), "");
    EXPECT_EQ(RecordPath("{\"path\":\"\\u00e9\\u"), "");
    EXPECT_EQ(RecordPath("{\"path\":\"\\u00e9\"}"), "\xC3\xA9");
}

TEST(Batch, FailureRecordFields) {
    EXPECT_EQ(FailureRecord({"a.doc", 12}, BatchKind::Timeout, "slow", 1500),
              "{\"path\":\"a.doc\",\"size\":12,\"format\":\"unknown\",\"error_kind\":\"timeout\","
              "\"error\":\"slow\",\"ms\":1500}");
}

TEST(Batch, TreePathsStayBelowTheTree) {
    const std::pair<const char*, const char*> cases[] = {
        {"/abs/dir/a.doc", "T/abs/dir/a.doc.txt"},
        {"rel/./b.pdf", "T/rel/b.pdf.txt"},
        {"../../up.doc", "T/_up_/_up_/up.doc.txt"},
        {"x//y/../z", "T/x/y/_up_/z.txt"},
        {"plain", "T/plain.txt"},
    };
    for (auto [path, want] : cases) {
        EXPECT_EQ(TreeTextPath("T", path), want) << path;
        EXPECT_EQ(TreeTextPath("T/", path), want) << path;
    }
}

TEST(Batch, ErrorKindsByException) {
    EXPECT_EQ(BatchKindOf(EPasswordError("x")), BatchKind::Password);
    EXPECT_EQ(BatchKindOf(EEncryptedError("x")), BatchKind::Encrypted);
    EXPECT_EQ(BatchKindOf(EUnsupportedFormat("x")), BatchKind::Unsupported);
    EXPECT_EQ(BatchKindOf(EDamagedDocument("x")), BatchKind::Damaged);
    EXPECT_EQ(BatchKindOf(ELimitError("x")), BatchKind::Limit);
    EXPECT_EQ(BatchKindOf(std::bad_alloc()), BatchKind::Memory);
    EXPECT_EQ(BatchKindOf(EReadError("x")), BatchKind::Other);
    EXPECT_EQ(BatchKindOf(std::runtime_error("x")), BatchKind::Other);
    std::vector<std::string> names;
    for (int k = 0; k < kBatchKindCount; ++k) names.push_back(BatchKindName(static_cast<BatchKind>(k)));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::unique(names.begin(), names.end()), names.end());
}

TEST(Batch, WalkFindsEachFileOnceThroughLinkLoops) {
    fs::path root = fs::path(testing::TempDir()) / ("batch_walk_" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "b" / "deep");
    for (const char* f : {"a.doc", "b/c.pdf", "b/deep/d.docx"}) std::ofstream(root / f) << "x";
    fs::create_directory_symlink(root, root / "b" / "deep" / "loop");  // back to the top
    fs::create_directory_symlink(root / "b", root / "z_again");        // a second way in
    fs::create_symlink(root / "a.doc", root / "b" / "link.doc");       // a file link is a file
    ASSERT_EQ(mkfifo((root / "pipe").c_str(), 0600), 0);               // never opened
    std::vector<std::string> errors;
    auto files = WalkInputs({root.string(), (root / "missing").string()},
                            [&](const std::string& p, const std::string&) { errors.push_back(p); });
    std::vector<std::string> got;
    for (const auto& f : files) got.push_back(fs::path(f.path).lexically_relative(root).string());
    EXPECT_EQ(got, (std::vector<std::string>{"a.doc", "b/c.pdf", "b/deep/d.docx", "b/link.doc", "missing"}));
    EXPECT_EQ(files[0].size, 1u);
    EXPECT_TRUE(errors.empty());
    fs::remove_all(root);
}

// The pool, under the sanitizers too: a worker that aborts is replaced and
// only its file is lost.
TEST(Batch, CommandSurvivesAWorkerThatAborts) {
    auto r = test::RunShell(std::string("QUILLMARK_BATCH_TEST_HOOK=abort:basic_3.doc ") + QUILLMARK_CLI +
                            " batch -q -j 2 " + test::DataPath("word") + " " + test::DataPath("docx") +
                            " 2>/dev/null");
    std::vector<std::string> lines;
    size_t from = 0, nl;
    while ((nl = r.out.find('\n', from)) != std::string::npos) {
        lines.push_back(r.out.substr(from, nl - from));
        from = nl + 1;
    }
    EXPECT_EQ(from, r.out.size()) << "the output ends with a whole line";
    size_t files = 0;
    for (const char* dir : {"word", "docx"})
        for (const auto& e : fs::recursive_directory_iterator(test::DataPath(dir)))
            if (e.is_regular_file()) ++files;
    EXPECT_EQ(lines.size(), files);
    size_t crashes = 0, texts = 0;
    for (const auto& line : lines) {
        if (line.find("\"error_kind\":\"crash\"") != std::string::npos) {
            ++crashes;
            EXPECT_NE(RecordPath(line).find("word/basic_3.doc"), std::string::npos) << line;
        }
        if (line.find("\"text\":") != std::string::npos) ++texts;
    }
    EXPECT_EQ(crashes, 1u);
    EXPECT_GT(texts, 10u);
}

}  // namespace
}  // namespace quillmark::cli
