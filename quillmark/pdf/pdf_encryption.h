// The PDF standard security handler. An encrypted file names an encryption
// dictionary in its trailer; from it and the password the handler derives
// the file key once per load, and then decrypts every string and stream
// with a key made from the file key and the object's number and generation:
//   /V 1, 2        RC4 with a 40- to 128-bit key (revisions 2 and 3)
//   /V 4           crypt filters /StdCF etc. of method /V2 (RC4), /AESV2
//                  (AES-128-CBC) or /Identity (revision 4)
//   /V 5           AES-256-CBC with the file key itself (revisions 5 and 6,
//                  the SHA-256/384/512 password hash)
// Both the user and the owner password open a document.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "quillmark/pdf/pdf_syntax.h"

namespace quillmark {

inline constexpr const char* strEncryptionNotSupported =
    "The encryption method is not supported in current version";
inline constexpr const char* strAlgorithm3NotSupported = "Algorithm 3 for Standard encryption is not supported";
inline constexpr const char* strUnknownEncryptionAlgorithm = "Unknown algorithm for Standard encryption";
inline constexpr const char* strUnknownEncryptionRevision =
    "Unknown (or nonsupported) revision for Standard encryption (Algorithm 1)";
inline constexpr const char* strPasswordNotValid = "Password is not valid";
inline constexpr const char* strCryptFilterNotImplemented =
    "CryptFilter algorithm for Standard encryption is not implemented in current version";

// How one crypt filter transforms data.
enum class TDTPDFCryptMethod { Identity, RC4, AESV2, AESV3, Unknown };

// Base of the handler family: a handler that changes nothing.
class TDTPDFEncryption {
public:
    virtual ~TDTPDFEncryption() = default;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool v) { FEnabled = v; }

    // Checks the password and derives the file key; called once per load.
    // Throws "Password is not valid" when neither password matches.
    virtual void Authenticate(const std::string& docID, const std::string& password);
    // The decrypted bytes of a stream of object objNumber (generation
    // generation). cryptFilter: the stream's own /Crypt filter name without
    // "/" ("" when it has none, so the document's stream filter applies).
    virtual std::string DecryptStream(int32_t objNumber, int32_t generation, std::string_view data,
                                      std::string_view cryptFilter = {}) const;
    // The decrypted bytes of a string inside object objNumber.
    virtual std::string DecryptString(int32_t objNumber, int32_t generation, std::string_view data) const;

protected:
    bool FEnabled = false;
};

// The standard security handler's dictionary values and password checks.
class TDTPDFStandardEncryption : public TDTPDFEncryption {
public:
    int32_t Algorithm() const { return FAlgorithm; }
    int32_t KeyLength() const { return FKeyLength; }  // bits
    int32_t Revision() const { return FRevision; }
    const std::string& OwnerPasswordHash() const { return FOwnerPasswordHash; }  // /O
    const std::string& UserPasswordHash() const { return FUserPasswordHash; }    // /U
    const std::string& OwnerEncryptedKey() const { return FOwnerEncryptedKey; }  // /OE (revisions 5, 6)
    const std::string& UserEncryptedKey() const { return FUserEncryptedKey; }    // /UE (revisions 5, 6)
    uint32_t Permissions() const { return FPermissions; }                        // /P as 32 bits
    bool EncryptMetadata() const { return FEncryptMetadata; }

    void SetAlgorithm(int32_t v) { FAlgorithm = v; }
    void SetKeyLength(int32_t v) { FKeyLength = v; }
    void SetRevision(int32_t v) { FRevision = v; }
    void SetOwnerPasswordHash(const std::string& v) { FOwnerPasswordHash = v; }
    void SetUserPasswordHash(const std::string& v) { FUserPasswordHash = v; }
    void SetOwnerEncryptedKey(const std::string& v) { FOwnerEncryptedKey = v; }
    void SetUserEncryptedKey(const std::string& v) { FUserEncryptedKey = v; }
    void SetPermissions(uint32_t v) { FPermissions = v; }
    void SetEncryptMetadata(bool v) { FEncryptMetadata = v; }

    // Permission bits (informational; nothing in the library enforces them).
    bool CanPrintDocument() const { return FPermissions & 4; }
    bool CanModifyDocument() const { return FPermissions & 8; }
    bool CanExtractContent() const { return FPermissions & 16; }
    bool CanModifyAnnotations() const { return FPermissions & 32; }
    bool CanFillInForm() const { return FPermissions & 256; }
    bool CanFormFieldFill2() const { return FPermissions & 512; }
    bool CanContentCopy2() const { return FPermissions & 1024; }
    bool CanContentAccessibility() const { return FPermissions & 2048; }
    bool CanPrintDocumentHighLevel() const { return FPermissions & 4096; }

    // The 32 bytes a password is padded with (revisions 2 to 4).
    static const std::string& PASSWORD_PADDING();
    // The file key of revisions 2 to 4 for a password; pads password in
    // place to 32 bytes (cut when longer).
    std::string ComputeKey(const std::string& docID, std::string& password) const;
    // The password hash of revisions 5 (plain SHA-256) and 6 (the iterated
    // SHA-256/384/512 hash); userKey is the 48 bytes of /U when checking an
    // owner password, empty for a user password.
    std::string PasswordHashV5(std::string_view password, std::string_view salt, std::string_view userKey) const;

    // Tries password as the user password, then as the owner password;
    // sets the file key. Throws "Password is not valid".
    void Authenticate(const std::string& docID, const std::string& password) override;
    // The file key (empty before Authenticate).
    const std::string& FileKey() const { return fileKey_; }
    // True when the password given to Authenticate was the owner password.
    bool OwnerAuthenticated() const { return ownerAuthenticated_; }

protected:
    // The key of one object: MD5 of file key, object number, generation (and
    // "sAlT" for AES), cut to the file key length + 5, at most 16 bytes; the
    // file key itself for AES-256.
    std::string ObjectKey(TDTPDFCryptMethod method, int32_t objNumber, int32_t generation) const;
    std::string Apply(TDTPDFCryptMethod method, int32_t objNumber, int32_t generation, std::string_view data) const;
    bool CheckUserPassword(const std::string& docID, const std::string& password, std::string& key) const;
    // Revisions 2 to 4: password as user, then as owner password.
    bool AuthenticateRc4Password(const std::string& docID, const std::string& password);
    bool CheckUserPasswordV5(std::string_view password, std::string& key) const;
    bool CheckOwnerPasswordV5(std::string_view password, std::string& key) const;

    int32_t FAlgorithm = 0;
    int32_t FKeyLength = 40;
    int32_t FRevision = 0;
    std::string FOwnerPasswordHash, FUserPasswordHash, FOwnerEncryptedKey, FUserEncryptedKey;
    uint32_t FPermissions = 0;
    bool FEncryptMetadata = true;
    std::string fileKey_;
    bool ownerAuthenticated_ = false;
};

// /V 1 and 2: every string and stream with RC4.
class TDTPDFStandardAlgorithm1 : public TDTPDFStandardEncryption {
public:
    std::string DecryptStream(int32_t objNumber, int32_t generation, std::string_view data,
                              std::string_view cryptFilter = {}) const override;
    std::string DecryptString(int32_t objNumber, int32_t generation, std::string_view data) const override;
};

// /V 4 and 5: named crypt filters for streams (/StmF) and strings (/StrF).
class TDTPDFStandardCryptFilter : public TDTPDFStandardEncryption {
public:
    // Filter names without "/"; matched without regard to case, except the
    // predefined "Identity".
    void SetCryptFilter(const std::string& name, TDTPDFCryptMethod method);
    void SetStreamFilter(const std::string& name) { streamFilter_ = name; }
    void SetStringFilter(const std::string& name) { stringFilter_ = name; }
    // The method of a named filter: "Identity" always is one; unknown names
    // give Unknown.
    TDTPDFCryptMethod FilterMethod(std::string_view name) const;

    std::string DecryptStream(int32_t objNumber, int32_t generation, std::string_view data,
                              std::string_view cryptFilter = {}) const override;
    std::string DecryptString(int32_t objNumber, int32_t generation, std::string_view data) const override;

private:
    std::string Run(std::string_view filter, int32_t objNumber, int32_t generation, std::string_view data) const;

    std::map<std::string, TDTPDFCryptMethod, std::less<>> filters_;
    std::string streamFilter_ = "Identity", stringFilter_ = "Identity";
};

// The top-level entries of a dictionary that starts at text[0] ("<<"):
// lower-cased key names without "/" mapped to their raw value text (strings,
// nested dictionaries and arrays kept whole, in original case).
std::map<std::string, std::string> PdfDictionaryEntries(std::string_view text);

// Builds the handler for a parsed encryption dictionary (keys in their
// exact case). resolve: the parsed object a value given as "N G R" names.
// Throws the messages above for handlers, algorithms and revisions that are
// not read.
std::shared_ptr<TDTPDFEncryption> CreatePdfEncryption(const PdfObject& dictionary,
                                                      const std::function<PdfObject(int32_t)>& resolve);
// The same for the dictionary's text (from "<<"); resolve gives the text of
// an object.
std::shared_ptr<TDTPDFEncryption> CreatePdfEncryption(std::string_view dictionary,
                                                      const std::function<std::string(int32_t)>& resolve);

}  // namespace quillmark
