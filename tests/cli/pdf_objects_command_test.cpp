// quillmark pdf-objects on encrypted files: --password, the message for a
// wrong or missing password, and decrypted stream output.
#include <gtest/gtest.h>

#include "support/test_support.h"

namespace quillmark {
namespace {

std::string Encrypted(const std::string& name) { return "'" + test::DataPath("pdf/encrypted/" + name) + "'"; }

TEST(PdfObjectsCommand, PasswordOpensEncryptedFilesAndWrongOnesExitThree) {
    test::CliResult ok = test::RunCli("pdf-objects --check --password secret " + Encrypted("basic_3.rc4_128_user.pdf"));
    EXPECT_EQ(ok.status, 0) << ok.out;
    EXPECT_NE(ok.out.find("; 0 problems"), std::string::npos) << ok.out;

    test::CliResult owner = test::RunCli("pdf-objects --check --password owner " + Encrypted("basic_3.aes_256.pdf"));
    EXPECT_EQ(owner.status, 0) << owner.out;

    for (const char* args : {"", "--password wrong "}) {
        test::CliResult bad = test::RunCli(std::string("pdf-objects --check ") + args + Encrypted("basic_3.rc4_128_user.pdf"));
        EXPECT_EQ(bad.status, 3);
        EXPECT_NE(bad.out.find("Password is not valid"), std::string::npos) << bad.out;
    }
    EXPECT_EQ(test::RunCli("pdf-objects --password").status, 2);
}

TEST(PdfObjectsCommand, StreamOutputIsDecrypted) {
    // Object 6 of the AES-128 copy is a page content stream.
    test::CliResult r = test::RunCli("pdf-objects --stream 6 " + Encrypted("basic_3.aes_128.pdf"));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(" Tf"), std::string::npos) << r.out.substr(0, 200);
}

}  // namespace
}  // namespace quillmark
