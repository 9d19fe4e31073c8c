// Encrypted real files (tests/data/pdf/encrypted, with passwords.tsv) against
// what qpdf reads from them (tests/tools/make_pdf_decrypted_listings.py): the
// file key, every decrypted and decoded stream, and the information strings.
// The basic_3 copies were encrypted by qpdf from tests/data/pdf/basic_3.pdf
// and must give that file's streams and strings.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "quillmark/framework/exception.h"
#include "quillmark/pdf/pdf_encryption.h"
#include "quillmark/pdf/pdf_objects.h"
#include "quillmark/pdf/pdf_reader.h"
#include "support/test_support.h"

namespace quillmark {
namespace {

struct Sample {
    std::string name, user, owner;  // owner "-" when unknown
};

std::vector<Sample> Samples() {
    std::vector<Sample> out;
    std::istringstream in(test::ReadDataFile("pdf/encrypted/passwords.tsv"));
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        size_t a = line.find('\t'), b = line.find('\t', a + 1);
        out.push_back({line.substr(0, a), line.substr(a + 1, b - a - 1), line.substr(b + 1)});
    }
    return out;
}

std::string Stem(const std::string& name) { return name.substr(0, name.size() - 4); }

std::string Crc(const std::string& data) {
    char got[16];
    std::snprintf(got, sizeof got, "%08lx",
                  crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    return got;
}

void LoadFile(TDTPDFReader& r, const std::string& path, const std::string& password) {
    r.SetParseItems(TDTWParseItems{});
    r.SetPassword(password);
    r.LoadFromFile(test::DataPath(path));
}

const TDTPDFStandardEncryption* Handler(const TDTPDFReader& r) {
    return dynamic_cast<const TDTPDFStandardEncryption*>(r.GetEncryption());
}

// The strings of the information dictionary: key -> bytes, decrypted.
std::map<std::string, std::string> InfoStrings(TDTPDFReader& r, const std::vector<std::string>& keys) {
    std::map<std::string, std::string> out;
    int32_t info = static_cast<int32_t>(PdfToInt(r.GetInfoTag(), -1));
    std::string body = r.GetBodyByRefNo(info);
    for (const std::string& key : keys) {
        size_t p = PdfFindKey(body, "/" + key);
        if (p == std::string::npos) continue;
        size_t i = p + key.size() + 1;
        while (i < body.size() && PdfIsWhite(body[i])) ++i;
        size_t used = 0;
        out[key] = r.DecryptString(info, PdfDecodeString(std::string_view(body).substr(i), used));
    }
    return out;
}

std::string LoadError(const std::string& path, const std::string& password) {
    TDTPDFReader r;
    try {
        LoadFile(r, path, password);
    } catch (const Exception& e) {
        return e.what();
    }
    return "";
}

TEST(PdfDecryptionCorpus, EveryFileDecryptsAsQpdfReadsIt) {
    std::vector<Sample> samples = Samples();
    ASSERT_GE(samples.size(), 20u);
    for (const Sample& s : samples) {
        SCOPED_TRACE(s.name);
        const std::string path = "pdf/encrypted/" + s.name;
        TDTPDFReader r;
        ASSERT_NO_THROW(LoadFile(r, path, s.user));
        ASSERT_NE(Handler(r), nullptr);
        std::string key = test::ReadDataFile("pdf/encrypted/" + Stem(s.name) + ".key.txt");
        EXPECT_EQ(test::ToHex(Handler(r)->FileKey()) + "\n", key);

        std::istringstream streams(test::ReadDataFile("pdf/encrypted/" + Stem(s.name) + ".streams.txt"));
        int32_t n = 0;
        size_t size = 0;
        std::string crc;
        int count = 0;
        while (streams >> n >> size >> crc) {
            std::string data = r.GetDecodedStream(n);
            EXPECT_EQ(data.size(), size) << "stream " << n;
            EXPECT_EQ(Crc(data), crc) << "stream " << n;
            ++count;
        }

        std::istringstream info(test::ReadDataFile("pdf/encrypted/" + Stem(s.name) + ".info.txt"));
        std::vector<std::pair<std::string, std::string>> expected;
        for (std::string row; std::getline(info, row);) {
            size_t sp = row.find(' ');
            if (sp != std::string::npos) expected.emplace_back(row.substr(0, sp), row.substr(sp + 1));
        }
        std::vector<std::string> keys;
        for (const auto& e : expected) keys.push_back(e.first);
        std::map<std::string, std::string> got = InfoStrings(r, keys);
        for (const auto& [key, value] : expected) EXPECT_EQ(test::ToHex(got[key]), value) << key;

        // The owner password opens the document with the same key.
        if (s.owner != "-") {
            TDTPDFReader o;
            ASSERT_NO_THROW(LoadFile(o, path, s.owner));
            EXPECT_TRUE(Handler(o)->OwnerAuthenticated());
            EXPECT_EQ(Handler(o)->FileKey(), Handler(r)->FileKey());
        }
        EXPECT_EQ(LoadError(path, "wrong password"), strPasswordNotValid);
        if (!s.user.empty()) {
            EXPECT_EQ(LoadError(path, ""), strPasswordNotValid);
        }
    }
}

TEST(PdfDecryptionCorpus, UnknownOpenPasswordIsReported) {
    EXPECT_EQ(LoadError("pdf/encrypted/encryption_openpassword.pdf", ""), strPasswordNotValid);
}

TEST(PdfDecryptionCorpus, EncryptedCopiesGiveThePlainFilesStreamsAndMetadata) {
    TDTPDFReader plain;
    LoadFile(plain, "pdf/basic_3.pdf", "");
    EXPECT_EQ(plain.GetEncryption(), nullptr);
    std::vector<std::string> plainCrcs;
    for (int32_t n = 0; n < plain.XRefs().Count(); ++n) {
        std::string d = plain.GetDecodedStream(n);
        if (!d.empty()) plainCrcs.push_back(Crc(d));
    }
    const std::vector<std::string> keys = {"Title", "Subject", "Author", "Keywords", "Creator", "Producer",
                                           "CreationDate"};
    std::map<std::string, std::string> plainInfo = InfoStrings(plain, keys);
    ASSERT_EQ(plainInfo.size(), keys.size());

    for (const char* variant : {"rc4_40", "rc4_128", "rc4_128_user", "aes_128", "aes_256"}) {
        SCOPED_TRACE(variant);
        TDTPDFReader r;
        LoadFile(r, std::string("pdf/encrypted/basic_3.") + variant + ".pdf",
                 std::string(variant) == "rc4_128_user" ? "secret" : "");
        EXPECT_EQ(InfoStrings(r, keys), plainInfo);
        int streams = 0;
        for (int32_t n = 0; n < r.XRefs().Count(); ++n) {
            std::string d = r.GetDecodedStream(n);
            if (d.empty()) continue;
            ++streams;
            EXPECT_NE(std::find(plainCrcs.begin(), plainCrcs.end(), Crc(d)), plainCrcs.end()) << "stream " << n;
        }
        EXPECT_GE(streams, 12);
    }
}

}  // namespace
}  // namespace quillmark
