// The security handler on files the tests build. The encryption dictionaries
// are those qpdf wrote for the corpus (RC4 128-bit revision 3 and AES-128
// revision 4, empty user password, owner password "owner"), with the same
// /ID, so the file key is the one qpdf reports (--show-encryption-key); the
// objects themselves are encrypted here with object keys made independently.
#include "quillmark/pdf/pdf_encryption.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include "quillmark/framework/exception.h"
#include "quillmark/framework/stream.h"
#include "quillmark/pdf/md5.h"
#include "quillmark/pdf/pdf_objects.h"
#include "quillmark/pdf/pdf_reader.h"
#include "quillmark/pdf/rc4.h"
#include "support/test_support.h"
#include "tests/support/pdf_builder.h"

namespace quillmark {
namespace {

using test::Deflate;
using test::PdfBuilder;
using test::StreamObject;

const char* kId = "/ID [<fedd31e896673bfdc9fc40bb611af7c3><9c386d45cbdecc5143f633e5c8f1a42a>]";
const char* kOwnerHash = "<566fa873ee33c797cd3b904fdadf814afa34df9a38f6ed41b984e2c6da2aa6f5>";
const char* kUserHash = "<8224e2eabedcd5d206475cbdfc5823010122456a91bae5134273a6db134c87c4>";
const char* kFileKey = "78819c8f583b4f5b5d8583291139d0fc";  // qpdf --show-encryption-key

std::string Rc4Dict() {
    return std::string("<< /Filter /Standard /Length 128 /O ") + kOwnerHash + " /P -4 /R 3 /U " + kUserHash +
           " /V 2 >>";
}
std::string AesDict(const std::string& cfm = "/AESV2", const std::string& extra = "") {
    return std::string("<< /CF << /StdCF << /AuthEvent /DocOpen /CFM ") + cfm +
           " /Length 16 >> >> /Filter /Standard /Length 128 /O " + kOwnerHash + " /P -4 /R 4 /StmF /StdCF " +
           "/StrF /StdCF /U " + kUserHash + " /V 4 " + extra + ">>";
}

std::string ObjectKey(int32_t num, int32_t gen, bool aes) {
    std::string in = test::FromHex(kFileKey);
    in += {static_cast<char>(num & 0xFF), static_cast<char>((num >> 8) & 0xFF), static_cast<char>((num >> 16) & 0xFF),
           static_cast<char>(gen & 0xFF), static_cast<char>((gen >> 8) & 0xFF)};
    if (aes) in += "sAlT";
    return MD5Bytes(in).substr(0, 16);
}

std::string Rc4Encrypt(int32_t num, int32_t gen, const std::string& data) {
    std::string key = ObjectKey(num, gen, false);
    TRC4Context c;
    RC4Init(c, key.data(), 16);
    std::string out(data.size(), '\0');
    RC4Crypt(c, data.data(), out.data(), static_cast<uint32_t>(data.size()));
    return out;
}

std::string AesEncrypt(int32_t num, int32_t gen, const std::string& data) {
    std::string key = ObjectKey(num, gen, true);
    std::string iv = "0123456789abcdef";
    std::string out(data.size() + 32, '\0');
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    int a = 0, b = 0;
    EVP_EncryptInit_ex(ctx, EVP_aes_128_cbc(), nullptr, reinterpret_cast<const unsigned char*>(key.data()),
                       reinterpret_cast<const unsigned char*>(iv.data()));
    EVP_EncryptUpdate(ctx, reinterpret_cast<unsigned char*>(out.data()), &a,
                      reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
    EVP_EncryptFinal_ex(ctx, reinterpret_cast<unsigned char*>(out.data()) + a, &b);
    EVP_CIPHER_CTX_free(ctx);
    out.resize(static_cast<size_t>(a + b));
    return iv + out;
}

std::string AllBytes() {
    std::string s;
    for (int i = 0; i < 256; ++i) s.push_back(static_cast<char>(i));
    return s;
}

const std::string kContent = "BT /F1 12 Tf (Hello \x81\x8D world) Tj ET";

// Catalog, an information dictionary with an encrypted title, a stream of
// every byte value in an object of generation 1, and a Flate content stream.
std::string BuildFile(bool aes, const std::string& encryptDict) {
    auto enc = [&](int32_t n, int32_t g, const std::string& d) { return aes ? AesEncrypt(n, g, d) : Rc4Encrypt(n, g, d); };
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog >>");
    b.Add(2, "<< /Title <" + test::ToHex(enc(2, 0, "Secret title")) + "> >>");
    b.Add(4, StreamObject("", enc(4, 1, AllBytes())), 1);
    b.Add(5, StreamObject("/Filter /FlateDecode", enc(5, 0, Deflate(kContent))));
    b.Add(6, encryptDict);
    b.SetTrailer(std::string("/Root 1 0 R /Info 2 0 R /Encrypt 6 0 R ") + kId);
    return b.Build();
}

void Load(TDTPDFReader& r, const std::string& bytes, const std::string& password = "") {
    r.SetPassword(password);
    TMemoryStream s(bytes);
    r.LoadFromStream(s);
}

std::string TitleOf(TDTPDFReader& r) {
    std::string body = r.GetBodyByRefNo(2);
    size_t p = body.find("/Title");
    size_t used = 0;
    std::string raw = PdfDecodeString(std::string_view(body).substr(p + 7), used);
    return r.DecryptString(2, raw);
}

const TDTPDFStandardEncryption& Handler(const TDTPDFReader& r) {
    auto h = dynamic_cast<const TDTPDFStandardEncryption*>(r.GetEncryption());
    if (!h) throw std::runtime_error("no standard handler");
    return *h;
}

std::string LoadError(const std::string& file, const std::string& password) {
    TDTPDFReader r;
    try {
        Load(r, file, password);
    } catch (const Exception& e) {
        return e.what();
    }
    return "";
}

TEST(PdfEncryption, DecryptsStreamsAndStringsWithRc4AndAes) {
    for (bool aes : {false, true}) {
        SCOPED_TRACE(aes ? "AES-128" : "RC4-128");
        TDTPDFReader r;
        Load(r, BuildFile(aes, aes ? AesDict() : Rc4Dict()));
        EXPECT_EQ(test::ToHex(Handler(r).FileKey()), kFileKey);
        EXPECT_FALSE(Handler(r).OwnerAuthenticated());
        // Generation 1: the object key uses the real generation number, and
        // every byte value comes back unchanged (no text round trip).
        EXPECT_EQ(r.GetDecodedStream(4), AllBytes());
        EXPECT_EQ(r.GetDecodedStream(5), kContent);
        EXPECT_EQ(TitleOf(r), "Secret title");
        // The encryption dictionary's own strings are never decrypted.
        EXPECT_EQ(r.DecryptString(6, "abc"), "abc");
    }
}

TEST(PdfEncryption, OwnerPasswordOpensAndWrongPasswordFailsAtLoad) {
    for (bool aes : {false, true}) {
        std::string file = BuildFile(aes, aes ? AesDict() : Rc4Dict());
        TDTPDFReader r;
        Load(r, file, "owner");
        EXPECT_TRUE(Handler(r).OwnerAuthenticated());
        EXPECT_EQ(test::ToHex(Handler(r).FileKey()), kFileKey);
        EXPECT_EQ(r.GetDecodedStream(5), kContent);
        // The check runs once, at load, before any stream is read.
        EXPECT_EQ(LoadError(file, "not the password"), strPasswordNotValid);
        // A password that only starts like the owner password is wrong too.
        EXPECT_EQ(LoadError(file, "owner2"), strPasswordNotValid);
    }
}

TEST(PdfEncryption, ObjectStreamsAreDecryptedOnceAndCrossReferenceStreamsNever) {
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog >>");
    b.AddCompressed(7, "<< /Note (Plain inside) >>");
    b.Add(6, Rc4Dict());
    b.SetTrailer(std::string("/Root 1 0 R /Encrypt 6 0 R ") + kId);
    std::string file = b.Build(PdfBuilder::XRef::Stream);
    // Encrypt the object stream (object 100) in place: RC4 keeps the length,
    // so every offset stays right.
    size_t objStm = file.find("100 0 obj");
    size_t data = file.find("stream\r\n", objStm) + 8;
    size_t end = file.find("\r\nendstream", data);
    file.replace(data, end - data, Rc4Encrypt(100, 0, file.substr(data, end - data)));

    TDTPDFReader r;
    Load(r, file);
    std::string body = r.GetBodyByRefNo(7);
    EXPECT_NE(body.find("(Plain inside)"), std::string::npos) << body;
    EXPECT_EQ(r.DecryptString(7, "Plain inside"), "Plain inside");
    int32_t self = r.XRefs().Count() - 1;  // the cross-reference stream
    EXPECT_EQ(r.GetDecodedStream(self).size(), static_cast<size_t>(r.XRefs().Count()) * 7);
}

TEST(PdfEncryption, CryptFiltersIdentityAndUnknownMethods) {
    {
        // Streams left in the clear by /StmF /Identity; strings still AES.
        PdfBuilder b;
        b.Add(1, "<< /Type /Catalog >>");
        b.Add(2, "<< /Title <" + test::ToHex(AesEncrypt(2, 0, "Secret title")) + "> >>");
        b.Add(5, StreamObject("/Filter /FlateDecode", Deflate(kContent)));
        std::string dict = AesDict();
        dict.replace(dict.find("/StmF /StdCF"), 12, "/StmF /Identity");
        b.Add(6, dict);
        b.SetTrailer(std::string("/Root 1 0 R /Info 2 0 R /Encrypt 6 0 R ") + kId);
        TDTPDFReader r;
        Load(r, b.Build());
        EXPECT_EQ(r.GetDecodedStream(5), kContent);
        EXPECT_EQ(TitleOf(r), "Secret title");
    }
    {
        // A stream's own /Crypt filter naming Identity; another stream AES.
        // (Metadata streams in the clear under /EncryptMetadata false are
        // checked on pdfminer_enc_aes-128-m.pdf in the corpus test.)
        PdfBuilder b;
        b.Add(1, "<< /Type /Catalog >>");
        b.Add(4, StreamObject("/Filter [/Crypt /FlateDecode] /DecodeParms [<< /Name /Identity >> null]",
                              Deflate(kContent)));
        b.Add(5, StreamObject("/Filter /FlateDecode", AesEncrypt(5, 0, Deflate(kContent))));
        b.Add(6, AesDict());
        b.SetTrailer(std::string("/Root 1 0 R /Encrypt 6 0 R ") + kId);
        TDTPDFReader r;
        Load(r, b.Build());
        EXPECT_EQ(r.GetDecodedStream(4), kContent);
        EXPECT_EQ(r.GetDecodedStream(5), kContent);
    }
    {
        // An unknown method: the password check works, decryption refuses.
        PdfBuilder b;
        b.Add(1, "<< /Type /Catalog >>");
        b.Add(5, StreamObject("", "abc"));
        b.Add(6, AesDict("/FutureCipher"));
        b.SetTrailer(std::string("/Root 1 0 R /Encrypt 6 0 R ") + kId);
        TDTPDFReader r;
        Load(r, b.Build());
        try {
            r.GetDecodedStream(5);
            ADD_FAILURE() << "no exception";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), strCryptFilterNotImplemented);
        }
    }
}

std::shared_ptr<TDTPDFStandardEncryption> Create(const std::string& dict,
                                                 const std::function<std::string(int32_t)>& resolve = {}) {
    return std::dynamic_pointer_cast<TDTPDFStandardEncryption>(CreatePdfEncryption(dict, resolve));
}

std::string CreateError(const std::string& dict) {
    try {
        Create(dict);
    } catch (const Exception& e) {
        return e.what();
    }
    return "";
}

TEST(PdfEncryption, RejectsHandlersAlgorithmsAndRevisionsItDoesNotRead) {
    EXPECT_EQ(CreateError("<< /Filter /Adobe.PubSec /V 2 /R 3 >>"), strEncryptionNotSupported);
    EXPECT_EQ(CreateError("<< /V 2 /R 3 >>"), strEncryptionNotSupported);
    EXPECT_EQ(CreateError("<< /Filter /Standard /V 3 /R 3 >>"), strAlgorithm3NotSupported);
    EXPECT_EQ(CreateError("<< /Filter /Standard /R 3 >>"), strUnknownEncryptionAlgorithm);
    EXPECT_EQ(CreateError("<< /Filter /Standard /V 6 /R 7 >>"), strUnknownEncryptionAlgorithm);
    EXPECT_EQ(CreateError("<< /Filter /Standard /V 2 /R 5 >>"), strUnknownEncryptionRevision);
    EXPECT_EQ(CreateError("<< /Filter /Standard /V 5 /R 4 >>"), strUnknownEncryptionRevision);
    // Revisions below 2 have no password check: no password is valid.
    auto h = Create("<< /Filter /Standard /V 1 /R 1 /O <00> /U <00> /P -4 >>");
    try {
        h->Authenticate("", "");
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), strPasswordNotValid);
    }
}

TEST(PdfEncryption, ReadsTheDictionaryValues) {
    // Negative /P: the same 32 bits; unsigned spelling gives the same.
    auto h = Create("<< /Filter /Standard /V 2 /R 3 /P -1044 /O (a\\nb) /U (x/O y\\n) >>");
    EXPECT_EQ(h->Permissions(), 0xFFFFFBECu);
    EXPECT_TRUE(h->CanPrintDocument());
    EXPECT_TRUE(h->CanModifyDocument());
    EXPECT_FALSE(h->CanExtractContent());
    EXPECT_TRUE(h->CanModifyAnnotations());
    EXPECT_TRUE(h->CanFillInForm());
    EXPECT_TRUE(h->CanFormFieldFill2());
    EXPECT_FALSE(h->CanContentCopy2());
    EXPECT_TRUE(h->CanContentAccessibility());
    EXPECT_TRUE(h->CanPrintDocumentHighLevel());
    EXPECT_EQ(Create("<< /Filter /Standard /V 2 /R 3 /P 4294966252 >>")->Permissions(), 0xFFFFFBECu);
    // Escapes are decoded (a "\n" is a line feed); a "/O" inside a string
    // is not a key.
    EXPECT_EQ(h->OwnerPasswordHash(), "a\nb");
    EXPECT_EQ(h->UserPasswordHash(), "x/O y\n");
    EXPECT_TRUE(h->EncryptMetadata());
    EXPECT_EQ(h->Algorithm(), 2);
    EXPECT_EQ(h->Revision(), 3);

    // Key lengths: /V 1 is always 40 bits, /V 2 defaults to 40, /V 4 to 128.
    EXPECT_EQ(Create("<< /Filter /Standard /V 1 /R 2 /Length 128 >>")->KeyLength(), 40);
    EXPECT_EQ(Create("<< /Filter /Standard /V 2 /R 3 >>")->KeyLength(), 40);
    EXPECT_EQ(Create("<< /Filter /Standard /V 2 /R 3 /Length 128 >>")->KeyLength(), 128);
    EXPECT_EQ(Create("<< /Filter /Standard /V 2 /R 3 /Length 44 >>")->KeyLength(), 40);
    EXPECT_EQ(Create("<< /Filter /Standard /V 2 /R 3 /Length 4096 >>")->KeyLength(), 128);
    EXPECT_EQ(Create("<< /Filter /Standard /V 4 /R 4 >>")->KeyLength(), 128);
    EXPECT_EQ(Create("<< /Filter /Standard /V 5 /R 6 >>")->KeyLength(), 256);
    EXPECT_FALSE(Create("<< /Filter /Standard /V 4 /R 4 /EncryptMetadata false >>")->EncryptMetadata());
    // The keys of a crypt filter are its own, not the dictionary's; keys
    // are taken in their exact case.
    auto nested = Create("<< /CF << /StdCF << /Length 16 /CFM /AESV2 /V 9 /Filter /Other >> >> "
                         "/Filter /Standard /V 4 /R 4 /Length 40 /StmF /StdCF >>");
    EXPECT_EQ(nested->KeyLength(), 40);
    EXPECT_EQ(nested->Algorithm(), 4);
    EXPECT_EQ(CreateError("<< /filter /Standard /V 2 /R 3 >>"), strEncryptionNotSupported);

    // Indirect values are fetched.
    auto r = Create("<< /Filter /Standard /V 2 /R 3 /O 9 0 R /P 8 0 R >>", [](int32_t n) {
        return n == 9 ? std::string("9 0 obj\n<414243>\nendobj") : std::string("8 0 obj -4 endobj");
    });
    EXPECT_EQ(r->OwnerPasswordHash(), "ABC");
    EXPECT_EQ(r->Permissions(), 0xFFFFFFFCu);
}

TEST(PdfEncryption, KeyDerivationMatchesQpdf) {
    auto h = Create(Rc4Dict());
    const std::string id = test::FromHex("fedd31e896673bfdc9fc40bb611af7c3");
    std::string pw;
    EXPECT_EQ(test::ToHex(h->ComputeKey(id, pw)), kFileKey);
    EXPECT_EQ(pw, TDTPDFStandardEncryption::PASSWORD_PADDING());
    // A password longer than 32 bytes is cut to 32 before hashing.
    std::string longer = std::string(32, 'p') + "tail", cut(32, 'p');
    EXPECT_EQ(h->ComputeKey(id, longer), h->ComputeKey(id, cut));
    EXPECT_EQ(longer, std::string(32, 'p'));
    EXPECT_EQ(test::ToHex(TDTPDFStandardEncryption::PASSWORD_PADDING()),
              "28bf4e5e4e758a4164004e56fffa01082e2e00b6d0683e802f0ca9fe6453697a");

    // Revision 4 with /EncryptMetadata false hashes four 0xFF bytes more.
    auto m = Create(AesDict("/AESV2", "/EncryptMetadata false "));
    pw.clear();
    EXPECT_NE(test::ToHex(m->ComputeKey(id, pw)), kFileKey);

    // A 40-bit key is five bytes.
    auto k40 = Create(std::string("<< /Filter /Standard /V 1 /R 2 /O ") + kOwnerHash + " /P -4 >>");
    pw.clear();
    EXPECT_EQ(k40->ComputeKey(id, pw).size(), 5u);
}

TEST(PdfEncryption, DamagedAesDataNeitherCrashesNorInventsBytes) {
    TDTPDFReader r;
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog >>");
    std::string good = AesEncrypt(3, 0, "sixteen bytes!!!");
    b.Add(2, StreamObject("", good.substr(0, 10)));  // shorter than the vector
    b.Add(3, StreamObject("", good + "ragged"));      // a partial block after
    b.Add(5, StreamObject("", good.substr(0, 16)));   // the vector alone
    b.Add(6, AesDict());
    b.SetTrailer(std::string("/Root 1 0 R /Encrypt 6 0 R ") + kId);
    Load(r, b.Build());
    EXPECT_EQ(r.GetDecodedStream(2), "");
    EXPECT_EQ(r.GetDecodedStream(3), "sixteen bytes!!!");
    EXPECT_EQ(r.GetDecodedStream(5), "");
}

TEST(PdfEncryption, DictionaryEntriesSkipNestedValuesAndStrings) {
    auto e = PdfDictionaryEntries("<< /A (x >> /B) /B << /C [1 2 (])] >> /D 3 0 R /E 7 /F <41> %c /G\n/G 2 >>");
    EXPECT_EQ(e["a"], "(x >> /B)");
    EXPECT_EQ(e["b"], "<< /C [1 2 (])] >>");
    EXPECT_EQ(e["d"], "3 0 R");
    EXPECT_EQ(e["e"], "7");
    EXPECT_EQ(e["f"], "<41>");
    EXPECT_EQ(e["g"], "2");
    EXPECT_TRUE(PdfDictionaryEntries("no dictionary").empty());
    EXPECT_EQ(PdfDictionaryEntries("<< /A (unterminated").at("a"), "(unterminated");
}

}  // namespace
}  // namespace quillmark
