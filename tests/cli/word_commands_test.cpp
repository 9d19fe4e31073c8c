// The quillmark command on Word binary documents: detection, the --part
// option of extract, and info through the Word reader.
#include <gtest/gtest.h>

#include <string>

#include "quillmark/format_registry.h"
#include "quillmark/framework/stream.h"
#include "support/test_support.h"
#include "support/word_doc_builder.h"

namespace quillmark {
namespace {

using test::RunCli;

TEST(WordCommands, DetectsCompoundAndPlainWordFiles) {
    EXPECT_STREQ(FormatName(DetectFormat(ReadFileBytes(test::DataPath("word/basic_3.doc")))), "doc");
    EXPECT_STREQ(FormatName(DetectFormat(ReadFileBytes(test::DataPath("word/poi_word2.doc")))), "doc");
    EXPECT_STREQ(FormatName(DetectFormat(ReadFileBytes(test::DataPath("word/poi_Word6.doc")))), "doc");
    
    // Write files share their magic number with Word for DOS: not claimed.
    EXPECT_STRNE(FormatName(DetectFormat(std::string("\x31\xBE\0\0", 4) + std::string(200, '\0'))), "doc");
}

TEST(WordCommands, ExtractPrintsTheChosenPart) {
    std::string notes = test::DataPath("word/notes_3.doc");
    auto main = RunCli("extract " + notes);
    EXPECT_EQ(main.status, 0);
    EXPECT_NE(main.out.find("We have designed this License"), std::string::npos);

    auto footnotes = RunCli("extract --part footnotes " + notes);
    EXPECT_EQ(footnotes.status, 0);
    EXPECT_NE(footnotes.out.find("Footnote number 2 explains A in detail."), std::string::npos);
    EXPECT_EQ(footnotes.out.find("We have designed this License"), std::string::npos);

    auto headers = RunCli("extract --part headers " + notes);
    EXPECT_NE(headers.out.find("Running header of the corpus document"), std::string::npos);

    auto endnotes = RunCli("extract --part endnotes " + test::DataPath("word/nwe_test13.doc"));
    EXPECT_NE(endnotes.out.find("This is an endnote"), std::string::npos);
    EXPECT_EQ(endnotes.out.find("Paragraph 1"), std::string::npos);
}

TEST(WordCommands, PartNeedsAKnownNameAndIsEmptyForFormatsWithoutIt) {
    EXPECT_EQ(RunCli("extract --part sidebars " + test::DataPath("word/basic_3.doc")).status, 2);
    auto r = RunCli("extract --part footnotes " + test::DataPath("palmdoc/basic_3.pdb"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    // A part in HTML is a whole page for .doc as for .docx.
    for (const char* doc : {"word/nwe_test13.doc", "docx/basic_3.docx"}) {
        auto html = RunCli("extract --part footnotes --format html " + test::DataPath(doc));
        EXPECT_EQ(html.status, 0) << doc;
        EXPECT_EQ(html.out.rfind("<html>", 0), 0u) << doc << html.out;
        EXPECT_NE(html.out.find("</html>"), std::string::npos) << doc;
    }
}

TEST(WordCommands, InfoReadsWordMetadataAndReportsEncryption) {
    auto r = RunCli("info " + test::DataPath("word/notes_3.doc") + " " +
                    test::DataPath("word/wv_97-password1_pw-password1.doc"));
    EXPECT_EQ(r.status, 3);  // a password is needed
    size_t nl = r.out.find('\n');
    ASSERT_NE(nl, std::string::npos);
    std::string first = r.out.substr(0, nl), second = r.out.substr(nl + 1);
    EXPECT_NE(first.find("\"format\":\"doc\""), std::string::npos) << first;
    EXPECT_NE(first.find("\"Title\":\"Title of notes_3\""), std::string::npos) << first;
    EXPECT_NE(second.find("\"error\":\"Could not read the password protected file\""), std::string::npos)
        << second;
}

}  // namespace
}  // namespace quillmark
