// Security handler set-up of TDTPDFReader and the decryption of strings and
// streams. The handler and its file key are made once per load; every
// stream and string then only costs its own object key.
#include <cstdint>

#include "quillmark/framework/exception.h"
#include "quillmark/framework/work_budget.h"
#include "quillmark/pdf/pdf_encryption.h"
#include "quillmark/pdf/pdf_reader.h"

namespace quillmark {

void TDTPDFReader::ParseEncryption() {
    Encryption.reset();
    encryptObject_ = -1;
    std::string dictionary;
    if (!EncryptTag.empty()) {
        int64_t n = PdfToInt(EncryptTag, -1);
        if (n >= 0 && n <= INT32_MAX) {
            encryptObject_ = static_cast<int32_t>(n);
            dictionary = GetBodyByRefNo(encryptObject_);
            size_t obj = dictionary.find("obj");
            size_t open = obj == std::string::npos ? obj : dictionary.find("<<", obj);
            dictionary = open == std::string::npos ? std::string() : dictionary.substr(open);
        }
    } else {
        // A dictionary written into the trailer itself instead of an object.
        std::string lower = PdfLower(trailerText_);
        size_t k = PdfFindEntryKey(lower, "/encrypt");
        if (k == std::string::npos) return;
        size_t i = k + 8;
        while (i < lower.size() && PdfIsWhite(lower[i])) ++i;
        if (lower.compare(i, 2, "<<") != 0) return;
        dictionary = trailerText_.substr(i);
    }
    Encryption = CreatePdfEncryption(dictionary, [this](int32_t ref) {
        if (ref == encryptObject_) return std::string();  // a dictionary naming itself
        return GetBodyByRefNo(ref);
    });
    Encryption->Authenticate(FDocID, Password());
}

std::string TDTPDFReader::DecryptData(int32_t objNumber, int32_t generation, std::string data) {
    if (!Encryption || !Encryption->Enabled() || objNumber == encryptObject_) return data;
    const TDTPDFXRef* x = FXRefs.GetItem(objNumber - StartCrossRef);
    if (x && x->Kind == xrkCompressed) return data;
    ChargeDecodedBytes(data.size(), "PDF decrypted strings");
    return Encryption->DecryptString(objNumber, generation, data);
}

std::string TDTPDFReader::DecryptStreamData(int32_t objNumber, std::string_view type,
                                            std::string_view cryptFilter, std::string data) {
    if (!Encryption || !Encryption->Enabled() || objNumber == encryptObject_) return data;
    const TDTPDFXRef* x = FXRefs.GetItem(objNumber - StartCrossRef);
    if (x && x->Kind == xrkCompressed) return data;
    if (type == "/xref") return data;
    auto standard = dynamic_cast<const TDTPDFStandardEncryption*>(Encryption.get());
    if (type == "/metadata" && standard && !standard->EncryptMetadata()) return data;
    ChargeDecodedBytes(data.size(), "PDF decrypted streams");
    return Encryption->DecryptStream(objNumber, GetGeneration(objNumber), data, cryptFilter);
}

std::string TDTPDFReader::DecryptString(int32_t objNumber, std::string_view bytes) {
    return DecryptData(objNumber, GetGeneration(objNumber), std::string(bytes));
}

}  // namespace quillmark
