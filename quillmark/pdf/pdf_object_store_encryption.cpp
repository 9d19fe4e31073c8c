// The security handler of a loaded file and the decryption of its strings
// and streams. The handler and its file key are made once per load; every
// stream and string then only costs its own object key.
#include <cstdint>

#include "quillmark/framework/work_budget.h"
#include "quillmark/pdf/pdf_encryption.h"
#include "quillmark/pdf/pdf_object_store.h"

namespace quillmark {

void TDTPDFObjectStore::ParseEncryption(const std::string& password) {
    encryption_.reset();
    encryptObject_ = -1;
    PdfObject dictionary;
    if (!encryptTag_.empty()) {
        int64_t n = PdfToInt(encryptTag_, -1);
        if (n < 0 || n > INT32_MAX) return;
        encryptObject_ = static_cast<int32_t>(n);
        dictionary = ParsedObject(encryptObject_);
    } else {
        // A dictionary written into the trailer itself instead of an object.
        const PdfObject* inline_ = trailer_.Get("Encrypt");
        if (!inline_ || inline_->kind != PdfObject::Dictionary) return;
        dictionary = *inline_;
    }
    encryption_ = CreatePdfEncryption(dictionary, [this](int32_t ref) {
        if (ref == encryptObject_) return PdfObject();  // a dictionary naming itself
        return ParsedObject(ref);
    });
    encryption_->Authenticate(docID_, password);
}

std::string TDTPDFObjectStore::DecryptData(int32_t objNumber, int32_t generation, std::string data) {
    if (!encryption_ || !encryption_->Enabled() || objNumber == encryptObject_) return data;
    if (IsCompressed(objNumber)) return data;
    ChargeDecodedBytes(data.size(), "PDF decrypted strings");
    return encryption_->DecryptString(objNumber, generation, data);
}

std::string TDTPDFObjectStore::DecryptStreamData(int32_t objNumber, std::string_view type,
                                                 std::string_view cryptFilter, std::string data) {
    if (!encryption_ || !encryption_->Enabled() || objNumber == encryptObject_) return data;
    if (IsCompressed(objNumber)) return data;
    if (type == "/xref") return data;
    auto standard = dynamic_cast<const TDTPDFStandardEncryption*>(encryption_.get());
    if (type == "/metadata" && standard && !standard->EncryptMetadata()) return data;
    ChargeDecodedBytes(data.size(), "PDF decrypted streams");
    return encryption_->DecryptStream(objNumber, GetGeneration(objNumber), data, cryptFilter);
}

}  // namespace quillmark
