// Real documents: the generated corpus (Word 97 files made from known text)
// and public samples of Word 97, Word 6/95 and Word 2.
#include <gtest/gtest.h>

#include <sstream>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/word/word_bin_file.h"
#include "support/test_support.h"

namespace quillmark {
namespace {

std::string Utf8(const TWideStrings& list) { return Utf16ToUtf8(list.Text()); }

std::string LoadMain(const std::string& name, TWordBinFile& doc) {
    doc.LoadFromFile(test::DataPath("word/" + name));
    return Utf8(doc.Text());
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(WordBinFileReal, GeneratedDocumentsGiveEveryWordInOrder) {
    for (const char* name : {"basic_3", "long_3", "multi_3"}) {
        TWordBinFile doc;
        std::string text = LoadMain(std::string(name) + ".doc", doc);
        std::string truth = test::ReadDataFile(std::string("word/") + name + ".truth.txt");
        EXPECT_EQ(doc.DocVersion(), 8);
        EXPECT_DOUBLE_EQ(test::InOrderRecall(truth, text), 1.0) << name;
    }
}

TEST(WordBinFileReal, NotesDocumentKeepsFootnotesAndHeadersInTheirLists) {
    TWordBinFile doc;
    std::string text = LoadMain("notes_3.doc", doc);
    std::istringstream truth(test::ReadDataFile("word/notes_3.truth.txt"));
    std::string line, body, footnotes, headers;
    while (std::getline(truth, line)) {
        if (line.rfind("Footnote number", 0) == 0) footnotes += line + "\n";
        else if (line.rfind("Running header", 0) == 0) headers += line + "\n";
        else body += line + "\n";
    }
    ASSERT_FALSE(footnotes.empty());
    EXPECT_DOUBLE_EQ(test::InOrderRecall(body, text), 1.0);
    EXPECT_DOUBLE_EQ(test::InOrderRecall(footnotes, Utf8(doc.FootNoteText())), 1.0);
    EXPECT_DOUBLE_EQ(test::InOrderRecall(headers, Utf8(doc.HeaderText())), 1.0);
    // The footnote list holds nothing of the body.
    EXPECT_FALSE(Contains(Utf8(doc.FootNoteText()), "We have designed this"));
    EXPECT_EQ(doc.SummaryInformation().Title(), u"Title of notes_3");
    EXPECT_EQ(doc.SummaryInformation().Author(), u"Author Number3");
}

TEST(WordBinFileReal, SubDocumentListsOfPublicSamples) {
    struct Case {
        const char* file;
        TWideStrings& (TCustomWordFile::*list)();
        const char* text;
    } cases[] = {
        {"nwe_test13.doc", &TCustomWordFile::FootNoteText, "This is a footnote"},
        {"nwe_test13.doc", &TCustomWordFile::EndNoteText, "This is an endnote"},
        {"poi_footnote.doc", &TCustomWordFile::AnnotationText, "TestComment"},
        {"tika_testComment.doc", &TCustomWordFile::AnnotationText, "Here is a comment"},
        {"poi_HeaderFooterUnicode.doc", &TCustomWordFile::HeaderText, "with a \u20AC euro symbol"},
        {"poi_HeaderFooterUnicode.doc", &TCustomWordFile::HeaderText, "The footer, with Moli\u00E8re"},
    };
    for (const Case& c : cases) {
        TWordBinFile doc;
        LoadMain(c.file, doc);
        EXPECT_TRUE(Contains(Utf8((doc.*c.list)()), c.text)) << c.file << ": " << c.text;
    }
}

TEST(WordBinFileReal, OlderVersionsGiveReadableText) {
    struct Case {
        const char* file;
        int version;
        const char* text;
    } cases[] = {
        {"poi_Word6.doc", 6, "The quick brown fox jumps over the lazy dog"},
        {"poi_Word95.doc", 6, "Has some RED text and some BLUE BOLD text in it."},
        {"poi_Word6_sections2.doc", 7, "This statement of insolvency practice is one of a series"},
        // Fast-saved Word 6: the pieces come from the WordDocument stream.
        {"poi_Bug60942.doc", 6, "Date 12/12/97"},
        {"poi_word2.doc", 2, "benni.alexander@nokia.com"},
    };
    for (const Case& c : cases) {
        TWordBinFile doc;
        std::string text = LoadMain(c.file, doc);
        EXPECT_EQ(doc.DocVersion(), c.version) << c.file;
        EXPECT_TRUE(Contains(text, c.text)) << c.file << "\n" << text.substr(0, 400);
    }
}

TEST(WordBinFileReal, CyrillicAndFieldsOfWord97) {
    TWordBinFile doc;
    EXPECT_TRUE(Contains(LoadMain("wv_russian.doc", doc), "Общая характеристика работы"));
    // A TIME field reads as its result; the instruction is gone.
    std::string fields = LoadMain("poi_test-fields.doc", doc);
    EXPECT_TRUE(Contains(fields, "19/11/2010 14:49:00"));
    EXPECT_FALSE(Contains(fields, "\\@"));
    // Cells are separated by spaces, rows end lines.
    std::string table = LoadMain("poi_simple-table.doc", doc);
    EXPECT_TRUE(Contains(table, "Cell 1,1 Cell 1,2 Cell 1,3\r\nCell 2,1"));
}

TEST(WordBinFileReal, EncryptedDocumentsAreRefusedWithTheMessage) {
    for (const char* name : {"wv_97-password1_pw-password1.doc", "wv_95-password1_pw-password1.doc"}) {
        TWordBinFile doc;
        try {
            doc.LoadFromFile(test::DataPath(std::string("word/") + name));
            ADD_FAILURE() << name;
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), "Could not read the password protected file") << name;
        }
        EXPECT_EQ(doc.Text().Count(), 0);
    }
}

}  // namespace
}  // namespace quillmark
