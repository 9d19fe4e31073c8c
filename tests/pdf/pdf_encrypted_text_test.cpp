// Encrypted copies of one document read through the whole PDF reader: the
// text and the document information must be exactly those of the plain file,
// whatever the cipher, and a missing user password must fail the load.
#include <gtest/gtest.h>

#include "quillmark/framework/exception.h"
#include "quillmark/pdf/pdf_reader.h"
#include "support/test_support.h"

namespace quillmark {
namespace {

struct Read {
    std::u16string text, title, author, keywords;
};

Read ReadPdf(const std::string& path, const std::string& password, TMSTextFormating format) {
    TDTPDFReader reader;
    reader.SetTextFormating(format);
    reader.SetPassword(password);
    reader.LoadFromFile(path);
    const auto& info = reader.SummaryInformation();
    return {reader.Text().Text(), info.Title(), info.Author(), info.Keywords()};
}

TEST(PdfEncryptedText, EveryCipherGivesThePlainTextAndInformation) {
    const struct {
        const char* file;
        const char* password;
    } copies[] = {
        {"basic_3.rc4_40.pdf", ""},         {"basic_3.rc4_128.pdf", ""},
        {"basic_3.aes_128.pdf", ""},        {"basic_3.aes_256.pdf", ""},
        {"basic_3.rc4_128_user.pdf", "secret"},
        {"basic_3.rc4_128_user.pdf", "owner"},  // the owner password opens it too
    };
    for (auto format : {tfPlainText, tfHTML}) {
        Read plain = ReadPdf(test::DataPath("pdf/basic_3.pdf"), "", format);
        ASSERT_FALSE(plain.text.empty());
        ASSERT_FALSE(plain.title.empty());
        for (const auto& c : copies) {
            SCOPED_TRACE(c.file);
            Read r = ReadPdf(test::DataPath(std::string("pdf/encrypted/") + c.file), c.password,
                             format);
            EXPECT_EQ(r.text, plain.text);
            EXPECT_EQ(r.title, plain.title);
            EXPECT_EQ(r.author, plain.author);
            EXPECT_EQ(r.keywords, plain.keywords);
        }
    }
}

TEST(PdfEncryptedText, UserPasswordIsRequired) {
    for (const char* password : {"", "Secret", "secret "}) {
        SCOPED_TRACE(password);
        try {
            ReadPdf(test::DataPath("pdf/encrypted/basic_3.rc4_128_user.pdf"), password,
                    tfPlainText);
            FAIL() << "loaded without the right password";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), "Password is not valid");
        }
    }
}

TEST(PdfEncryptedText, CommandLinePassesThePassword) {
    std::string file = test::DataPath("pdf/encrypted/basic_3.rc4_128_user.pdf");
    auto denied = test::RunCli("extract " + file);
    EXPECT_EQ(denied.status, 3);
    EXPECT_NE(denied.out.find("Password is not valid"), std::string::npos);
    auto opened = test::RunCli("extract --password secret " + file);
    EXPECT_EQ(opened.status, 0);
    auto plain = test::RunCli("extract " + test::DataPath("pdf/basic_3.pdf"));
    EXPECT_EQ(opened.out, plain.out);
    auto info = test::RunCli("info --password secret " + file);
    EXPECT_EQ(info.status, 0);
    EXPECT_NE(info.out.find("\"Title\":\"Title of basic_3\""), std::string::npos);
}

}  // namespace
}  // namespace quillmark
