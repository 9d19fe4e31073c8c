// Rebuilding the object list of a damaged file. When "startxref" is missing
// or wrong, or the cross-reference data cannot be read, the file is scanned
// for "N G obj" headers instead: the last definition of each number wins (as
// incremental updates append newer versions), objects found inside object
// streams fill the numbers no plain object has, and the trailer is the last
// "trailer" dictionary, or failing that the last cross-reference stream's.
#include <vector>

#include "quillmark/pdf/pdf_object_store.h"
#include "quillmark/pdf/pdf_stream_data.h"

namespace quillmark {

namespace {

// The dictionary of an object body, parsed: the text from its header to
// "stream" or "endobj", at most 64 KiB of it.
PdfObject HeadDictionary(std::string_view body) {
    std::string_view head = body.substr(0, 65536);
    size_t s = PdfFindStreamKeyword(head);
    size_t e = head.find("endobj");
    size_t cut = std::min(s, e);
    return PdfParseObjectBody(cut == std::string_view::npos ? head : head.substr(0, cut));
}

}  // namespace

bool TDTPDFObjectStore::RepairXRefs() {
    std::string_view data = data_;
    xrefs_.Clear();
    slotSet_.clear();
    objectStreams_.clear();
    rootTag_.clear();
    infoTag_.clear();
    encryptTag_.clear();
    docID_.clear();
    trailerText_.clear();

    const std::vector<FoundObject>& found = ScanObjectHeaders();
    if (found.empty()) return false;

    int64_t limit = std::min<int64_t>(kMaxPdfObjectNumber, int64_t(data.size()) * 16 + 4096);
    for (const FoundObject& f : found) {
        if (f.number > limit || f.offset > INT32_MAX) continue;
        TDTPDFXRef* item = xrefs_.AddItem(f.number);
        if (!item) continue;
        item->Kind = xrkUnCompressed;
        item->Offset = static_cast<int32_t>(f.offset);
        item->Generation = f.generation;
    }
    // The keywords that end the last object's text.
    for (std::string_view kw : {"xref", "trailer", "startxref"}) {
        size_t q = data.rfind(kw);
        if (q != std::string_view::npos) sectionOffsets_.push_back(static_cast<int64_t>(q));
    }
    xrefs_.BuildIndex(sectionOffsets_);

    // Classify the objects found: object streams, cross-reference streams
    // and the catalog.
    std::vector<int32_t> objectStreams;
    std::string lastXRefStream;
    int32_t catalog = -1;
    size_t xrefStreams = 0;
    for (int32_t n = 0; n < xrefs_.Count(); ++n) {
        if (xrefs_.GetItem(n)->Kind != xrkUnCompressed) continue;
        std::string body = GetBodyByRefNo(n);
        PdfObject dict = HeadDictionary(body);
        const PdfObject* type = dict.Get("Type");
        if (!type || type->kind != PdfObject::Name) continue;
        if (type->text == "ObjStm") objectStreams.push_back(n);
        else if (type->text == "XRef") lastXRefStream = std::move(body), ++xrefStreams;
        else if (type->text == "Catalog") catalog = n;
    }
    for (int32_t s : objectStreams) {
        const auto& entries = ObjectStream(s).entries;
        for (size_t k = 0; k < entries.size(); ++k) {
            int32_t num = entries[k].first;
            if (num > limit || num == s) continue;
            const TDTPDFXRef* existing = xrefs_.GetItem(num);
            if (existing && existing->Kind != xrkFree) continue;
            TDTPDFXRef* item = xrefs_.AddItem(num);
            if (!item) continue;
            item->Kind = xrkCompressed;
            item->ObjNumber = s;
            item->Offset = static_cast<int32_t>(k);
        }
    }

    PdfObject trailer;
    std::string_view trailerText;
    size_t tr = data.rfind("trailer");
    if (tr != std::string_view::npos) {
        size_t close = data.find("startxref", tr);
        trailer = PdfParseDictionaryAt(data.substr(0, close), tr, trailerText);
        if (!trailerText.empty()) ApplyTrailer(trailer, trailerText, true);
    }
    if (rootTag_.empty() && !lastXRefStream.empty()) {
        trailer = PdfParseDictionaryAt(lastXRefStream, 0, trailerText);
        if (!trailerText.empty()) ApplyTrailer(trailer, trailerText, true);
    }
    if (rootTag_.empty() && catalog >= 0) rootTag_ = std::to_string(catalog);
    repaired_ = true;
    // Cross-reference streams alone are no document.
    return found.size() > xrefStreams;
}

const std::vector<TDTPDFObjectStore::FoundObject>& TDTPDFObjectStore::ScanObjectHeaders() {
    if (scanned_) return foundObjects_;
    scanned_ = true;
    std::string_view data = data_;
    size_t p = 0;
    while ((p = data.find("obj", p)) != std::string_view::npos) {
        size_t kw = p;
        p += 3;
        if (p < data.size() && PdfIsRegular(data[p])) continue;
        // Walk back over: white, generation, white, number.
        size_t j = kw;
        auto backWhite = [&]() {
            size_t s = j;
            while (j > 0 && PdfIsWhite(data[j - 1])) --j;
            return j < s;
        };
        auto backDigits = [&]() {
            size_t s = j;
            while (j > 0 && s - j < 10 && data[j - 1] >= '0' && data[j - 1] <= '9') --j;
            return j < s;
        };
        if (!backWhite() || !backDigits()) continue;
        size_t genStart = j;
        if (!backWhite() || !backDigits()) continue;
        if (j > 0 && PdfIsRegular(data[j - 1])) continue;
        size_t after = 0;
        if (!PdfMatchObjectHeader(data, j, after) || after != p) continue;
        int64_t num = PdfToInt(data.substr(j, genStart - j), -1);
        int64_t gen = PdfToInt(data.substr(genStart, kw - genStart), -1);
        if (num < 0 || num > kMaxPdfObjectNumber || gen < 0 || gen > 65535) continue;
        foundObjects_.push_back({static_cast<int32_t>(num), static_cast<int32_t>(gen), j});
    }
    return foundObjects_;
}

int64_t TDTPDFObjectStore::ScannedOffset(int32_t objNumber) {
    if (!scanIndexed_) {
        scanIndexed_ = true;
        ScanObjectHeaders();
        int32_t maxNumber = -1;
        for (const FoundObject& f : foundObjects_) maxNumber = std::max(maxNumber, f.number);
        scannedOffsets_.assign(static_cast<size_t>(maxNumber + 1), -1);
        std::vector<int64_t> bounds = sectionOffsets_;
        for (const FoundObject& f : foundObjects_) {
            scannedOffsets_[static_cast<size_t>(f.number)] = static_cast<int64_t>(f.offset);
            bounds.push_back(static_cast<int64_t>(f.offset));
        }
        // Objects found by the scan also end the text of the one before.
        xrefs_.BuildIndex(bounds);
    }
    if (objNumber < 0 || static_cast<size_t>(objNumber) >= scannedOffsets_.size()) return -1;
    return scannedOffsets_[static_cast<size_t>(objNumber)];
}

}  // namespace quillmark
