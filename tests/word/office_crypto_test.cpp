// Password-protected Office documents: the public samples of every scheme
// (with the right, a wrong and no password), packages enciphered here with
// known parameters (agile with SHA-1 and SHA-512, standard AES-128), damaged
// encryption headers, and the XOR obfuscation's own invariants.
#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <functional>
#include <random>

#include "quillmark/format_registry.h"
#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/compound_file.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/stream.h"
#include "quillmark/word/office_crypto.h"
#include "quillmark/word/word_bin_file.h"
#include "quillmark/word/word_xml_file.h"
#include "support/compound_file_builder.h"
#include "support/property_set_builder.h"
#include "support/test_support.h"
#include "support/zip_builder.h"

namespace quillmark {
namespace {

using namespace office_crypto;

// The kind and message of the exception f throws ("" and "(none)" if none).
struct Outcome {
    std::string kind;
    std::string message;
};
Outcome Attempt(const std::function<void()>& f) {
    try {
        f();
    } catch (const EPasswordError& e) {
        return {"password", e.what()};
    } catch (const EDamagedDocument& e) {
        return {"damaged", e.what()};
    } catch (const EEncryptedError& e) {
        return {"encrypted", e.what()};
    } catch (const Exception& e) {
        return {"other", e.what()};
    }
    return {"", "(none)"};
}

std::string Load(TCustomWordFile& doc, const std::string& path, const std::string& password) {
    doc.SetPassword(password);
    doc.LoadFromFile(test::DataPath(path));
    return Utf16ToUtf8(doc.Text().Text());
}

struct Sample {
    const char* path;
    const char* password;
    bool ooxml;
    const char* sentence;  // a sentence of the document's text
};

const Sample kSamples[] = {
    {"word/poi_password_tika_binaryrc4.doc", "tika", false, "This is an encrypted Word 2007 File."},
    {"word/lo_password_secret_rc4.doc", "secret", false, "Secret words in a LibreOffice file."},
    {"word/poi_password_password_cryptoapi.doc", "password", false, "This is a test"},
    {"word/wv_97-password1_pw-password1.doc", "password1", false, "I am a word document."},
    {"word/wv_95-password1_pw-password1.doc", "password1", false, "This is a word 7 document"},
    {"docx/poi_bug53475-password-is-pass.docx", "pass", true, "The is a password protected document."},
    {"docx/tika_testWORD_protected_passtika.docx", "tika", true, "This is an encrypted Word 2007 File."},
};

std::unique_ptr<TCustomWordFile> ReaderFor(const Sample& s) {
    if (s.ooxml) return std::make_unique<TWordXmlFile>();
    return std::make_unique<TWordBinFile>();
}

TEST(OfficeCryptoReal, EverySchemeOpensWithItsPasswordAndOnlyWithIt) {
    for (const Sample& s : kSamples) {
        SCOPED_TRACE(s.path);
        auto doc = ReaderFor(s);
        std::string text = Load(*doc, s.path, s.password);
        EXPECT_NE(text.find(s.sentence), std::string::npos) << text;

        Outcome none = Attempt([&] { Load(*ReaderFor(s), s.path, ""); });
        EXPECT_EQ(none.kind, "password");
        EXPECT_EQ(none.message, s.ooxml ? "The document is encrypted: a password is needed"
                                        : "Could not read the password protected file");

        for (const char* wrong : {"wrong", "TIKA", "password12", "\xC3\xA9t\xC3\xA9"}) {
            Outcome bad = Attempt([&] { Load(*ReaderFor(s), s.path, wrong); });
            EXPECT_EQ(bad.kind, "password") << wrong;
            EXPECT_EQ(bad.message, "Password is not valid") << wrong;
        }
    }
}

TEST(OfficeCryptoReal, EncryptedPackagesAreDetectedAsDocx) {
    for (const char* path : {"docx/poi_bug53475-password-is-pass.docx", "docx/tika_testWORD_protected_passtika.docx"})
        EXPECT_STREQ(FormatName(DetectFormat(test::ReadDataFile(path))), "docx") << path;
}

TEST(OfficeCryptoReal, PasswordReachesTheCommand) {
    std::string path = test::DataPath("docx/poi_bug53475-password-is-pass.docx");
    auto ok = test::RunCli("extract --password pass '" + path + "'");
    EXPECT_EQ(ok.status, 0);
    EXPECT_NE(ok.out.find("The is a password protected document."), std::string::npos) << ok.out;
    auto missing = test::RunCli("extract '" + path + "'");
    EXPECT_NE(missing.status, 0);
    EXPECT_NE(missing.out.find("The document is encrypted: a password is needed"), std::string::npos) << missing.out;
}

TEST(OfficeCryptoReal, MetadataOfAnEncryptedBinaryDocumentIsReadWithThePassword) {
    TWordBinFile doc;
    doc.SetParseItems({wpiSummaryInformation});
    Load(doc, "word/poi_password_tika_binaryrc4.doc", "tika");
    // The property sets of RC4 (not CryptoAPI) files are stored plain.
    EXPECT_FALSE(doc.SummaryInformation().Author().empty());
}

// ----- packages enciphered here -----

std::string Enc(const EVP_CIPHER* cipher, std::string_view key, std::string_view iv, std::string data) {
    data.resize((data.size() + 15) / 16 * 16, '\0');
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    std::string out(data.size() + 16, '\0');
    int n = 0, m = 0;
    EVP_EncryptInit_ex(ctx, cipher, nullptr, reinterpret_cast<const unsigned char*>(key.data()),
                       iv.empty() ? nullptr : reinterpret_cast<const unsigned char*>(iv.data()));
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    EVP_EncryptUpdate(ctx, reinterpret_cast<unsigned char*>(out.data()), &n,
                      reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
    EVP_EncryptFinal_ex(ctx, reinterpret_cast<unsigned char*>(out.data()) + n, &m);
    EVP_CIPHER_CTX_free(ctx);
    out.resize(static_cast<size_t>(n + m));
    return out;
}

const EVP_CIPHER* Cbc(size_t keyBytes) {
    return keyBytes == 16 ? EVP_aes_128_cbc() : keyBytes == 24 ? EVP_aes_192_cbc() : EVP_aes_256_cbc();
}

std::string B64(std::string_view bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                            reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
    out.resize(static_cast<size_t>(n));
    return out;
}

std::string Fit(std::string s, size_t n) {
    s.resize(n, '\x36');
    return s;
}

const char* HashName(THashAlgorithm h) { return h == THashAlgorithm::SHA1 ? "SHA1" : "SHA512"; }

struct Enciphered {
    std::string info;
    std::string package;
};

// Agile encryption of a package, as an Office application writes it.
Enciphered AgileEncrypt(const std::string& plain, const std::string& password, THashAlgorithm hash, size_t keyBytes,
                        uint32_t spinCount, bool withIntegrity = true) {
    size_t hs = HashSize(hash);
    std::string keySalt(16, 'k'), pwSalt(16, 'p'), secret(keyBytes, 's'), verifier(16, 'v');
    std::string h = Hash(hash, {pwSalt, PasswordUtf16le(password)});
    for (uint32_t i = 0; i < spinCount; ++i) h = Hash(hash, {U32le(i), h});
    auto key = [&](std::string_view block) { return Fit(Hash(hash, {h, block}), keyBytes); };
    auto encPw = [&](std::string_view block, const std::string& v) { return B64(Enc(Cbc(keyBytes), key(block), pwSalt, v)); };
    std::string encInput = encPw({"\xFE\xA7\xD2\x76\x3B\x4B\x9E\x79", 8}, verifier);
    std::string encHash = encPw({"\xD7\xAA\x0F\x6D\x30\x61\x34\x4E", 8}, Hash(hash, {verifier}));
    std::string encKey = encPw({"\x14\x6E\x0B\xE7\xAB\xAC\xD0\xD6", 8}, secret);

    std::string package = test::property_set::Le64(plain.size());
    for (size_t start = 0, seg = 0; start < plain.size(); start += 4096, ++seg)
        package += Enc(Cbc(keyBytes), secret, Fit(Hash(hash, {keySalt, U32le(static_cast<uint32_t>(seg))}), 16),
                       plain.substr(start, 4096));
    std::string integrity;
    if (withIntegrity) {
        std::string hmacKey(hs, 'h');
        unsigned char mac[EVP_MAX_MD_SIZE];
        unsigned int macLen = 0;
        HMAC(hash == THashAlgorithm::SHA1 ? EVP_sha1() : EVP_sha512(), hmacKey.data(), static_cast<int>(hs),
             reinterpret_cast<const unsigned char*>(package.data()), package.size(), mac, &macLen);
        auto ivFor = [&](std::string_view block) { return Fit(Hash(hash, {keySalt, block}), 16); };
        integrity = "<dataIntegrity encryptedHmacKey=\"" +
                    B64(Enc(Cbc(keyBytes), secret, ivFor({"\x5F\xB2\xAD\x01\x0C\xB9\xE1\xF6", 8}), hmacKey)) +
                    "\" encryptedHmacValue=\"" +
                    B64(Enc(Cbc(keyBytes), secret, ivFor({"\xA0\x67\x7F\x02\xB2\x2C\x84\x33", 8}),
                            std::string(reinterpret_cast<char*>(mac), macLen))) +
                    "\"/>";
    }
    std::string params = " blockSize=\"16\" keyBits=\"" + std::to_string(keyBytes * 8) + "\" hashSize=\"" +
                         std::to_string(hs) + "\" cipherAlgorithm=\"AES\" cipherChaining=\"ChainingModeCBC\" hashAlgorithm=\"" +
                         HashName(hash) + "\" saltSize=\"16\"";
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<encryption "
        "xmlns=\"http://schemas.microsoft.com/office/2006/encryption\" "
        "xmlns:p=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\"><keyData" +
        params + " saltValue=\"" + B64(keySalt) + "\"/>" + integrity +
        "<keyEncryptors><keyEncryptor uri=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\">"
        "<p:encryptedKey spinCount=\"" + std::to_string(spinCount) + "\"" + params + " saltValue=\"" + B64(pwSalt) +
        "\" encryptedVerifierHashInput=\"" + encInput + "\" encryptedVerifierHashValue=\"" + encHash +
        "\" encryptedKeyValue=\"" + encKey + "\"/></keyEncryptor></keyEncryptors></encryption>";
    return {std::string("\x04\x00\x04\x00\x40\x00\x00\x00", 8) + xml, package};
}

// Standard encryption (AES-128, SHA-1).
Enciphered StandardEncrypt(const std::string& plain, const std::string& password) {
    std::string salt(16, 'S'), verifier(16, 'V');
    std::string h = Hash(THashAlgorithm::SHA1, {salt, PasswordUtf16le(password)});
    for (uint32_t i = 0; i < 50000; ++i) h = Hash(THashAlgorithm::SHA1, {U32le(i), h});
    h = Hash(THashAlgorithm::SHA1, {h, U32le(0)});
    std::string b1(64, '\x36'), b2(64, '\x5C');
    for (size_t i = 0; i < h.size(); ++i) b1[i] ^= h[i], b2[i] ^= h[i];
    std::string key = Hash(THashAlgorithm::SHA1, {b1}).substr(0, 16);
    std::string header = U32le(0x24) + U32le(0) + U32le(0x660E) + U32le(0x8004) + U32le(128) + U32le(0x18) +
                         U32le(0) + U32le(0) + std::string("M\0S\0\0\0", 6);
    std::string info = std::string("\x04\x00\x02\x00", 4) + U32le(0x24) + U32le(static_cast<uint32_t>(header.size())) +
                       header + U32le(16) + salt + Enc(EVP_aes_128_ecb(), key, {}, verifier) + U32le(20) +
                       Enc(EVP_aes_128_ecb(), key, {}, Hash(THashAlgorithm::SHA1, {verifier}));
    return {info, test::property_set::Le64(plain.size()) + Enc(EVP_aes_128_ecb(), key, {}, plain)};
}

std::string SmallDocx(const std::string& words) {
    test::ZipBuilder zip;
    zip.Add("word/document.xml", "<w:document><w:body><w:p><w:r><w:t>" + words +
                                     "</w:t></w:r></w:p></w:body></w:document>");
    // Long enough for several 4096-byte segments.
    zip.Add("word/filler.bin", std::string(9000, 'x'), 0);
    return zip.Build();
}

std::string Container(const Enciphered& e) {
    test::CompoundFileBuilder b;
    b.AddStream(u"EncryptionInfo", e.info);
    b.AddStream(u"EncryptedPackage", e.package);
    return b.Build();
}

std::string LoadBytes(const std::string& bytes, const std::string& password) {
    TWordXmlFile doc;
    doc.SetPassword(password);
    TMemoryStream stream(bytes);
    doc.InternalLoadFromOLEStream(stream);
    return Utf16ToUtf8(doc.Text().Text());
}

TEST(OfficeCryptoCrafted, AgileWithSha1AndSha512AndStandardAesOpen) {
    std::string docx = SmallDocx("Crafted words");
    struct Case {
        const char* name;
        Enciphered e;
    } cases[] = {
        {"agile SHA-512 AES-256", AgileEncrypt(docx, "pässwörd", THashAlgorithm::SHA512, 32, 1000)},
        {"agile SHA-1 AES-128", AgileEncrypt(docx, "pässwörd", THashAlgorithm::SHA1, 16, 7)},
        {"agile without integrity", AgileEncrypt(docx, "pässwörd", THashAlgorithm::SHA1, 24, 3, false)},
        {"standard AES-128", StandardEncrypt(docx, "pässwörd")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DecryptOoxmlPackage(c.e.info, c.e.package, "pässwörd"), docx);
        EXPECT_NE(LoadBytes(Container(c.e), "pässwörd").find("Crafted words"), std::string::npos);
        EXPECT_EQ(Attempt([&] { DecryptOoxmlPackage(c.e.info, c.e.package, "passwörd"); }).message, "Password is not valid");
    }
}

TEST(OfficeCryptoCrafted, AgileIntegrityCheckCatchesAChangedPackage) {
    Enciphered e = AgileEncrypt(SmallDocx("Integrity"), "pw", THashAlgorithm::SHA512, 32, 5);
    for (size_t at : {size_t{0}, size_t{8}, e.package.size() / 2, e.package.size() - 1}) {
        Enciphered bad = e;
        bad.package[at] ^= 0x01;
        Outcome o = Attempt([&] { DecryptOoxmlPackage(bad.info, bad.package, "pw"); });
        EXPECT_EQ(o.kind, "damaged") << at;
        EXPECT_EQ(o.message, "The encrypted package fails its integrity check") << at;
    }
}

TEST(OfficeCryptoCrafted, SpinCountAboveTheFormatsLimitIsRefusedAtOnce) {
    Enciphered e = AgileEncrypt(SmallDocx("x"), "pw", THashAlgorithm::SHA1, 16, 1);
    std::string info = e.info;
    size_t at = info.find("spinCount=\"1\"");
    ASSERT_NE(at, std::string::npos);
    info.replace(at, 13, "spinCount=\"4294967295\"");
    EXPECT_EQ(Attempt([&] { DecryptOoxmlPackage(info, e.package, "pw"); }).kind, "damaged");
}

// Every cut and every byte change of an EncryptionInfo ends in a result or in
// one of the three encryption errors, never in anything else.
void CheckDamage(const Enciphered& e, const std::string& password, size_t flipStep) {
    auto check = [&](const std::string& info, const std::string& what) {
        try {
            DecryptOoxmlPackage(info, e.package, password);
        } catch (const EPasswordError&) {
        } catch (const EDamagedDocument&) {
        } catch (const EEncryptedError&) {
        } catch (const std::exception& ex) {
            ADD_FAILURE() << what << ": " << ex.what();
        }
    };
    for (size_t n = 0; n < e.info.size(); ++n) check(e.info.substr(0, n), "cut at " + std::to_string(n));
    for (size_t i = 0; i < e.info.size(); i += flipStep) {
        std::string info = e.info;
        info[i] = static_cast<char>(info[i] ^ 0x5A);
        check(info, "flip at " + std::to_string(i));
    }
}

TEST(OfficeCryptoCrafted, DamagedEncryptionInfoGivesAnEncryptionError) {
    CheckDamage(AgileEncrypt(SmallDocx("d"), "pw", THashAlgorithm::SHA1, 16, 2), "pw", 1);
    CheckDamage(StandardEncrypt(SmallDocx("d"), "pw"), "pw", 9);
    // The named failures.
    Enciphered s = StandardEncrypt(SmallDocx("d"), "pw");
    EXPECT_EQ(Attempt([&] { DecryptOoxmlPackage(s.info.substr(0, 30), s.package, "pw"); }).kind, "damaged");
    std::string v = s.info;
    v[2] = 9;  // version 4.9
    EXPECT_EQ(Attempt([&] { DecryptOoxmlPackage(v, s.package, "pw"); }).message,
              "The document's encryption information is damaged: unknown version 4.9");
    std::string alg = s.info;
    alg[12 + 8] = 0x01, alg[12 + 9] = 0x68;  // RC4 in place of AES
    EXPECT_EQ(Attempt([&] { DecryptOoxmlPackage(alg, s.package, "pw"); }).kind, "encrypted");
    EXPECT_EQ(Attempt([&] { DecryptOoxmlPackage(s.info, s.package.substr(0, 20), "pw"); }).kind, "damaged");
}

TEST(OfficeCryptoCrafted, DamagedRealEncryptionInfoIsReportedNotCrashed) {
    auto file = TCompoundFile::Open(test::ReadDataFile("docx/tika_testWORD_protected_passtika.docx"));
    Enciphered e{file->Root().ReadStream(u"EncryptionInfo"), file->Root().ReadStream(u"EncryptedPackage")};
    CheckDamage(e, "tika", 31);
}

// ----- binary Word -----

TEST(OfficeCryptoRc4, DamagedOrUnknownHeadersAreReported) {
    auto file = TCompoundFile::Open(test::ReadDataFile("word/poi_password_password_cryptoapi.doc"));
    std::string table = file->Root().ReadStream(u"1Table");
    std::string word = file->Root().ReadStream(u"WordDocument");
    uint32_t lKey = static_cast<uint8_t>(word[14]) | static_cast<uint8_t>(word[15]) << 8;
    std::string header = table.substr(0, lKey);
    EXPECT_NO_THROW(TOfficeRc4Decryptor(header, "password"));
    for (size_t n = 0; n < header.size(); ++n) {
        Outcome o = Attempt([&] { TOfficeRc4Decryptor(header.substr(0, n), "password"); });
        EXPECT_TRUE(o.kind == "damaged" || o.kind == "encrypted") << n << " " << o.kind;
    }
    std::string v = header;
    v[0] = 7;
    EXPECT_EQ(Attempt([&] { TOfficeRc4Decryptor(v, "password"); }).kind, "encrypted");
}

TEST(OfficeCryptoRc4, EncryptedSummaryStreamGivesTheMetadata) {
    // A CryptoAPI document whose property sets moved into "EncryptedSummary"
    // (the plain "\005DocumentSummaryInformation" is an empty placeholder).
    auto file = TCompoundFile::Open(test::ReadDataFile("word/poi_password_password_cryptoapi.doc"));
    TCompoundStorage root = file->Root();
    std::string word = root.ReadStream(u"WordDocument"), table = root.ReadStream(u"1Table");
    uint32_t lKey = static_cast<uint8_t>(word[14]) | static_cast<uint8_t>(word[15]) << 8;
    TOfficeRc4Decryptor rc4(table.substr(0, lKey), "password");
    std::string summary = test::property_set::PropertySet({test::property_set::CodePage(1252), test::property_set::Str(2, "Hidden title")});
    std::string docSummary = test::property_set::PropertySet({test::property_set::CodePage(1252), test::property_set::Str(15, "Hidden company")});
    // RC4 is its own inverse: enciphering is deciphering.
    std::u16string names[2] = {u"\x05" u"SummaryInformation", u"\x05" u"DocumentSummaryInformation"};
    std::string streams = rc4.DecryptRun(summary, 0) + rc4.DecryptRun(docSummary, 1);
    std::string descriptors = U32le(2);
    uint32_t offset = 8;
    for (int i = 0; i < 2; ++i) {
        uint32_t size = static_cast<uint32_t>(i == 0 ? summary.size() : docSummary.size());
        descriptors += U32le(offset) + U32le(size) + std::string{static_cast<char>(i), 0} +
                       std::string{static_cast<char>(names[i].size()), 1} + U32le(0);
        for (char16_t c : names[i]) descriptors += std::string{static_cast<char>(c), 0};
        descriptors += std::string(2, '\0');
        offset += size;
    }
    std::string stream = U32le(offset) + U32le(static_cast<uint32_t>(descriptors.size() - 4)) + streams +
                         rc4.DecryptRun(descriptors, 0);

    auto entries = rc4.ReadEncryptedSummary(stream);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].first, u"\x05" u"DocumentSummaryInformation");
    EXPECT_EQ(entries[1].second, docSummary);
    test::CompoundFileBuilder b;
    b.AddStream(u"WordDocument", word);
    b.AddStream(u"1Table", table);
    b.AddStream(u"EncryptedSummary", stream);
    b.AddStream(u"\x05" u"DocumentSummaryInformation", test::property_set::PropertySet({test::property_set::CodePage(1252)}));
    TWordBinFile doc;
    doc.SetPassword("password");
    TMemoryStream in(b.Build());
    doc.LoadFromStream(in);
    EXPECT_EQ(Utf16ToUtf8(doc.SummaryInformation().Title()), "Hidden title");
    EXPECT_EQ(Utf16ToUtf8(doc.SummaryInformation().Company()), "Hidden company");
    EXPECT_NE(Utf16ToUtf8(doc.Text().Text()).find("This is a test"), std::string::npos);

    // A descriptor table that points outside the stream.
    std::string bad = stream;
    bad[0] = static_cast<char>(0xF0);
    EXPECT_EQ(Attempt([&] { rc4.ReadEncryptedSummary(bad); }).kind, "damaged");
}

TEST(OfficeCryptoXor, VerifierAndKeyMatchTheSamplesLKey) {
    // lKey of the Word 95 sample saved with "password1" (the Word 97 sample
    // with the same password uses RC4).
    for (const char* path : {"word/wv_95-password1_pw-password1.doc"}) {
        auto file = TCompoundFile::Open(test::ReadDataFile(path));
        std::string word = file->Root().ReadStream(u"WordDocument");
        uint32_t lKey = 0;
        for (int i = 3; i >= 0; --i) lKey = lKey << 8 | static_cast<uint8_t>(word[14 + static_cast<size_t>(i)]);
        EXPECT_EQ(TXorObfuscation::Verifier("password1"), lKey & 0xFFFF) << path;
        EXPECT_EQ(TXorObfuscation::XorKey("password1"), lKey >> 16) << path;
        EXPECT_NE(TXorObfuscation::Verifier("password2"), lKey & 0xFFFF) << path;
    }
}

TEST(OfficeCryptoXor, ObfuscationIsItsOwnInverseAndKeepsZeros) {
    std::mt19937 rng(20);
    for (int round = 0; round < 200; ++round) {
        std::string pw;
        for (size_t n = 1 + rng() % 15; pw.size() < n;) pw.push_back(static_cast<char>('!' + rng() % 90));
        uint32_t lKey = uint32_t{TXorObfuscation::XorKey(pw)} << 16 | TXorObfuscation::Verifier(pw);
        TXorObfuscation x(pw, lKey, round % 2 == 0);
        std::string data(1 + rng() % 300, '\0');
        for (char& c : data) c = static_cast<char>(rng() % 4 == 0 ? 0 : rng());
        std::string once = data;
        x.Apply(once, 3);
        for (size_t i = 0; i < data.size(); ++i) {
            EXPECT_EQ(once[i] == 0, data[i] == 0);
            if (i < 3) {
                EXPECT_EQ(once[i], data[i]);
            }
        }
        std::string twice = once;
        x.Apply(twice, 3);
        EXPECT_EQ(twice, data) << pw;
    }
    EXPECT_EQ(TXorObfuscation::SingleBytePassword("ab\xE2\x80\x94\xC4\x80"),
              std::string("ab\x14\x01", 4));  // U+2014 keeps its low byte, U+0100 its high byte
    EXPECT_EQ(TXorObfuscation::SingleBytePassword("0123456789abcdefgh").size(), 15u);
    EXPECT_THROW(TXorObfuscation("", 0, true), EPasswordError);
}

TEST(OfficeCryptoPrimitives, Base64AcceptsOnlyBase64) {
    EXPECT_EQ(Base64Decode("aGVsbG8="), "hello");
    EXPECT_EQ(Base64Decode("aGVs\r\nbG8h"), "hello!");
    EXPECT_EQ(Base64Decode(""), "");
    for (const char* bad : {"aGVsbG8=x", "a", "aGV*", "aGVsbG8==="}) EXPECT_FALSE(Base64Decode(bad)) << bad;
}

}  // namespace
}  // namespace quillmark
