#include "quillmark/pdf/pdf_object_store.h"

#include "quillmark/framework/work_budget.h"
#include "quillmark/pdf/pdf_encryption.h"

namespace quillmark {

TDTPDFObjectStore::TDTPDFObjectStore() = default;
TDTPDFObjectStore::~TDTPDFObjectStore() = default;

void TDTPDFObjectStore::Clear() {
    data_.clear();
    xrefs_.Clear();
    version_ = "1.0";
    startCrossRef_ = 0;
    rootTag_.clear();
    infoTag_.clear();
    encryptTag_.clear();
    docID_.clear();
    trailerText_.clear();
    trailer_ = PdfObject();
    repaired_ = false;
    encryption_.reset();
    encryptObject_ = -1;
    slotSet_.clear();
    sectionOffsets_.clear();
    trailersRead_.clear();
    keywordPositions_.clear();
    objectStreams_.clear();
    scanned_ = false;
    scanIndexed_ = false;
    foundObjects_.clear();
    scannedOffsets_.clear();
    depth_ = 0;
}

void TDTPDFObjectStore::Load(std::string data, const std::string& password) {
    data_ = std::move(data);
    CheckFileAndReadXRefs();
    ParseEncryption(password);
}

int32_t TDTPDFObjectStore::GetGeneration(int32_t objNumber) const {
    const TDTPDFXRef* item = xrefs_.GetItem(objNumber - startCrossRef_);
    return item && item->Kind == xrkUnCompressed ? item->Generation : 0;
}

bool TDTPDFObjectStore::IsCompressed(int32_t objNumber) const {
    const TDTPDFXRef* item = xrefs_.GetItem(objNumber - startCrossRef_);
    return item && item->Kind == xrkCompressed;
}

std::string TDTPDFObjectStore::GetBodyByRefNo(int32_t objNumber) {
    const TDTPDFXRef* item = xrefs_.GetItem(objNumber - startCrossRef_);
    if (!item) return {};
    if (item->Kind == xrkCompressed) {
        TLookupLevel level(*this);
        if (!level.Entered()) return {};
        return ObjectFromStream(item->ObjNumber, item->Offset, objNumber);
    }
    int64_t offset = xrefs_.GetOffsetForXRef(objNumber - startCrossRef_);
    int64_t size = static_cast<int64_t>(data_.size());
    if (offset < 0 || offset >= size) return {};
    // An entry that does not point at this object's header (a damaged or
    // inconsistent table) is mended from a scan of the file's headers.
    size_t after = 0;
    std::string_view at = std::string_view(data_).substr(static_cast<size_t>(offset), 24);
    if (!PdfMatchObjectHeader(at, 0, after) || PdfToInt(at.substr(0, at.find_first_of(" \t\r\n\f")), -1) != objNumber) {
        int64_t found = ScannedOffset(objNumber);
        if (found >= 0) offset = found;
    }
    int64_t end = xrefs_.NextBoundary(offset, size);
    // Each copy is work: pages that all name one large object read it again.
    ChargeDecodedBytes(static_cast<uint64_t>(end - offset), "PDF object reads");
    return data_.substr(static_cast<size_t>(offset), static_cast<size_t>(end - offset));
}

std::optional<std::string> TDTPDFObjectStore::NestedBody(int32_t ref) {
    TLookupLevel level(*this);
    if (!level.Entered()) return std::nullopt;
    return GetBodyByRefNo(ref);
}

PdfObject TDTPDFObjectStore::ParsedObject(int32_t objNumber) { return PdfParseObjectBody(GetBodyByRefNo(objNumber)); }

PdfObject TDTPDFObjectStore::Resolve(const PdfObject& value) {
    if (value.kind != PdfObject::Reference) return value;
    return ParsedObject(value.ref);
}

}  // namespace quillmark
