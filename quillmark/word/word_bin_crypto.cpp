// Opening password-protected binary Word documents: the FIB says the
// document is encrypted (fEncrypted) and, in Word 97 and later, whether by XOR
// obfuscation (fObfuscated) or by RC4, whose header opens the table stream.
// Word 6/95 only knows XOR obfuscation. The streams are deciphered in memory
// before the usual reading; the first bytes of the "WordDocument" stream (the
// FIB's fixed part) and the RC4 header are stored plain and kept as they are.
#include "quillmark/framework/byte_reader.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/property_set.h"
#include "quillmark/word/office_crypto.h"
#include "quillmark/word/word_bin_file.h"

namespace quillmark {

namespace {

constexpr size_t kFibFlagsOffset = 10;
constexpr size_t kFibKeyOffset = 14;
constexpr uint16_t kFibEncrypted = 0x0100;
constexpr uint16_t kFibObfuscated = 0x8000;
// The FIB's fixed part, which is never enciphered.
constexpr size_t kPlainFibBytes = 68;
constexpr std::u16string_view kEncryptedSummaryStream = u"EncryptedSummary";

}  // namespace

bool TWordBinFile::IsEncryptedStream(std::string_view word) {
    ByteReader r(word);
    return r.in_range(kFibFlagsOffset, 2) && (r.at_u16le(kFibFlagsOffset) & kFibEncrypted) != 0;
}

void TWordBinFile::DecryptStreams(const TCompoundStorage& storage, std::string& word, std::string* table) {
    // The FIB's flags are plain: read it so that IsPasswordProtected answers
    // even when the password is missing or wrong.
    ReadFIB(word);
    if (Password().empty()) throw EPasswordError(strPasswordProtected);
    ByteReader r(word);
    if (!r.in_range(0, kPlainFibBytes)) throw EDamagedDocument("The document's FIB is cut short");
    uint16_t nFib = r.at_u16le(2);
    uint16_t flags = r.at_u16le(kFibFlagsOffset);
    uint32_t lKey = r.at_u32le(kFibKeyOffset);
    // Word 97 and later (DocVersion 8, or 0 for the nFib 103 betas) have a
    // table stream and both schemes; Word 6/95 only XOR obfuscation.
    int version = DocVersionOf(r.at_u16le(0), nFib);
    bool word97 = version >= 8 || version == 0;
    std::string plainFib = word.substr(0, kPlainFibBytes);

    if (!word97 || (flags & kFibObfuscated)) {
        TXorObfuscation xorArray(Password(), lKey, !word97);
        xorArray.Apply(word, kPlainFibBytes);
        if (table && word97) xorArray.Apply(*table, 0);
        decrypted_ = true;
        return;
    }

    if (!table) throw EDamagedDocument("The encrypted document has no table stream");
    if (lKey > table->size()) throw EDamagedDocument("The document's encryption header lies outside the table stream");
    TOfficeRc4Decryptor rc4(std::string_view(*table).substr(0, lKey), Password());
    std::string header = table->substr(0, lKey);
    *table = rc4.DecryptStream(*table);
    table->replace(0, header.size(), header);
    word = rc4.DecryptStream(word);
    word.replace(0, plainFib.size(), plainFib);
    decrypted_ = true;

    if (rc4.IsCryptoApi() && ParseItems().Contains(wpiSummaryInformation) &&
        storage.HasStream(kEncryptedSummaryStream)) {
        // The property sets moved into the enciphered summary stream; the
        // plain ones left in the file are empty placeholders.
        for (auto& [name, bytes] : rc4.ReadEncryptedSummary(storage.ReadStream(kEncryptedSummaryStream))) {
            std::u16string_view n(name);
            if (!n.empty() && n.front() < u' ') n.remove_prefix(1);
            if (n == u"SummaryInformation" || n == u"DocumentSummaryInformation")
                encryptedSummary_.emplace_back(n == u"DocumentSummaryInformation", std::move(bytes));
        }
    }
}

void TWordBinFile::ReadEncryptedSummaryInformation() {
    for (const auto& [isDocSummary, bytes] : encryptedSummary_) ReadPropertySet(bytes, isDocSummary, FSummaryInformation);
}

}  // namespace quillmark
