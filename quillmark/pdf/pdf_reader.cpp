#include "quillmark/pdf/pdf_reader.h"

#include "quillmark/framework/stream.h"
#include "quillmark/framework/work_budget.h"

namespace quillmark {

namespace {

// Nested lookups (an indirect /Length inside an object stream inside ...)
// never go deeper than this.

// The "<< ... >>" starting at text[pos] (which must be "<<"), without the
// brackets; nested dictionaries are balanced. Runs to the end when unclosed.
std::string_view BalancedDictionary(std::string_view text, size_t pos) {
    int depth = 0;
    size_t i = pos;
    while (i + 1 < text.size()) {
        if (text[i] == '<' && text[i + 1] == '<') {
            ++depth;
            i += 2;
            continue;
        }
        if (text[i] == '>' && text[i + 1] == '>') {
            if (--depth == 0) return text.substr(pos + 2, i - pos - 2);
            i += 2;
            continue;
        }
        ++i;
    }
    return text.substr(pos + 2 <= text.size() ? pos + 2 : text.size());
}

std::string Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && PdfIsWhite(s[b])) ++b;
    while (e > b && PdfIsWhite(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

}  // namespace

TDTPDFReader::TDTPDFReader() = default;

bool TDTPDFReader::IsPdfData(std::string_view bytes) {
    return bytes.size() >= 5 && PdfLower(bytes.substr(0, 5)) == "%pdf-";
}
TDTPDFReader::~TDTPDFReader() = default;

void TDTPDFReader::ClearInternalLists() {
    TMSWBaseDocument::ClearInternalLists();
    RootTag.clear();
    InfoTag.clear();
    FDocID.clear();
    EncryptTag.clear();
    Encryption.reset();
    FXRefs.Clear();
    objectStreams_.clear();
    sectionOffsets_.clear();
    trailersRead_.clear();
    keywordPositions_.clear();
    slotSet_.clear();
    trailerText_.clear();
    repaired_ = false;
    depth_ = 0;
    scanned_ = false;
    scanIndexed_ = false;
    foundObjects_.clear();
    scannedOffsets_.clear();
    ClearDocumentLists();
}

void TDTPDFReader::LoadFromFile(const std::string& fileName) {
    TMSWBaseDocument::LoadFromFile(fileName);
    TFileStream stream(fileName, TFileMode::fmOpenRead);
    stream.SetPosition(0);
    LoadFromStream(stream);
}

void TDTPDFReader::LoadFromStream(TStream& stream) {
    TMSWBaseDocument::LoadFromStream(stream);
    data_ = stream.ReadRest();
    CheckFileAndReadXRefs();
    ParseEncryption();
    ReadDocumentContent();
}

int32_t TDTPDFReader::GetGeneration(int32_t objNumber) const {
    const TDTPDFXRef* item = FXRefs.GetItem(objNumber - StartCrossRef);
    return item && item->Kind == xrkUnCompressed ? item->Generation : 0;
}

std::string TDTPDFReader::GetBodyByRefNo(int32_t objNumber) {
    const TDTPDFXRef* item = FXRefs.GetItem(objNumber - StartCrossRef);
    if (!item) return {};
    if (item->Kind == xrkCompressed) {
        TLookupLevel level(depth_);
        if (!level.Entered()) return {};
        return ObjectFromStream(item->ObjNumber, item->Offset, objNumber);
    }
    int64_t offset = FXRefs.GetOffsetForXRef(objNumber - StartCrossRef);
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
    int64_t end = FXRefs.NextBoundary(offset, size);
    // Each copy is work: pages that all name one large object read it again.
    ChargeDecodedBytes(static_cast<uint64_t>(end - offset), "PDF object reads");
    return data_.substr(static_cast<size_t>(offset), static_cast<size_t>(end - offset));
}

std::optional<std::string> TDTPDFReader::NestedBody(int32_t ref) {
    TLookupLevel level(depth_);
    if (!level.Entered()) return std::nullopt;
    return GetBodyByRefNo(ref);
}

std::string TDTPDFReader::GetDoubleBracketValue(std::string_view key, std::string_view text) {
    size_t p = PdfFindKey(text, key);
    if (p == std::string_view::npos) return {};
    size_t i = p + key.size();
    while (i < text.size() && PdfIsWhite(text[i])) ++i;
    if (text.substr(i, 2) == "<<") return Trim(BalancedDictionary(text, i));
    // Not an inline dictionary: the key names the object that holds it.
    int32_t ref = 0;
    size_t pos = i;
    if (!PdfNextReference(text, pos, ref)) return {};
    std::optional<std::string> nested = NestedBody(ref);
    if (!nested) return {};
    std::string body = PdfLower(*nested);
    size_t open = body.find("<<");
    if (open == std::string::npos) return {};
    return Trim(BalancedDictionary(body, open));
}

}  // namespace quillmark
