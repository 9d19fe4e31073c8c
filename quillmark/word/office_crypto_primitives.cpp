// Hashes and ciphers for the Office decryption code, all from OpenSSL.
//
// RC4 is not offered through OpenSSL 3's default provider (only its legacy
// one, which a statically linked command cannot load), so it uses the
// low-level key schedule, which is still part of libcrypto.
#define OPENSSL_SUPPRESS_DEPRECATED

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rc4.h>

#include <algorithm>
#include <memory>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/word/office_crypto.h"

namespace quillmark::office_crypto {

namespace {

const EVP_MD* Digest(THashAlgorithm algorithm) {
    switch (algorithm) {
        case THashAlgorithm::MD5: return EVP_md5();
        case THashAlgorithm::SHA1: return EVP_sha1();
        case THashAlgorithm::SHA256: return EVP_sha256();
        case THashAlgorithm::SHA384: return EVP_sha384();
        case THashAlgorithm::SHA512: return EVP_sha512();
    }
    return EVP_sha1();
}

const unsigned char* Bytes(std::string_view s) { return reinterpret_cast<const unsigned char*>(s.data()); }

struct MdCtxFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
struct CipherCtxFree {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};

}  // namespace

size_t HashSize(THashAlgorithm algorithm) { return static_cast<size_t>(EVP_MD_get_size(Digest(algorithm))); }

std::string Hash(THashAlgorithm algorithm, std::initializer_list<std::string_view> parts) {
    std::unique_ptr<EVP_MD_CTX, MdCtxFree> ctx(EVP_MD_CTX_new());
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    bool ok = ctx && EVP_DigestInit_ex(ctx.get(), Digest(algorithm), nullptr) == 1;
    for (std::string_view p : parts) ok = ok && EVP_DigestUpdate(ctx.get(), p.data(), p.size()) == 1;
    ok = ok && EVP_DigestFinal_ex(ctx.get(), out, &len) == 1;
    if (!ok) throw Exception("The hash function failed");
    return std::string(reinterpret_cast<const char*>(out), len);
}

std::string Hmac(THashAlgorithm algorithm, std::string_view key, std::string_view data) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (!HMAC(Digest(algorithm), key.data(), static_cast<int>(key.size()), Bytes(data), data.size(), out, &len))
        throw Exception("The HMAC function failed");
    return std::string(reinterpret_cast<const char*>(out), len);
}

std::string Rc4(std::string_view key, std::string_view data) {
    RC4_KEY schedule;
    RC4_set_key(&schedule, static_cast<int>(std::min<size_t>(key.size(), 256)), Bytes(key));
    std::string out(data.size(), '\0');
    RC4(&schedule, data.size(), Bytes(data), reinterpret_cast<unsigned char*>(out.data()));
    OPENSSL_cleanse(&schedule, sizeof schedule);
    return out;
}

std::string AesDecrypt(std::string_view key, std::string_view iv, std::string_view data) {
    const EVP_CIPHER* cipher = nullptr;
    bool ecb = iv.empty();
    switch (key.size()) {
        case 16: cipher = ecb ? EVP_aes_128_ecb() : EVP_aes_128_cbc(); break;
        case 24: cipher = ecb ? EVP_aes_192_ecb() : EVP_aes_192_cbc(); break;
        case 32: cipher = ecb ? EVP_aes_256_ecb() : EVP_aes_256_cbc(); break;
        default: throw EEncryptedError("The document uses an AES key length this reader does not support");
    }
    if (!ecb && iv.size() != 16) throw EDamagedDocument("The document's encryption information is damaged: bad IV");
    if (data.size() % 16 != 0)
        throw EDamagedDocument("The document's encrypted data is damaged: not a whole number of cipher blocks");
    std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree> ctx(EVP_CIPHER_CTX_new());
    std::string out(data.size() + 16, '\0');
    int total = 0, len = 0;
    bool ok = ctx && EVP_DecryptInit_ex(ctx.get(), cipher, nullptr, Bytes(key), ecb ? nullptr : Bytes(iv)) == 1 &&
              EVP_CIPHER_CTX_set_padding(ctx.get(), 0) == 1;
    // EVP lengths are int: feed the data in pieces well below 2 GiB.
    for (size_t done = 0; ok && done < data.size();) {
        int n = static_cast<int>(std::min<size_t>(data.size() - done, size_t{1} << 30));
        ok = EVP_DecryptUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out.data()) + total, &len,
                               Bytes(data) + done, n) == 1;
        total += len;
        done += static_cast<size_t>(n);
    }
    ok = ok && EVP_DecryptFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(out.data()) + total, &len) == 1;
    if (!ok) throw Exception("The AES cipher failed");
    out.resize(static_cast<size_t>(total + len));
    return out;
}

std::string PasswordUtf16le(std::string_view utf8Password) {
    std::u16string wide = Utf8ToUtf16(utf8Password);
    std::string out;
    out.reserve(wide.size() * 2);
    for (char16_t c : wide) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

std::optional<std::string> Base64Decode(std::string_view text) {
    std::string out;
    out.reserve(text.size() / 4 * 3);
    uint32_t acc = 0;
    int bits = 0, pad = 0;
    for (char c : text) {
        int v;
        if (c >= 'A' && c <= 'Z') v = c - 'A';
        else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
        else if (c >= '0' && c <= '9') v = c - '0' + 52;
        else if (c == '+') v = 62;
        else if (c == '/') v = 63;
        else if (c == '=') { ++pad; continue; }
        else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        else return std::nullopt;
        if (pad) return std::nullopt;  // data after padding
        acc = (acc << 6) | static_cast<uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<char>((acc >> bits) & 0xFF));
        }
    }
    if (pad > 2 || bits >= 6) return std::nullopt;
    return out;
}

bool SameBytes(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

std::string U32le(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

}  // namespace quillmark::office_crypto
