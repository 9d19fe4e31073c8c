// Encrypted OOXML packages: a compound file with an "EncryptionInfo" stream
// (how) and an "EncryptedPackage" stream (an 8-byte plain size, then the
// enciphered zip).
//
// EncryptionInfo starts with a version. 2.2, 3.2 and 4.2 are "standard"
// encryption: flags, an EncryptionHeader (AES algorithm id, SHA-1, key size)
// and a verifier (salt, enciphered verifier, enciphered SHA-1 of it). The key
// is SHA-1 of salt and password, rehashed 50000 times with a counter, hashed
// with block number 0, then widened through the 0x36/0x5C pads; the package
// is AES-ECB.
// 4.4 is "agile" encryption: 4 reserved bytes and an XML descriptor. Its
// password key encryptor gives a spin count, a hash, a salt and three values
// enciphered with keys derived from the password (verifier input, verifier
// hash, the package key). The package is AES-CBC in 4096-byte segments, the
// IV of segment n being the hash of the key data's salt and n. An HMAC of the
// whole EncryptedPackage stream, with a key and value stored enciphered in
// the descriptor, guards against tampering.
#include <algorithm>
#include <map>

#include "quillmark/framework/byte_reader.h"
#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/package/xml_engine.h"
#include "quillmark/word/office_crypto.h"

namespace quillmark {

using namespace office_crypto;

namespace {

constexpr size_t kSegmentSize = 4096;
constexpr uint32_t kStandardSpinCount = 50000;

[[noreturn]] void Damaged(const std::string& what) {
    throw EDamagedDocument("The document's encryption information is damaged: " + what);
}

// The 8-byte plain size and the enciphered bytes that follow it; the
// enciphered part is cut to whole cipher blocks.
std::pair<uint64_t, std::string_view> SplitPackage(std::string_view encryptedPackage) {
    ByteReader r(encryptedPackage);
    if (!r.can_read(8)) throw EDamagedDocument("The encrypted package is damaged: too short");
    uint64_t size = r.u64le();
    std::string_view data = encryptedPackage.substr(8);
    data = data.substr(0, data.size() - data.size() % 16);
    if (size > data.size()) throw EDamagedDocument("The encrypted package is damaged: it is shorter than it says");
    return {size, data};
}

// ----- standard encryption -----

std::string DecryptStandard(ByteReader& r, std::string_view encryptedPackage, const std::string& password) {
    if (!r.can_read(8)) Damaged("the header is cut short");
    uint32_t flags = r.u32le();
    uint32_t headerSize = r.u32le();
    if (headerSize < 32 || !r.can_read(headerSize)) Damaged("bad EncryptionHeader size");
    ByteReader h = r.sub(r.pos(), headerSize);
    r.skip(headerSize);
    h.u32le();  // flags (copied before the header)
    h.u32le();  // size of extra data
    uint32_t algId = h.u32le();
    uint32_t algHash = h.u32le();
    uint32_t keyBits = h.u32le();
    constexpr uint32_t kFlagExternal = 0x10, kFlagAes = 0x20;
    if (flags & kFlagExternal) throw EEncryptedError("The document is encrypted by an external provider");
    if (algId == 0 && (flags & kFlagAes)) algId = 0x660E;
    if (algId != 0x660E && algId != 0x660F && algId != 0x6610)
        throw EEncryptedError("The document uses a cipher this reader does not support");
    if (algHash != 0 && algHash != 0x8004) throw EEncryptedError("The document uses a hash this reader does not support");
    uint32_t expectedBits = algId == 0x660E ? 128 : algId == 0x660F ? 192 : 256;
    if (keyBits == 0) keyBits = expectedBits;
    if (keyBits != expectedBits) Damaged("the key size does not match the cipher");
    if (!r.can_read(4 + 16 + 16 + 4 + 32)) Damaged("the verifier is cut short");
    if (r.u32le() != 16) Damaged("bad salt size");
    std::string_view salt = r.bytes(16);
    std::string_view encVerifier = r.bytes(16);
    uint32_t verifierHashSize = r.u32le();
    if (verifierHashSize != 20) Damaged("bad verifier hash size");
    std::string_view encVerifierHash = r.bytes(32);

    std::string h0 = Hash(THashAlgorithm::SHA1, {salt, PasswordUtf16le(password)});
    for (uint32_t i = 0; i < kStandardSpinCount; ++i) h0 = Hash(THashAlgorithm::SHA1, {U32le(i), h0});
    std::string hFinal = Hash(THashAlgorithm::SHA1, {h0, U32le(0)});
    std::string pad1(64, '\x36'), pad2(64, '\x5C');
    for (size_t i = 0; i < hFinal.size(); ++i) {
        pad1[i] = static_cast<char>(pad1[i] ^ hFinal[i]);
        pad2[i] = static_cast<char>(pad2[i] ^ hFinal[i]);
    }
    std::string key = (Hash(THashAlgorithm::SHA1, {pad1}) + Hash(THashAlgorithm::SHA1, {pad2})).substr(0, keyBits / 8);

    std::string verifier = AesDecrypt(key, {}, encVerifier);
    std::string verifierHash = AesDecrypt(key, {}, encVerifierHash).substr(0, 20);
    if (!SameBytes(Hash(THashAlgorithm::SHA1, {verifier}), verifierHash)) throw EPasswordError(strPasswordNotValid);

    auto [size, data] = SplitPackage(encryptedPackage);
    std::string plain = AesDecrypt(key, {}, data);
    plain.resize(static_cast<size_t>(size));
    return plain;
}

// ----- agile encryption -----

// The attributes of one element of the descriptor, by local name.
using TAttributes = std::map<std::string, std::string>;

std::string LocalName(std::u16string_view tag) {
    size_t colon = tag.rfind(u':');
    return Utf16ToUtf8(colon == std::u16string_view::npos ? tag : tag.substr(colon + 1));
}

// The first element with the given local name (pre-order, without recursion)
// and its attributes.
std::optional<TAttributes> FindElement(TDTXMLItem& root, std::string_view localName,
                                       std::string_view requiredAttribute = {}) {
    std::vector<TDTXMLItem*> stack{&root};
    while (!stack.empty()) {
        TDTXMLItem* item = stack.back();
        stack.pop_back();
        if (item->Kind == ikProperty && LocalName(item->TagName) == localName) {
            TAttributes attributes;
            for (const auto& child : item->Items)
                if (child->Kind == ikAttribute)
                    attributes.emplace(LocalName(child->TagName), Utf16ToUtf8(child->GetTagValue()));
            if (requiredAttribute.empty() || attributes.count(std::string(requiredAttribute))) return attributes;
        }
        for (auto it = item->Items.end(); it != item->Items.begin();) {
            --it;
            if ((*it)->Kind == ikProperty) stack.push_back(it->get());
        }
    }
    return std::nullopt;
}

const std::string& Attribute(const TAttributes& a, const std::string& name) {
    auto it = a.find(name);
    if (it == a.end()) Damaged("the descriptor has no " + name);
    return it->second;
}

uint32_t NumberAttribute(const TAttributes& a, const std::string& name, uint32_t max) {
    const std::string& s = Attribute(a, name);
    if (s.empty() || s.size() > 10 || !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
        Damaged("bad " + name);
    uint64_t v = std::stoull(s);
    if (v > max) Damaged(name + " is out of range");
    return static_cast<uint32_t>(v);
}

std::string Base64Attribute(const TAttributes& a, const std::string& name) {
    auto v = Base64Decode(Attribute(a, name));
    if (!v) Damaged("bad base64 in " + name);
    return *v;
}

THashAlgorithm HashAttribute(const TAttributes& a) {
    const std::string& s = Attribute(a, "hashAlgorithm");
    if (s == "SHA1") return THashAlgorithm::SHA1;
    if (s == "SHA256") return THashAlgorithm::SHA256;
    if (s == "SHA384") return THashAlgorithm::SHA384;
    if (s == "SHA512") return THashAlgorithm::SHA512;
    if (s == "MD5") return THashAlgorithm::MD5;
    throw EEncryptedError("The document uses a hash this reader does not support");
}

// Cipher parameters shared by keyData and encryptedKey.
struct TCipherParams {
    THashAlgorithm hash;
    size_t keyBytes;
    size_t blockSize;
    size_t hashSize;
    std::string salt;
};

TCipherParams CipherParams(const TAttributes& a) {
    if (Attribute(a, "cipherAlgorithm") != "AES")
        throw EEncryptedError("The document uses a cipher this reader does not support");
    if (Attribute(a, "cipherChaining") != "ChainingModeCBC")
        throw EEncryptedError("The document uses a cipher mode this reader does not support");
    TCipherParams p;
    p.hash = HashAttribute(a);
    uint32_t keyBits = NumberAttribute(a, "keyBits", 256);
    if (keyBits != 128 && keyBits != 192 && keyBits != 256) Damaged("bad keyBits");
    p.keyBytes = keyBits / 8;
    p.blockSize = NumberAttribute(a, "blockSize", 64);
    if (p.blockSize != 16) Damaged("bad blockSize");
    p.hashSize = NumberAttribute(a, "hashSize", 64);
    if (p.hashSize != HashSize(p.hash)) Damaged("hashSize does not match the hash");
    p.salt = Base64Attribute(a, "saltValue");
    if (p.salt.empty() || p.salt.size() > 65536) Damaged("bad saltValue");
    return p;
}

// A hash cut to size bytes, or padded with 0x36 up to it.
std::string Fit(std::string bytes, size_t size) {
    bytes.resize(size, '\x36');
    return bytes;
}

// Deciphers a value stored in the descriptor; its length must be whole blocks.
std::string DecryptValue(std::string_view key, std::string_view iv, const std::string& value, const char* name) {
    if (value.empty() || value.size() % 16 != 0) Damaged(std::string("bad length of ") + name);
    return AesDecrypt(key, iv, value);
}

std::string DecryptAgile(ByteReader& r, std::string_view encryptedPackage, const std::string& password) {
    if (!r.can_read(4)) Damaged("the descriptor is missing");
    r.u32le();  // reserved
    TDTXMLEngine engine;
    engine.LoadFromBytes(r.bytes(r.remaining()));
    auto keyData = FindElement(engine.RootItem(), "keyData");
    // The password key encryptor is the one with a spin count (certificate
    // key encryptors have none).
    auto encryptedKey = FindElement(engine.RootItem(), "encryptedKey", "spinCount");
    if (!keyData) Damaged("the descriptor has no keyData");
    if (!encryptedKey) throw EEncryptedError("The document is not encrypted with a password");
    TCipherParams data = CipherParams(*keyData);
    TCipherParams pw = CipherParams(*encryptedKey);
    uint32_t spinCount = NumberAttribute(*encryptedKey, "spinCount", MaxSpinCount());

    std::string h = Hash(pw.hash, {pw.salt, PasswordUtf16le(password)});
    for (uint32_t i = 0; i < spinCount; ++i) h = Hash(pw.hash, {U32le(i), h});
    auto keyFor = [&](std::string_view blockKey) { return Fit(Hash(pw.hash, {h, blockKey}), pw.keyBytes); };
    static constexpr char kVerifierInputBlock[] = "\xFE\xA7\xD2\x76\x3B\x4B\x9E\x79";
    static constexpr char kVerifierHashBlock[] = "\xD7\xAA\x0F\x6D\x30\x61\x34\x4E";
    static constexpr char kKeyValueBlock[] = "\x14\x6E\x0B\xE7\xAB\xAC\xD0\xD6";
    std::string_view iv = std::string_view(pw.salt).substr(0, 16);
    if (iv.size() < 16) Damaged("the salt is shorter than a cipher block");

    std::string input = DecryptValue(keyFor({kVerifierInputBlock, 8}), iv,
                                     Base64Attribute(*encryptedKey, "encryptedVerifierHashInput"),
                                     "encryptedVerifierHashInput");
    std::string expected = DecryptValue(keyFor({kVerifierHashBlock, 8}), iv,
                                        Base64Attribute(*encryptedKey, "encryptedVerifierHashValue"),
                                        "encryptedVerifierHashValue");
    input.resize(std::min(input.size(), pw.salt.size()));
    if (expected.size() < pw.hashSize ||
        !SameBytes(Hash(pw.hash, {input}), std::string_view(expected).substr(0, pw.hashSize)))
        throw EPasswordError(strPasswordNotValid);
    std::string secret = DecryptValue(keyFor({kKeyValueBlock, 8}), iv, Base64Attribute(*encryptedKey, "encryptedKeyValue"),
                                      "encryptedKeyValue");
    if (secret.size() < data.keyBytes) Damaged("the package key is too short");
    secret.resize(data.keyBytes);

    auto ivFor = [&](std::string_view blockKey) { return Fit(Hash(data.hash, {data.salt, blockKey}), data.blockSize); };
    if (auto integrity = FindElement(engine.RootItem(), "dataIntegrity")) {
        static constexpr char kHmacKeyBlock[] = "\x5F\xB2\xAD\x01\x0C\xB9\xE1\xF6";
        static constexpr char kHmacValueBlock[] = "\xA0\x67\x7F\x02\xB2\x2C\x84\x33";
        std::string hmacKey = DecryptValue(secret, ivFor({kHmacKeyBlock, 8}),
                                           Base64Attribute(*integrity, "encryptedHmacKey"), "encryptedHmacKey");
        std::string hmacValue = DecryptValue(secret, ivFor({kHmacValueBlock, 8}),
                                             Base64Attribute(*integrity, "encryptedHmacValue"), "encryptedHmacValue");
        if (hmacKey.size() < data.hashSize || hmacValue.size() < data.hashSize) Damaged("the HMAC is too short");
        hmacKey.resize(data.hashSize);
        hmacValue.resize(data.hashSize);
        if (!SameBytes(Hmac(data.hash, hmacKey, encryptedPackage), hmacValue))
            throw EDamagedDocument("The encrypted package fails its integrity check");
    }

    auto [size, cipherText] = SplitPackage(encryptedPackage);
    std::string plain;
    plain.reserve(cipherText.size());
    for (size_t start = 0, segment = 0; start < size; start += kSegmentSize, ++segment)
        plain += AesDecrypt(secret, ivFor(U32le(static_cast<uint32_t>(segment))), cipherText.substr(start, kSegmentSize));
    plain.resize(static_cast<size_t>(size));
    return plain;
}

uint32_t spinCountLimit = kMaxSpinCount;

}  // namespace

uint32_t MaxSpinCount() { return spinCountLimit; }
void SetMaxSpinCount(uint32_t count) { spinCountLimit = std::min(count, kMaxSpinCount); }

std::string DecryptOoxmlPackage(std::string_view encryptionInfo, std::string_view encryptedPackage,
                                const std::string& password) {
    if (password.empty()) throw EPasswordError(strPasswordNeeded);
    ByteReader r(encryptionInfo);
    if (!r.can_read(4)) Damaged("too short");
    uint16_t major = r.u16le(), minor = r.u16le();
    if (major == 4 && minor == 4) return DecryptAgile(r, encryptedPackage, password);
    if ((major == 2 || major == 3 || major == 4) && minor == 2) return DecryptStandard(r, encryptedPackage, password);
    if ((major == 3 || major == 4) && minor == 3)
        throw EEncryptedError("The document is encrypted by an external provider");
    Damaged("unknown version " + std::to_string(major) + "." + std::to_string(minor));
}

}  // namespace quillmark
