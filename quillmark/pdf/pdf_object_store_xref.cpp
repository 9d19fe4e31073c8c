// The file check and the walk over the cross-reference sections: classic
// "xref" tables and cross-reference streams, newest first along /Prev.
#include <set>

#include <algorithm>

#include "quillmark/framework/exception.h"
#include "quillmark/framework/work_budget.h"
#include "quillmark/pdf/pdf_object_store.h"
#include "quillmark/pdf/pdf_stream_data.h"

namespace quillmark {

namespace {

void SkipWhite(std::string_view s, size_t& i) {
    while (i < s.size()) {
        if (PdfIsWhite(s[i])) {
            ++i;
        } else if (s[i] == '%') {  // a comment runs to the end of its line
            while (i < s.size() && s[i] != '\n' && s[i] != '\r') ++i;
        } else {
            break;
        }
    }
}

// A whole, non-negative number (a count, width, offset or object number).
bool IsCount(const PdfObject& v) {
    return v.kind == PdfObject::Number && v.number >= 0 && v.number <= 9007199254740992.0 &&
           v.number == static_cast<double>(static_cast<int64_t>(v.number));
}

// An offset entry (/Prev, /XRefStm, a direct /Length); -1 when missing or
// not a whole number.
int64_t OffsetValue(const PdfObject& dict, std::string_view key) {
    const PdfObject* v = dict.Get(key);
    return v && IsCount(*v) ? static_cast<int64_t>(v->number) : -1;
}

// Where the next older section is: -1 at the end of the chain.
int64_t PrevOffset(const PdfObject& dict) { return OffsetValue(dict, "Prev"); }

// How a value that should have been a number was written, for messages.
std::string TokenText(const PdfObject& v) {
    switch (v.kind) {
        case PdfObject::Number: return std::to_string(v.number);
        case PdfObject::Name: return "/" + v.text.substr(0, 16);
        case PdfObject::String: return "(" + v.text.substr(0, 16) + ")";
        case PdfObject::Reference: return std::to_string(v.ref) + " 0 R";
        case PdfObject::Boolean: return v.number != 0 ? "true" : "false";
        default: return "null";
    }
}

// The offset "startxref" gives: its last occurrence at the start of a line
// (tail is lower-cased), then a number. -1 when there is none.
int64_t StartXRefOffset(std::string_view tail) {
    size_t p = PdfFindLastAtLineStart(tail, "startxref");
    if (p == std::string_view::npos) return -1;
    PdfLexer lexer(tail, p + 9);
    if (lexer.Next() != PdfToken::Number) return -1;
    int64_t value = -1;
    return PdfTryToInt(lexer.TokenText(), value) && value >= 0 ? value : -1;
}

// A cross-reference stream's dictionary longer than this is no dictionary.
constexpr size_t kMaxXRefDictionary = size_t{1} << 20;

}  // namespace

size_t TDTPDFObjectStore::FindKeyword(std::string_view keyword, size_t from) {
    auto it = keywordPositions_.find(std::string(keyword));
    if (it == keywordPositions_.end()) {
        std::vector<size_t> positions;
        std::string_view data = data_;
        for (size_t p = data.find(keyword); p != std::string_view::npos; p = data.find(keyword, p + 1))
            positions.push_back(p);
        it = keywordPositions_.emplace(std::string(keyword), std::move(positions)).first;
    }
    auto at = std::lower_bound(it->second.begin(), it->second.end(), from);
    return at == it->second.end() ? std::string_view::npos : *at;
}

TDTPDFXRef* TDTPDFObjectStore::DefineSlot(int64_t objNumber) {
    // A tiny file cannot hold millions of objects; this keeps a hostile
    // /Index or table header from allocating a huge list.
    int64_t limit = std::min<int64_t>(kMaxPdfObjectNumber, int64_t(data_.size()) * 16 + 4096);
    if (objNumber < 0 || objNumber > limit) return nullptr;
    size_t idx = static_cast<size_t>(objNumber);
    if (idx < slotSet_.size() && slotSet_[idx]) return nullptr;  // a newer section decided
    if (idx >= slotSet_.size()) {
        // Slots are items built per entry of the file: a sparse, huge object
        // number costs every slot below it.
        ChargeWorkItems(idx + 1 - slotSet_.size(), "PDF cross-reference slots");
        slotSet_.resize(idx + 1, 0);
    }
    slotSet_[idx] = 1;
    TDTPDFXRef* item = xrefs_.AddItem(static_cast<int32_t>(objNumber));
    if (item) *item = TDTPDFXRef{};
    return item;
}

void TDTPDFObjectStore::CheckFileAndReadXRefs() {
    startCrossRef_ = 0;
    std::string_view data = data_;
    if (data.size() < 5 || PdfLower(data.substr(0, 5)) != "%pdf-") throw Exception(strNotValidPDF);
    version_.clear();
    for (size_t i = 5; i < data.size() && i < 9 && ((data[i] >= '0' && data[i] <= '9') || data[i] == '.'); ++i)
        version_.push_back(data[i]);
    // "%%EOF" may be followed by blank lines or padding, so it is looked for
    // anywhere in the last kilobyte.
    size_t tailSize = std::min<size_t>(data.size(), 1024);
    if (PdfLower(data.substr(data.size() - tailSize)).find("%%eof") == std::string::npos)
        throw Exception(strNotValidPDF);

    size_t bigTail = std::min<size_t>(data.size(), 10240);
    size_t tailStart = data.size() - bigTail;
    std::string tail = PdfLower(data.substr(tailStart));
    int64_t offset = StartXRefOffset(tail);
    size_t sx = tail.rfind("startxref");
    if (sx != std::string::npos) sectionOffsets_.push_back(static_cast<int64_t>(tailStart + sx));

    std::set<int64_t> visited;
    bool ok = offset >= 0;
    bool newest = true;
    bool failed = false;
    std::string error;
    try {
        while (offset >= 0) {
            // A /Prev chain that comes back to a section already read ends here.
            if (!visited.insert(offset).second) break;
            if (offset >= static_cast<int64_t>(data.size())) {
                ok = false;
                break;
            }
            int64_t next = ReadSection(offset, newest);
            if (next == -2) {
                ok = false;
                break;
            }
            newest = false;
            offset = next;
        }
    } catch (const ELimitError&) {
        throw;  // a file over the work limit is not repaired by more work
    } catch (const Exception& e) {
        failed = true;
        error = e.what();
    }
    bool anyObject = false;
    for (int32_t i = 0; i < xrefs_.Count() && !anyObject; ++i)
        anyObject = xrefs_.GetItem(i)->Kind != xrkFree;
    if (!ok || failed || !anyObject) {
        if (!RepairXRefs() && failed) throw EDamagedDocument(error);
    }
    slotSet_.clear();
    slotSet_.shrink_to_fit();
    xrefs_.BuildIndex(sectionOffsets_);
}

int64_t TDTPDFObjectStore::ReadSection(int64_t offset, bool newest) {
    std::string_view data = data_;
    size_t pos = static_cast<size_t>(offset);
    SkipWhite(data, pos);
    sectionOffsets_.push_back(static_cast<int64_t>(pos));
    if (data.substr(pos, 4) == "xref") {
        size_t tr = FindKeyword("trailer", pos + 4);
        ReadXRefTable(pos + 4, tr == std::string_view::npos ? data.size() : tr);
        if (tr == std::string_view::npos) return -1;
        sectionOffsets_.push_back(static_cast<int64_t>(tr));
        // Tables that share one trailer: it was applied, and its /Prev
        // followed, the first time.
        if (!trailersRead_.insert(tr).second) return -1;
        // A dictionary that is not closed ends at the next section keyword,
        // not at the end of the file.
        size_t bound = std::min({FindKeyword("startxref", tr + 7), FindKeyword("trailer", tr + 7), data.size()});
        std::string_view trailerText;
        PdfObject trailer = PdfParseDictionaryAt(data.substr(0, bound), tr + 7, trailerText);
        ApplyTrailer(trailer, trailerText, newest);
        // Hybrid files: the table's trailer names a cross-reference stream
        // whose entries come after the table's own and before /Prev.
        int64_t stm = OffsetValue(trailer, "XRefStm");
        if (stm > 0 && stm < static_cast<int64_t>(data.size()) && stm != offset) {
            size_t sp = static_cast<size_t>(stm);
            size_t after = 0;
            SkipWhite(data, sp);
            if (PdfMatchObjectHeader(data, sp, after)) {
                size_t streamKw = FindKeyword("stream", after);
                size_t endKw = streamKw == std::string_view::npos ? std::string_view::npos
                                                                   : FindKeyword("endstream", streamKw + 6);
                if (endKw != std::string_view::npos && streamKw - after <= kMaxXRefDictionary) {
                    sectionOffsets_.push_back(static_cast<int64_t>(sp));
                    std::string_view section = data.substr(sp, endKw + 9 - sp), dictText;
                    ReadXRefStream(section, PdfParseDictionaryAt(section.substr(0, streamKw - sp), 0, dictText));
                }
            }
        }
        return PrevOffset(trailer);
    }
    size_t after = 0;
    if (!PdfMatchObjectHeader(data, pos, after)) return -2;
    // A cross-reference stream: its dictionary, then the stream data, whose
    // end is found from /Length when that is right, else from "endstream".
    size_t streamKw = FindKeyword("stream", after);
    if (streamKw == std::string_view::npos || streamKw - after > kMaxXRefDictionary) return -2;
    // Each section's dictionary is read once, but sections whose keyword is
    // far away would each read a long stretch of the file.
    ChargeDecodedBytes(streamKw - after, "PDF cross-reference sections");
    std::string_view dictText;
    PdfObject dict = PdfParseDictionaryAt(data.substr(0, streamKw), after, dictText);
    const PdfObject* type = dict.Get("Type");
    if (!type || !type->IsName("XRef")) return -2;
    size_t dataStart = streamKw + 6;
    if (dataStart < data.size() && data[dataStart] == '\r') ++dataStart;
    if (dataStart < data.size() && data[dataStart] == '\n') ++dataStart;
    // /Length may be indirect, but the object it names is found through the
    // very list being read: it is used only when written in the dictionary.
    int64_t length = OffsetValue(dict, "Length");
    size_t endKw = std::string_view::npos;
    if (length > 0 && static_cast<uint64_t>(length) <= data.size() - dataStart) {
        size_t q = dataStart + static_cast<size_t>(length);
        SkipWhite(data, q);
        if (data.substr(q, 9) == "endstream") endKw = q;
    }
    if (endKw == std::string_view::npos) endKw = FindKeyword("endstream", dataStart);
    if (endKw == std::string_view::npos) return -2;
    std::string_view section = data.substr(pos, endKw + 9 - pos);
    ReadXRefStream(section, dict);
    ApplyTrailer(dict, dictText, newest);
    return PrevOffset(dict);
}

void TDTPDFObjectStore::ReadXRefTable(size_t pos, size_t end) {
    std::string_view s = std::string_view(data_).substr(0, end);
    size_t i = pos;
    while (true) {
        // Subsection header: first object number and count.
        SkipWhite(s, i);
        int64_t first = 0, count = 0;
        if (!PdfReadDigits(s, i, first)) return;
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        if (!PdfReadDigits(s, i, count)) return;
        for (int64_t k = 0; k < count; ++k) {
            SkipWhite(s, i);
            int64_t offset = 0, gen = 0;
            if (!PdfReadDigits(s, i, offset)) return;
            while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
            if (!PdfReadDigits(s, i, gen)) return;
            while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
            if (i >= s.size() || (s[i] != 'n' && s[i] != 'f')) return;
            bool inUse = s[i++] == 'n';
            TDTPDFXRef* item = DefineSlot(first + k);
            if (!item || !inUse) continue;
            if (offset > INT32_MAX || gen > 65535) continue;
            item->Kind = xrkUnCompressed;
            item->Offset = static_cast<int32_t>(offset);
            item->Generation = static_cast<int32_t>(gen);
        }
    }
}

void TDTPDFObjectStore::ReadXRefStream(std::string_view sectionText, const PdfObject& dict) {
    const PdfObject* w = dict.Get("W");
    std::vector<int64_t> widths;
    if (w && w->kind == PdfObject::Array)
        for (const PdfObject& v : w->items) {
            if (widths.size() == 3 || !IsCount(v)) break;
            widths.push_back(static_cast<int64_t>(v.number));
        }
    if (widths.size() < 3 || widths[0] != 1) throw Exception(strXRefWNotValid);
    if (widths[1] > 8 || widths[2] > 8)
        throw Exception("Cross-reference stream /W widths are larger than 8 bytes");

    // Cross-reference streams are never encrypted: object number 0 marks
    // the call as such.
    std::string entries = DecodeStreamObject(sectionText, 0);
    size_t row = static_cast<size_t>(widths[0] + widths[1] + widths[2]);
    if (entries.size() % row != 0) throw Exception(strXRefStreamLength);

    std::vector<int64_t> pairs;
    const PdfObject* index = dict.Get("Index");
    if (!index || index->kind != PdfObject::Array || index->items.empty()) {
        pairs = {0, static_cast<int64_t>(entries.size() / row)};
    } else {
        for (const PdfObject& v : index->items) {
            if (!IsCount(v)) throw EConvertError("'" + TokenText(v) + "' is not a valid integer value");
            pairs.push_back(static_cast<int64_t>(v.number));
        }
    }
    size_t at = 0;
    for (size_t p = 0; p + 1 < pairs.size(); p += 2) {
        int64_t first = pairs[p], count = pairs[p + 1];
        for (int64_t k = 0; k < count && at + row <= entries.size(); ++k, at += row) {
            uint64_t f[3] = {0, 0, 0};
            size_t q = at;
            for (int fi = 0; fi < 3; ++fi)
                for (int64_t b = 0; b < widths[fi]; ++b)
                    f[fi] = (f[fi] << 8) | static_cast<uint8_t>(entries[q++]);
            if (f[0] > 2) continue;  // unknown types leave the slot to older sections
            TDTPDFXRef* item = DefineSlot(first + k);
            if (!item) continue;
            if (f[0] == 1 && f[1] <= INT32_MAX && f[2] <= 65535) {
                item->Kind = xrkUnCompressed;
                item->Offset = static_cast<int32_t>(f[1]);
                item->Generation = static_cast<int32_t>(f[2]);
            } else if (f[0] == 2 && f[1] <= INT32_MAX && f[2] <= INT32_MAX) {
                item->Kind = xrkCompressed;
                item->ObjNumber = static_cast<int32_t>(f[1]);
                item->Offset = static_cast<int32_t>(f[2]);
            }
        }
    }
}

void TDTPDFObjectStore::ApplyTrailer(const PdfObject& trailer, std::string_view trailerText, bool newest) {
    // Sections are read newest first, so a tag already set stays.
    auto setTag = [&](std::string& tag, std::string_view key) {
        if (!tag.empty()) return;
        const PdfObject* v = trailer.Get(key);
        if (v && v->kind == PdfObject::Reference) tag = std::to_string(v->ref);
        else if (v && IsCount(*v)) tag = std::to_string(static_cast<int64_t>(v->number));  // a number without "0 R"
    };
    setTag(rootTag_, "Root");
    setTag(infoTag_, "Info");
    setTag(encryptTag_, "Encrypt");
    if (newest) {
        trailerText_ = std::string(trailerText);
        trailer_ = trailer;
    }
    if (docID_.empty()) {
        // /ID [<first> <second>]: the first string.
        const PdfObject* id = trailer.Get("ID");
        if (id && id->kind == PdfObject::Array && !id->items.empty() && id->items[0].kind == PdfObject::String)
            docID_ = id->items[0].text;
    }
}

}  // namespace quillmark
