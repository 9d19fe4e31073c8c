// RC4 encryption of binary Word 97 and later documents.
//
// The table stream starts with an unenciphered header (its length is the
// FIB's lKey) whose version tells the scheme:
//  - 1.1, "RC4": a 16-byte salt, then a 16-byte verifier and its MD5 hash,
//    both enciphered. The password's MD5, cut to 5 bytes and repeated with the
//    salt 16 times, is hashed again and cut to 5 bytes; the key of block n is
//    the MD5 of that and n.
//  - 2.2, 3.2 or 4.2, "RC4 CryptoAPI": flags, the size of an EncryptionHeader
//    (algorithm ids, key size in bits, provider name), then a verifier
//    structure (salt size, salt, enciphered verifier, hash size, enciphered
//    SHA-1 of the verifier). The key of block n is the SHA-1 of (SHA-1 of salt
//    and password) and n, cut to the key size; a 40-bit key is padded with
//    zeros to 128 bits.
// Streams are enciphered in 512-byte blocks, each block keyed afresh, counted
// from the stream's first byte (including the bytes that are stored plain).
#include <algorithm>

#include "quillmark/framework/byte_reader.h"
#include "quillmark/framework/exception.h"
#include "quillmark/word/office_crypto.h"

namespace quillmark {

using namespace office_crypto;

namespace {

constexpr size_t kRc4BlockSize = 512;
constexpr uint32_t kAlgRc4 = 0x6801;
constexpr uint32_t kAlgSha1 = 0x8004;

[[noreturn]] void Damaged(const char* what) {
    throw EDamagedDocument(std::string("The document's encryption header is damaged: ") + what);
}

}  // namespace

TOfficeRc4Decryptor::TOfficeRc4Decryptor(std::string_view header, const std::string& password) {
    ByteReader r(header);
    if (!r.can_read(4)) Damaged("too short");
    uint16_t major = r.u16le(), minor = r.u16le();
    std::string pw = PasswordUtf16le(password);
    std::string verifierPair;  // enciphered verifier followed by its enciphered hash
    size_t hashSize = 16;
    if (major == 1 && minor == 1) {
        if (!r.can_read(48)) Damaged("the RC4 header is cut short");
        std::string_view salt = r.bytes(16);
        std::string h0 = Hash(THashAlgorithm::MD5, {pw}).substr(0, 5);
        std::string repeated;
        for (int i = 0; i < 16; ++i) repeated.append(h0).append(salt);
        baseHash_ = Hash(THashAlgorithm::MD5, {repeated}).substr(0, 5);
        verifierPair = std::string(r.bytes(32));
    } else if ((major == 2 || major == 3 || major == 4) && minor == 2) {
        cryptoApi_ = true;
        if (!r.can_read(8)) Damaged("the CryptoAPI header is cut short");
        r.u32le();  // a copy of the header's flags
        uint32_t headerSize = r.u32le();
        if (headerSize < 20 || !r.can_read(headerSize)) Damaged("bad EncryptionHeader size");
        ByteReader h = r.sub(r.pos(), headerSize);
        r.skip(headerSize);
        h.u32le();  // flags
        h.u32le();  // size of extra data
        uint32_t algId = h.u32le(), algHash = h.u32le(), keyBits = h.u32le();
        if (algId != kAlgRc4 && algId != 0) throw EEncryptedError("The document uses a cipher this reader does not support");
        if (algHash != kAlgSha1 && algHash != 0)
            throw EEncryptedError("The document uses a hash this reader does not support");
        if (keyBits == 0) keyBits = 40;
        if (keyBits < 40 || keyBits > 128 || keyBits % 8 != 0) Damaged("bad key size");
        keyBytes_ = keyBits / 8;
        if (!r.can_read(4)) Damaged("the verifier is missing");
        uint32_t saltSize = r.u32le();
        if (saltSize != 16 || !r.can_read(16 + 16 + 4)) Damaged("bad salt");
        std::string_view salt = r.bytes(16);
        std::string_view verifier = r.bytes(16);
        uint32_t verifierHashSize = r.u32le();
        if (verifierHashSize != 20 || !r.can_read(20)) Damaged("bad verifier hash size");
        hashSize = 20;
        verifierPair = std::string(verifier).append(r.bytes(20));
        baseHash_ = Hash(THashAlgorithm::SHA1, {salt, pw});
    } else {
        throw EEncryptedError("The document uses an encryption this reader does not support");
    }
    // The verifier and its hash are one run of block 0's keystream.
    std::string plain = Rc4(BlockKey(0), verifierPair);
    std::string expected = Hash(cryptoApi_ ? THashAlgorithm::SHA1 : THashAlgorithm::MD5, {plain.substr(0, 16)});
    if (!SameBytes(expected, std::string_view(plain).substr(16, hashSize))) throw EPasswordError(strPasswordNotValid);
}

std::string TOfficeRc4Decryptor::BlockKey(uint32_t block) const {
    if (!cryptoApi_) return Hash(THashAlgorithm::MD5, {baseHash_, U32le(block)});
    std::string h = Hash(THashAlgorithm::SHA1, {baseHash_, U32le(block)});
    // A 40-bit key (the default) is the hash's first 5 bytes and 11 zero
    // bytes; longer keys are the hash's first bytes.
    if (keyBytes_ == 5) return h.substr(0, 5) + std::string(11, '\0');
    return h.substr(0, keyBytes_);
}

std::string TOfficeRc4Decryptor::DecryptStream(std::string_view data) const {
    std::string out;
    out.reserve(data.size());
    for (size_t start = 0, block = 0; start < data.size(); start += kRc4BlockSize, ++block)
        out += Rc4(BlockKey(static_cast<uint32_t>(block)), data.substr(start, kRc4BlockSize));
    return out;
}

std::string TOfficeRc4Decryptor::DecryptRun(std::string_view data, uint32_t block) const {
    return Rc4(BlockKey(block), data);
}

std::vector<std::pair<std::u16string, std::string>> TOfficeRc4Decryptor::ReadEncryptedSummary(
    std::string_view stream) const {
    // StreamDescriptorArrayOffset, StreamDescriptorArraySize, the enciphered
    // streams, then at the given offset the enciphered descriptor count and
    // descriptors (one run of block 0's keystream). Each descriptor: offset,
    // size, block number of the stream's key, name length in characters,
    // flags, 4 reserved bytes, the UTF-16 name and its terminating zero.
    ByteReader r(stream);
    if (!r.can_read(8)) throw EDamagedDocument("The encrypted summary stream is damaged: too short");
    uint32_t tableOffset = r.u32le(), tableSize = r.u32le();
    if (!r.in_range(tableOffset, 4) || tableSize > stream.size() - tableOffset - 4)
        throw EDamagedDocument("The encrypted summary stream is damaged: the descriptor table lies outside it");
    std::string table = DecryptRun(stream.substr(tableOffset, 4 + size_t{tableSize}), 0);
    ByteReader t(table);
    uint32_t count = t.u32le();
    std::vector<std::pair<std::u16string, std::string>> streams;
    for (uint32_t i = 0; i < count && t.can_read(16); ++i) {
        uint32_t offset = t.u32le(), size = t.u32le();
        uint16_t block = t.u16le();
        uint8_t nameSize = t.u8();
        uint8_t flags = t.u8();
        t.u32le();  // reserved
        if (!t.can_read((size_t{nameSize} + 1) * 2)) break;
        std::u16string name;
        for (uint8_t c = 0; c < nameSize; ++c) name.push_back(static_cast<char16_t>(t.u16le()));
        t.u16le();  // terminating zero
        if (!(flags & 1) || !r.in_range(offset, size)) continue;  // a storage, or outside the stream
        streams.emplace_back(std::move(name), DecryptRun(stream.substr(offset, size), block));
    }
    return streams;
}

}  // namespace quillmark
