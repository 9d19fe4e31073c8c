// Encrypted OpenDocument packages: files LibreOffice wrote (AES-256 and
// Blowfish, password "secret") and packages encrypted here with OpenSSL, so
// that every manifest variation is under the test's control.
#include "quillmark/readers/odf_manifest.h"

#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/blowfish.h>
#include <openssl/evp.h>

#include <gtest/gtest.h>

#include "quillmark/framework/code_pages.h"
#include "quillmark/readers/odf_documents.h"
#include "support/odf_builder.h"
#include "support/test_support.h"
#include "support/zip_builder.h"

namespace quillmark {
namespace {

std::string Base64(std::string_view bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                            reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
    out.resize(static_cast<size_t>(n));
    return out;
}

std::string Sha(std::string_view data, bool sha256) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned len = 0;
    EVP_Digest(data.data(), data.size(), out, &len, sha256 ? EVP_sha256() : EVP_sha1(), nullptr);
    return std::string(reinterpret_cast<char*>(out), len);
}

struct Encrypted {
    bool blowfish = false;
    std::string password = "pw";
    std::string algorithmName;    // replaces the one the cipher implies
    std::string derivationName = "PBKDF2";
    int iterations = 1024;
    bool checksum = true;
    bool corruptAfterChecksum = false;  // damage the deflate data, checksum made over the damage
};

// A package whose content.xml (and meta.xml) are encrypted as described.
std::string EncryptedPackage(const Encrypted& e, const std::string& body) {
    test::OdfBuilder b;
    b.body = body;
    b.meta = "<dc:title>Hidden title</dc:title>";
    const std::string salt = "0123456789abcdef", iv = e.blowfish ? "ivivivi8" : "iv-of-16-bytes!!";
    std::string entries;
    test::ZipBuilder zip;
    zip.Add("mimetype", b.mimeType, 0);
    for (auto [name, xml] : {std::pair<std::string, std::string>{"content.xml", b.ContentXml()}, {"meta.xml", b.MetaXml()}}) {
        std::string deflated = test::RawDeflate(xml);
        if (e.corruptAfterChecksum) deflated[0] ^= 0x7F, deflated[1] ^= 0x55;
        std::string startKey = Sha(e.password, !e.blowfish);
        std::string key(e.blowfish ? 16 : 32, '\0');
        PKCS5_PBKDF2_HMAC_SHA1(startKey.data(), static_cast<int>(startKey.size()),
                               reinterpret_cast<const unsigned char*>(salt.data()), static_cast<int>(salt.size()),
                               e.iterations, static_cast<int>(key.size()), reinterpret_cast<unsigned char*>(key.data()));
        std::string cipherText;
        if (e.blowfish) {
            BF_KEY k;
            BF_set_key(&k, static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(key.data()));
            unsigned char ivec[8];
            std::copy(iv.begin(), iv.end(), ivec);
            int num = 0;
            cipherText.resize(deflated.size());
            BF_cfb64_encrypt(reinterpret_cast<const unsigned char*>(deflated.data()),
                             reinterpret_cast<unsigned char*>(cipherText.data()), static_cast<long>(deflated.size()), &k,
                             ivec, &num, BF_ENCRYPT);
        } else {
            EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
            EVP_EncryptInit_ex(ctx, EVP_aes_256_cbc(), nullptr, reinterpret_cast<const unsigned char*>(key.data()),
                               reinterpret_cast<const unsigned char*>(iv.data()));
            cipherText.resize(deflated.size() + 32);
            int len = 0, total = 0;
            EVP_EncryptUpdate(ctx, reinterpret_cast<unsigned char*>(cipherText.data()), &len,
                              reinterpret_cast<const unsigned char*>(deflated.data()), static_cast<int>(deflated.size()));
            total = len;
            EVP_EncryptFinal_ex(ctx, reinterpret_cast<unsigned char*>(cipherText.data()) + total, &len);
            cipherText.resize(static_cast<size_t>(total + len));
            EVP_CIPHER_CTX_free(ctx);
        }
        zip.Add(name, cipherText, 0);
        std::string algorithm = !e.algorithmName.empty() ? e.algorithmName
                                : e.blowfish           ? "Blowfish CFB"
                                                       : "http://www.w3.org/2001/04/xmlenc#aes256-cbc";
        std::string checksum = e.checksum ? " manifest:checksum-type=\"" +
                                                std::string(e.blowfish ? "SHA1/1K" : "urn:oasis:names:tc:opendocument:xmlns:manifest:1.0#sha256-1k") +
                                                "\" manifest:checksum=\"" + Base64(Sha(deflated.substr(0, 1024), !e.blowfish)) + "\""
                                          : "";
        entries += "<manifest:file-entry manifest:full-path=\"" + name + "\" manifest:media-type=\"text/xml\" manifest:size=\"" +
                   std::to_string(xml.size()) + "\"><manifest:encryption-data" + checksum +
                   "><manifest:algorithm manifest:algorithm-name=\"" + algorithm + "\" manifest:initialisation-vector=\"" +
                   Base64(iv) + "\"/><manifest:key-derivation manifest:key-derivation-name=\"" + e.derivationName +
                   "\" manifest:key-size=\"" + std::to_string(key.size()) + "\" manifest:iteration-count=\"" +
                   std::to_string(e.iterations) + "\" manifest:salt=\"" + Base64(salt) + "\"/>" +
                   (e.blowfish ? "" : "<manifest:start-key-generation manifest:start-key-generation-name=\"http://www.w3.org/2000/09/xmldsig#sha256\" manifest:key-size=\"32\"/>") +
                   "</manifest:encryption-data></manifest:file-entry>";
    }
    zip.Add("META-INF/manifest.xml",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">"
            "<manifest:file-entry manifest:full-path=\"/\" manifest:media-type=\"" + b.mimeType + "\"/>" + entries +
                "</manifest:manifest>");
    return zip.Build();
}

std::string LoadText(const std::string& bytes, const std::string& password) {
    TOpenOfficeTextDocument reader;
    reader.SetPassword(password);
    TMemoryStream s(bytes);
    reader.LoadFromStream(s);
    return Utf16ToUtf8(reader.Text().Text());
}

TEST(OdfEncryption, LibreOfficePackagesOpenWithTheirPassword) {
    struct {
        const char* name;
        const char* truth;
    } files[] = {{"odf/lo_aes256_secret.odt", "odf/lo_secret.truth.txt"},
                 {"odf/lo_blowfish_secret.odt", "odf/lo_secret.truth.txt"},
                 {"odf/lo_aes256_secret.ods", "odf/lo_sheet.truth.txt"}};
    for (const auto& f : files) {
        std::unique_ptr<TCustomOpenOfficeDocument> reader;
        if (std::string(f.name).ends_with(".ods")) reader = std::make_unique<TOpenOfficeSpreadsheet>();
        else reader = std::make_unique<TOpenOfficeTextDocument>();
        EXPECT_THROW(reader->LoadFromFile(test::DataPath(f.name)), EEncryptedError) << f.name;
        reader->SetPassword("wrong");
        EXPECT_THROW(reader->LoadFromFile(test::DataPath(f.name)), EPasswordError) << f.name;
        reader->SetPassword("secret");
        reader->LoadFromFile(test::DataPath(f.name));
        EXPECT_DOUBLE_EQ(test::InOrderRecall(test::ReadDataFile(f.truth), Utf16ToUtf8(reader->Text().Text())), 1.0)
            << f.name;
    }
}

TEST(OdfEncryption, PackageWithUnpublishedPasswordIsReportedEncrypted) {
    TOpenOfficeTextDocument reader;
    EXPECT_THROW(reader.LoadFromFile(test::DataPath("odf/tika_testODTEncrypted.odt")), EEncryptedError);
    reader.SetParseItems({wpiSummaryInformation});  // meta.xml is encrypted too
    EXPECT_THROW(reader.LoadFromFile(test::DataPath("odf/tika_testODTEncrypted.odt")), EEncryptedError);
    reader.SetPassword("guess");
    EXPECT_THROW(reader.LoadFromFile(test::DataPath("odf/tika_testODTEncrypted.odt")), EPasswordError);
}

TEST(OdfEncryption, CraftedPackages) {
    const std::string body = "<text:p>The hidden text</text:p>";
    for (bool blowfish : {false, true}) {
        Encrypted e;
        e.blowfish = blowfish;
        std::string bytes = EncryptedPackage(e, body);
        EXPECT_NE(LoadText(bytes, "pw").find("The hidden text"), std::string::npos) << blowfish;
        EXPECT_THROW(LoadText(bytes, ""), EEncryptedError) << blowfish;
        EXPECT_THROW(LoadText(bytes, "pW"), EPasswordError) << blowfish;
        // Without a checksum a wrong password shows when the data does not inflate.
        e.checksum = false;
        EXPECT_THROW(LoadText(EncryptedPackage(e, body), "nope"), EPasswordError) << blowfish;
        EXPECT_NE(LoadText(EncryptedPackage(e, body), "pw").find("The hidden text"), std::string::npos) << blowfish;
    }
    // Metadata decrypts the same way.
    TOpenOfficeTextDocument reader;
    reader.SetPassword("pw");
    reader.SetParseItems({wpiSummaryInformation});
    TMemoryStream s(EncryptedPackage(Encrypted{}, body));
    reader.LoadFromStream(s);
    EXPECT_EQ(reader.SummaryInformation().Title(), u"Hidden title");
}

TEST(OdfEncryption, UnsupportedOrDamagedEncryption) {
    const std::string body = "<text:p>x</text:p>";
    Encrypted gcm;
    gcm.algorithmName = "http://www.w3.org/2009/xmlenc11#aes256-gcm";
    EXPECT_THROW(LoadText(EncryptedPackage(gcm, body), "pw"), EEncryptedError);
    Encrypted argon;
    argon.derivationName = "urn:org:documentfoundation:names:experimental:office:manifest:argon2id";
    EXPECT_THROW(LoadText(EncryptedPackage(argon, body), "pw"), EEncryptedError);
    // The right password over damaged data is damage, not a password problem.
    Encrypted damaged;
    damaged.corruptAfterChecksum = true;
    try {
        LoadText(EncryptedPackage(damaged, body), "pw");
        ADD_FAILURE() << "damaged data loaded";
    } catch (const EPasswordError&) {
        ADD_FAILURE() << "damage reported as a wrong password";
    } catch (const Exception&) {
    }
}

TEST(OdfEncryption, ManifestParameters) {
    TOdfManifest m;
    m.Load("<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">"
           "<manifest:file-entry manifest:full-path=\"/\" manifest:media-type=\"application/vnd.oasis.opendocument.text\"/>"
           "<manifest:file-entry manifest:full-path=\"content.xml\" manifest:size=\"99\"><manifest:encryption-data"
           " manifest:checksum-type=\"SHA1/1K\" manifest:checksum=\"AAEC\"><manifest:algorithm manifest:algorithm-name="
           "\"Blowfish CFB\" manifest:initialisation-vector=\"AAECAwQFBgc=\"/><manifest:key-derivation"
           " manifest:key-derivation-name=\"PBKDF2\" manifest:iteration-count=\"1024\" manifest:salt=\"AAECAw==\"/>"
           "</manifest:encryption-data></manifest:file-entry>"
           "<manifest:file-entry manifest:full-path=\"styles.xml\"/></manifest:manifest>");
    EXPECT_EQ(m.MediaType(), "application/vnd.oasis.opendocument.text");
    EXPECT_TRUE(m.HasEncryptedMembers());
    EXPECT_EQ(m.Encryption("styles.xml"), nullptr);
    const TOdfEncryptionData* e = m.Encryption("content.xml");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->Cipher, TOdfCipher::BlowfishCfb);
    EXPECT_EQ(e->InitialisationVector, std::string("\0\1\2\3\4\5\6\7", 8));
    EXPECT_EQ(e->Salt, std::string("\0\1\2\3", 4));
    EXPECT_EQ(e->IterationCount, 1024u);
    EXPECT_EQ(e->KeySize, 16u);  // the default when none is written
    EXPECT_EQ(e->StartKey, TOdfDigest::Sha1);
    EXPECT_EQ(e->Checksum, TOdfDigest::Sha1);
    EXPECT_FALSE(e->ChecksumOfWhole);
    EXPECT_EQ(e->Size, 99u);
    // A hostile iteration count is refused before any work.
    TOdfEncryptionData slow = *e;
    slow.IterationCount = 4000000000u;
    EXPECT_THROW(DecryptOdfMember(slow, std::string(16, 'x'), "pw", "content.xml"), EEncryptedError);
}

TEST(OdfEncryption, Base64) {
    EXPECT_EQ(DecodeBase64("aGVsbG8="), "hello");
    EXPECT_EQ(DecodeBase64("aGVs\nbG8h"), "hello!");
    EXPECT_EQ(DecodeBase64(""), "");
    EXPECT_EQ(DecodeBase64("aGV*"), "");
    EXPECT_EQ(DecodeBase64("aG=Vs"), "");
}

}  // namespace
}  // namespace quillmark
