// MD5 against the RFC 1321 test suite, RC4 against published vectors
// (RFC 6229 and the classic short examples).
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <string>

#include "quillmark/pdf/md5.h"
#include "quillmark/pdf/rc4.h"
#include "support/test_support.h"

namespace quillmark {
namespace {

TEST(Md5, Rfc1321TestSuite) {
    const std::pair<std::string, const char*> suite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [input, digest] : suite) {
        SCOPED_TRACE(input);
        EXPECT_EQ(test::ToHex(MD5Bytes(input)), digest);
    }
}

TEST(Md5, PiecewiseUpdatesGiveTheSameDigestAcrossBlockBoundaries) {
    std::string data;
    for (int i = 0; i < 1000; ++i) data.push_back(static_cast<char>(i * 7 + 3));
    const std::string whole = MD5Bytes(data);
    for (size_t step : {1u, 3u, 63u, 64u, 65u, 200u}) {
        SCOPED_TRACE(step);
        MD5Context c;
        MD5Init(c);
        for (size_t p = 0; p < data.size(); p += step) {
            std::string piece = data.substr(p, step);
            MD5Update(c, piece.data(), static_cast<uint32_t>(piece.size()));
        }
        MD5Update(c, nullptr, 0);
        MD5Digest d;
        MD5Final(c, d);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(d.bytes), 16), whole);
    }
}

TEST(Md5, AgreesWithOpenSslAroundThePaddingAndBlockLimits) {
    std::string data;
    for (int i = 0; i < 300; ++i) data.push_back(static_cast<char>(i * 31 + 7));
    for (size_t len = 0; len <= data.size(); ++len) {
        unsigned char ref[EVP_MAX_MD_SIZE];
        unsigned int n = 0;
        EVP_Digest(data.data(), len, ref, &n, EVP_md5(), nullptr);
        ASSERT_EQ(MD5Bytes(std::string_view(data).substr(0, len)), std::string(reinterpret_cast<char*>(ref), n))
            << len;
    }
}

TEST(Md5, BitCountCarriesIntoTheHighWordAndFinalWipesTheContext) {
    MD5Context c;
    MD5Init(c);
    EXPECT_EQ(c.State[0], 0x67452301u);
    EXPECT_EQ(c.State[3], 0x10325476u);
    c.Count[0] = 0xFFFFFFF8u;  // one byte short of 2^32 bits
    MD5Update(c, "x", 1);
    EXPECT_EQ(c.Count[0], 0u);
    EXPECT_EQ(c.Count[1], 1u);
    MD5Digest d;
    MD5Final(c, d);
    const unsigned char* raw = reinterpret_cast<const unsigned char*>(&c);
    for (size_t i = 0; i < sizeof c; ++i) ASSERT_EQ(raw[i], 0) << i;
}

TEST(Md5, MatchComparesAllSixteenBytes) {
    MD5Digest a{}, b{};
    EXPECT_TRUE(MD5Match(a, b));
    b.bytes[15] = 1;
    EXPECT_FALSE(MD5Match(a, b));
    b.bytes[15] = 0;
    b.bytes[0] = 1;
    EXPECT_FALSE(MD5Match(a, b));
}

std::string Rc4(const std::string& key, const std::string& data) {
    TRC4Context c;
    RC4Init(c, key.data(), static_cast<uint32_t>(key.size()));
    std::string out(data.size(), '\0');
    RC4Crypt(c, data.data(), out.data(), static_cast<uint32_t>(data.size()));
    return out;
}

TEST(Rc4, PublishedVectors) {
    EXPECT_EQ(test::ToHex(Rc4("Key", "Plaintext")), "bbf316e8d940af0ad3");
    EXPECT_EQ(test::ToHex(Rc4("Wiki", "pedia")), "1021bf0420");
    EXPECT_EQ(test::ToHex(Rc4("Secret", "Attack at dawn")), "45a01f645fc35b383552544b9bf5");
    // RFC 6229, 40-bit key 0102030405: the keystream at offsets 0 and 16.
    EXPECT_EQ(test::ToHex(Rc4(std::string("\x01\x02\x03\x04\x05", 5), std::string(32, '\0'))),
              "b2396305f03dc027ccc3524a0a1118a86982944f18fc82d589c403a47a0d0919");
}

TEST(Rc4, KeystreamContinuesAcrossCallsAndDecryptionInvertsEncryption) {
    const std::string key = "0123456789abcdef";
    std::string plain;
    for (int i = 0; i < 300; ++i) plain.push_back(static_cast<char>(i));
    const std::string once = Rc4(key, plain);
    TRC4Context c;
    RC4Init(c, key.data(), 16);
    std::string pieces(plain.size(), '\0');
    RC4Crypt(c, plain.data(), pieces.data(), 100);
    std::string rest = plain.substr(100);
    std::string out(rest.size(), '\0');
    RC4Crypt2(c, rest, out, static_cast<uint32_t>(rest.size()));
    pieces.replace(100, out.size(), out);
    EXPECT_EQ(pieces, once);
    EXPECT_EQ(Rc4(key, once), plain);
    // In place.
    std::string buf = plain;
    RC4Init(c, key.data(), 16);
    RC4Crypt(c, buf.data(), buf.data(), static_cast<uint32_t>(buf.size()));
    EXPECT_EQ(buf, once);
}

TEST(Rc4, Crypt2StopsAtTheShorterStringAndDoneWipes) {
    TRC4Context c;
    RC4Init(c, "Key", 3);
    std::string out(4, '\0');
    RC4Crypt2(c, "Plaintext", out, 9);  // output holds only 4 bytes
    EXPECT_EQ(test::ToHex(out), "bbf316e8");
    RC4Done(c);
    EXPECT_EQ(c.x, 0);
    EXPECT_EQ(c.y, 0);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(c.State[i], 0);
    // An empty key is taken as one zero byte rather than read past.
    EXPECT_EQ(Rc4("", "abc"), Rc4(std::string(1, '\0'), "abc"));
}

}  // namespace
}  // namespace quillmark
