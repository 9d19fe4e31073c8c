// Password-based decryption of Microsoft Office documents.
//
// Three families of protection are read here, each in its own file:
//  - office_crypto_rc4.cpp: binary Word 97 and later, "RC4" (keys from MD5)
//    and "RC4 CryptoAPI" (keys from SHA-1). The streams are enciphered in
//    512-byte blocks, each with its own key; the header that says which
//    scheme, the salt and the password verifier sit unenciphered at the start
//    of the table stream. CryptoAPI files may move their property sets into
//    an enciphered "EncryptedSummary" stream.
//  - office_crypto_xor.cpp: the XOR obfuscation of Word 6/95 (and Word 97
//    files saved with it): a 16-byte array built from the password is XORed
//    over the streams.
//  - office_crypto_ooxml.cpp: OOXML packages (.docx, .xlsx ...) saved with a
//    password: a compound file whose "EncryptionInfo" stream describes the
//    encryption ("standard": AES-ECB with a SHA-1 key; "agile": an XML
//    descriptor, AES-CBC in 4096-byte segments, any SHA hash, a spin count and
//    an HMAC over the enciphered package) and whose "EncryptedPackage" stream
//    holds the enciphered zip.
// The ciphers and hashes are OpenSSL's (office_crypto_primitives.cpp).
//
// Failures: a wrong password gives EPasswordError with strPasswordNotValid; a
// header that cannot be read gives EDamagedDocument; a scheme or cipher this
// reader does not know gives EEncryptedError.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillmark {

inline constexpr const char* strPasswordNeeded = "The document is encrypted: a password is needed";
inline constexpr const char* strPasswordNotValid = "Password is not valid";

// Most hash rounds a file may ask for when deriving a key from its password
// (the formats allow at most ten million). Hosts may lower the cap in force
// (fuzzers do, to keep each run short); a file asking for more is refused.
inline constexpr uint32_t kMaxSpinCount = 10'000'000;
uint32_t MaxSpinCount();
void SetMaxSpinCount(uint32_t count);

namespace office_crypto {

enum class THashAlgorithm { MD5, SHA1, SHA256, SHA384, SHA512 };

size_t HashSize(THashAlgorithm algorithm);
// The digest of the concatenated parts.
std::string Hash(THashAlgorithm algorithm, std::initializer_list<std::string_view> parts);
std::string Hmac(THashAlgorithm algorithm, std::string_view key, std::string_view data);
// RC4 keystream XORed over data, starting a fresh key schedule.
std::string Rc4(std::string_view key, std::string_view data);
// AES decryption without padding of data (a whole number of 16-byte blocks):
// ECB when iv is empty, CBC otherwise. The key is 16, 24 or 32 bytes.
std::string AesDecrypt(std::string_view key, std::string_view iv, std::string_view data);
// The password as the formats hash it: UTF-16 little-endian, no terminator.
std::string PasswordUtf16le(std::string_view utf8Password);
// Standard base64 (whitespace ignored); nullopt for anything else.
std::optional<std::string> Base64Decode(std::string_view text);
// Comparison whose time does not depend on where the inputs differ.
bool SameBytes(std::string_view a, std::string_view b);
// A 32-bit little-endian integer as 4 bytes.
std::string U32le(uint32_t v);

}  // namespace office_crypto

// Binary Word 97 and later, RC4 and RC4 CryptoAPI.
class TOfficeRc4Decryptor {
public:
    // header: the first lKey bytes of the table stream. Checks the password
    // against the header's verifier.
    TOfficeRc4Decryptor(std::string_view header, const std::string& password);

    bool IsCryptoApi() const { return cryptoApi_; }
    // Deciphers a whole stream from its first byte: byte i with the keystream
    // of block i / 512 at position i % 512.
    std::string DecryptStream(std::string_view data) const;
    // Deciphers data as one run of the keystream of the given block.
    std::string DecryptRun(std::string_view data, uint32_t block) const;

    // The streams held in an "EncryptedSummary" stream, by name. Entries that
    // point outside the stream are skipped; a descriptor table that does not
    // fit gives EDamagedDocument.
    std::vector<std::pair<std::u16string, std::string>> ReadEncryptedSummary(std::string_view stream) const;

private:
    std::string BlockKey(uint32_t block) const;

    bool cryptoApi_ = false;
    std::string baseHash_;  // RC4: the 5-byte truncated hash; CryptoAPI: SHA-1 of salt and password
    size_t keyBytes_ = 16;  // CryptoAPI: the key length the header gives
};

// The XOR obfuscation of Word 6/95 and of Word 97 files saved with it.
class TXorObfuscation {
public:
    // verifier: the FIB's lKey (key in the high 16 bits, password verifier in
    // the low 16). Throws EPasswordError when the password does not match.
    // Word 6/95 and Word 97 build their XOR arrays differently.
    TXorObfuscation(const std::string& password, uint32_t verifier, bool word95);

    // Deobfuscates bytes [from, end) of a stream in place; each byte's array
    // position is its offset in the stream modulo 16.
    void Apply(std::string& stream, size_t from) const;

    // The password reduced to at most 15 single bytes (a character's low byte,
    // or its high byte when the low one is zero).
    static std::string SingleBytePassword(std::string_view utf8Password);
    static uint16_t XorKey(std::string_view password);
    static uint16_t Verifier(std::string_view password);
    static std::array<uint8_t, 16> XorArray(std::string_view password);
    static std::array<uint8_t, 16> XorArrayWord95(std::string_view password);

private:
    std::array<uint8_t, 16> array_{};
};

// The stream names of an encrypted OOXML package.
inline constexpr std::u16string_view kEncryptionInfoStream = u"EncryptionInfo";
inline constexpr std::u16string_view kEncryptedPackageStream = u"EncryptedPackage";

// Deciphers an "EncryptedPackage" stream with the "EncryptionInfo" that
// describes it and returns the package (a zip). Checks the data integrity
// HMAC of agile encryption when the descriptor carries one.
std::string DecryptOoxmlPackage(std::string_view encryptionInfo, std::string_view encryptedPackage,
                                const std::string& password);

}  // namespace quillmark
