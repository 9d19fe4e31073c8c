// The manifest of an OpenDocument package (META-INF/manifest.xml) and the
// decryption of the members it marks as encrypted.
//
// A password-protected package keeps each encrypted member stored (not
// deflated) in the zip; the manifest's "manifest:encryption-data" for the
// member names the cipher, the key derivation and a checksum:
//   start key  = SHA-1 or SHA-256 of the UTF-8 password
//   key        = PBKDF2-HMAC-SHA1(start key, salt, iteration count, key size)
//   plain      = AES-256-CBC (with the padding removed) or Blowfish-CFB of
//                the member with the initialisation vector
//   checksum   = SHA-1 or SHA-256 of the first 1024 bytes of the plain data
//                (tells a wrong password from a damaged member)
//   the plain data is then raw-deflated content.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "quillmark/framework/exception.h"

namespace quillmark {

enum class TOdfCipher : unsigned char { Unsupported, Aes256Cbc, BlowfishCfb };
enum class TOdfDigest : unsigned char { None, Sha1, Sha256 };

struct TOdfEncryptionData {
    TOdfCipher Cipher = TOdfCipher::Unsupported;
    std::string CipherName;        // as written, for messages
    std::string InitialisationVector;
    std::string Salt;
    uint32_t IterationCount = 0;
    uint32_t KeySize = 16;         // bytes of derived key
    TOdfDigest StartKey = TOdfDigest::Sha1;
    TOdfDigest Checksum = TOdfDigest::None;
    bool ChecksumOfWhole = false;  // "-1k" missing: the digest covers the whole data
    std::string ChecksumValue;
    bool KeyDerivationSupported = true;
    uint64_t Size = 0;             // manifest:size, the member's plain (inflated) size
};

class TOdfManifest {
public:
    // Reads the manifest's bytes (an empty or unreadable manifest has no
    // entries).
    void Load(std::string_view manifestXml);
    // The encryption data of a member, or null when it is not encrypted.
    const TOdfEncryptionData* Encryption(std::string_view fullPath) const;
    bool HasEncryptedMembers() const { return !encrypted_.empty(); }
    // The media type of the package ("/" entry), "" when not given.
    const std::string& MediaType() const { return mediaType_; }

private:
    std::map<std::string, TOdfEncryptionData, std::less<>> encrypted_;
    std::string mediaType_;
};

// Decrypts and inflates one member: data is the member as stored in the
// zip. A checksum that does not match, or plain data that does not inflate,
// raise EPasswordError (the usual cause is a wrong password); an algorithm
// this library does not implement raises EEncryptedError.
std::string DecryptOdfMember(const TOdfEncryptionData& encryption, std::string_view data,
                             const std::string& password, const std::string& memberName);

// Base64 text to bytes; whitespace is skipped, anything else invalid gives "".
std::string DecodeBase64(std::string_view text);

}  // namespace quillmark
