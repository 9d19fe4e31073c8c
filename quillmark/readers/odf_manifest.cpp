#include "quillmark/readers/odf_manifest.h"

#include "quillmark/framework/base64.h"

// The Blowfish cipher of old packages is only offered by OpenSSL's
// low-level interface (its EVP form needs the legacy provider).
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/blowfish.h>
#include <openssl/evp.h>

#include <memory>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/limits.h"
#include "quillmark/package/raw_inflate.h"
#include "quillmark/package/xml_engine.h"

namespace quillmark {

namespace {

// Iteration counts above this are not a protection but a way to hang a
// reader (writers use 1,024 or 100,000).
constexpr uint32_t kMaxIterations = 10'000'000;

std::string Narrow(const std::u16string& s) { return Utf16ToUtf8(s); }

std::string AttributeOf(TDTXMLItem* node, std::u16string_view name) {
    if (!node) return {};
    for (const auto& child : node->Items) {
        if (child->Kind != ikAttribute) break;
        if (child->TagName == name) return Narrow(child->GetTagValue());
    }
    return {};
}

uint32_t NumberOf(const std::string& s, uint32_t fallback) {
    if (s.empty() || s.size() > 10) return fallback;
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return fallback;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    return v > UINT32_MAX ? fallback : static_cast<uint32_t>(v);
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

// "SHA1", "SHA1/1K", ".../xmldsig#sha256", "...manifest:1.0#sha256-1k" ...;
// no name at all is the SHA-1 of the first packages.
TOdfDigest DigestByName(const std::string& name) {
    std::string lower = Lower(name);
    if (lower.empty() || lower.find("sha1") != std::string::npos) return TOdfDigest::Sha1;
    if (lower.find("sha256") != std::string::npos) return TOdfDigest::Sha256;
    return TOdfDigest::None;
}

std::string Digest(TOdfDigest digest, std::string_view data) {
    const EVP_MD* md = digest == TOdfDigest::Sha256 ? EVP_sha256() : EVP_sha1();
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (EVP_Digest(data.data(), data.size(), out, &len, md, nullptr) != 1)
        throw Exception("The package digest could not be computed");
    return std::string(reinterpret_cast<char*>(out), len);
}

std::string DecryptAesCbc(const std::string& key, const std::string& iv, std::string_view data) {
    if (iv.size() != 16 || data.size() % 16 != 0) return {};
    const EVP_CIPHER* cipher = key.size() == 32 ? EVP_aes_256_cbc()
                               : key.size() == 24 ? EVP_aes_192_cbc()
                               : key.size() == 16 ? EVP_aes_128_cbc()
                                                  : nullptr;
    if (!cipher) return {};
    std::unique_ptr<EVP_CIPHER_CTX, void (*)(EVP_CIPHER_CTX*)> ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    if (!ctx) throw Exception("Out of memory for the AES cipher");
    std::string out(data.size(), '\0');
    int len = 0;
    bool ok = EVP_DecryptInit_ex(ctx.get(), cipher, nullptr, reinterpret_cast<const unsigned char*>(key.data()),
                                 reinterpret_cast<const unsigned char*>(iv.data())) == 1 &&
              EVP_CIPHER_CTX_set_padding(ctx.get(), 0) == 1 &&
              EVP_DecryptUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &len,
                                reinterpret_cast<const unsigned char*>(data.data()),
                                static_cast<int>(data.size())) == 1;
    if (!ok) throw Exception("The AES cipher failed");
    out.resize(static_cast<size_t>(len));
    return out;
}

std::string DecryptBlowfishCfb(const std::string& key, const std::string& iv, std::string_view data) {
    if (iv.size() != 8 || key.empty() || key.size() > 56) return {};
    BF_KEY schedule;
    BF_set_key(&schedule, static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(key.data()));
    unsigned char ivec[8];
    for (int i = 0; i < 8; ++i) ivec[i] = static_cast<unsigned char>(iv[static_cast<size_t>(i)]);
    int num = 0;
    std::string out(data.size(), '\0');
    BF_cfb64_encrypt(reinterpret_cast<const unsigned char*>(data.data()), reinterpret_cast<unsigned char*>(out.data()),
                     static_cast<long>(data.size()), &schedule, ivec, &num, BF_DECRYPT);
    return out;
}

// AES blocks end with padding whose last byte gives its length (1-16).
std::string_view WithoutPadding(std::string_view plain) {
    if (plain.empty()) return plain;
    unsigned pad = static_cast<unsigned char>(plain.back());
    if (pad == 0 || pad > 16 || pad > plain.size()) return {};
    return plain.substr(0, plain.size() - pad);
}

bool ChecksumMatches(const TOdfEncryptionData& e, std::string_view plain) {
    if (e.Checksum == TOdfDigest::None || e.ChecksumValue.empty()) return true;
    std::string_view covered = e.ChecksumOfWhole ? plain : plain.substr(0, std::min<size_t>(plain.size(), 1024));
    return Digest(e.Checksum, covered) == e.ChecksumValue;
}

}  // namespace

std::string DecodeBase64(std::string_view text) { return Base64Decode(text).value_or(std::string()); }

void TOdfManifest::Load(std::string_view manifestXml) {
    encrypted_.clear();
    mediaType_.clear();
    TDTXMLEngine engine;
    engine.LoadFromBytes(manifestXml);
    TDTXMLItem* root = engine.GetItemByTag(nullptr, u"manifest:manifest");
    if (!root) return;
    for (const auto& ref : root->Items) {
        TDTXMLItem* entry = ref.get();
        if (entry->Kind != ikProperty || entry->TagName != u"manifest:file-entry") continue;
        std::string path = AttributeOf(entry, u"manifest:full-path");
        if (path == "/") mediaType_ = AttributeOf(entry, u"manifest:media-type");
        TDTXMLItem* data = FindItemByTag(entry, u"manifest:encryption-data", true);
        if (!data || data->Kind != ikProperty || path.empty()) continue;
        TOdfEncryptionData e;
        e.Size = NumberOf(AttributeOf(entry, u"manifest:size"), 0);
        std::string checksumType = AttributeOf(data, u"manifest:checksum-type");
        e.ChecksumValue = DecodeBase64(AttributeOf(data, u"manifest:checksum"));
        if (!e.ChecksumValue.empty()) {
            e.Checksum = DigestByName(checksumType.empty() ? "SHA1" : checksumType);
            e.ChecksumOfWhole = !checksumType.empty() && Lower(checksumType).find("1k") == std::string::npos;
        }
        TDTXMLItem* algorithm = FindItemByTag(data, u"manifest:algorithm", true);
        e.CipherName = AttributeOf(algorithm, u"manifest:algorithm-name");
        if (e.CipherName == "Blowfish CFB") e.Cipher = TOdfCipher::BlowfishCfb;
        else if (e.CipherName.find("aes256-cbc") != std::string::npos ||
                 e.CipherName.find("aes192-cbc") != std::string::npos ||
                 e.CipherName.find("aes128-cbc") != std::string::npos)
            e.Cipher = TOdfCipher::Aes256Cbc;
        e.InitialisationVector = DecodeBase64(AttributeOf(algorithm, u"manifest:initialisation-vector"));
        TDTXMLItem* derivation = FindItemByTag(data, u"manifest:key-derivation", true);
        e.KeyDerivationSupported = AttributeOf(derivation, u"manifest:key-derivation-name") == "PBKDF2";
        e.Salt = DecodeBase64(AttributeOf(derivation, u"manifest:salt"));
        e.IterationCount = NumberOf(AttributeOf(derivation, u"manifest:iteration-count"), 0);
        e.KeySize = NumberOf(AttributeOf(derivation, u"manifest:key-size"), 16);
        TDTXMLItem* start = FindItemByTag(data, u"manifest:start-key-generation", true);
        e.StartKey = DigestByName(AttributeOf(start, u"manifest:start-key-generation-name"));
        if (e.StartKey == TOdfDigest::None) e.KeyDerivationSupported = false;
        encrypted_.emplace(std::move(path), std::move(e));
    }
}

const TOdfEncryptionData* TOdfManifest::Encryption(std::string_view fullPath) const {
    auto it = encrypted_.find(fullPath);
    return it == encrypted_.end() ? nullptr : &it->second;
}

std::string DecryptOdfMember(const TOdfEncryptionData& e, std::string_view data, const std::string& password,
                             const std::string& memberName) {
    if (e.Cipher == TOdfCipher::Unsupported || !e.KeyDerivationSupported)
        throw EEncryptedError("\"" + memberName + "\" is encrypted with an unsupported method (" +
                              (e.CipherName.empty() ? std::string("none named") : e.CipherName) + ")");
    if (e.IterationCount == 0 || e.IterationCount > kMaxIterations || e.KeySize == 0 || e.KeySize > 64 ||
        e.Salt.empty())
        throw EEncryptedError("\"" + memberName + "\" has unusable key derivation parameters");
    std::string startKey = Digest(e.StartKey, password);
    std::string key(e.KeySize, '\0');
    if (PKCS5_PBKDF2_HMAC_SHA1(startKey.data(), static_cast<int>(startKey.size()),
                               reinterpret_cast<const unsigned char*>(e.Salt.data()), static_cast<int>(e.Salt.size()),
                               static_cast<int>(e.IterationCount), static_cast<int>(key.size()),
                               reinterpret_cast<unsigned char*>(key.data())) != 1)
        throw Exception("The package key could not be derived");

    auto wrongPassword = [&] {
        return EPasswordError("The password is wrong (\"" + memberName + "\" does not decrypt)");
    };
    const bool checked = e.Checksum != TOdfDigest::None && !e.ChecksumValue.empty();
    std::string plain;
    std::string_view content;
    if (e.Cipher == TOdfCipher::Aes256Cbc) {
        if (e.InitialisationVector.size() != 16 || data.size() % 16 != 0)
            throw EEncryptedError("\"" + memberName + "\" has damaged encryption data");
        plain = DecryptAesCbc(key, e.InitialisationVector, data);
        content = WithoutPadding(plain);
        // Writers differ on whether the checksum covers the padding.
        if (checked && !ChecksumMatches(e, content) && !ChecksumMatches(e, plain)) throw wrongPassword();
        if (!checked && content.empty() && !plain.empty()) throw wrongPassword();  // no valid padding
    } else {
        if (e.InitialisationVector.size() != 8)
            throw EEncryptedError("\"" + memberName + "\" has damaged encryption data");
        plain = DecryptBlowfishCfb(key, e.InitialisationVector, data);
        content = plain;
        if (checked && !ChecksumMatches(e, content)) throw wrongPassword();
    }
    size_t limit = MaxOutputBytes();
    if (e.Size > 0 && e.Size < limit) limit = static_cast<size_t>(e.Size);
    std::string out;
    try {
        out = InflateRaw(content, limit, memberName);
    } catch (const Exception&) {
        // Without a checksum a wrong password shows only here; with one,
        // the data decrypted and is damaged.
        if (!checked) throw wrongPassword();
        throw EDamagedDocument("\"" + memberName + "\" is damaged: its decrypted data does not inflate");
    }
    if (e.Size > 0 && out.size() != e.Size) {
        if (!checked) throw wrongPassword();
        throw EDamagedDocument("\"" + memberName + "\" is damaged: its decrypted data is " + std::to_string(out.size()) +
                               " bytes, not " + std::to_string(e.Size));
    }
    return out;
}

}  // namespace quillmark
