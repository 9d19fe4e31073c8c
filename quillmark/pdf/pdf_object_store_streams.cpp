// Stream objects: the data between "stream" and "endstream", decrypted and
// decoded through the stream's own dictionary, and the objects stored inside
// object streams.
#include <algorithm>

#include "quillmark/framework/work_budget.h"
#include "quillmark/pdf/pdf_object_store.h"
#include "quillmark/pdf/pdf_stream_data.h"

namespace quillmark {

namespace {

// A name value as the decoders take filter names: lower case, with "/".
std::string LowerName(const PdfObject& v) { return "/" + PdfLower(v.text); }

}  // namespace

std::string TDTPDFObjectStore::DecodeStreamObject(std::string_view objectText, int32_t objNumber, PdfObject* dictOut) {
    size_t keyword = PdfStreamKeyword(objectText);
    if (keyword == std::string_view::npos) return {};
    // Lengths, filters and parameters may be indirect objects, which may sit
    // in object streams: the chain is bounded.
    TLookupLevel level(*this);
    if (!level.Entered()) return {};

    PdfObject dict = PdfParseObjectBody(objectText.substr(0, keyword));
    auto entry = [&](std::string_view key) {
        const PdfObject* v = dict.Get(key);
        return v ? Resolve(*v) : PdfObject();
    };
    PdfObject length = entry("Length");
    int64_t packed = length.kind == PdfObject::Number ? std::clamp<int64_t>(length.AsInt(0), 0, INT32_MAX) : 0;
    size_t start = 0, end = 0;
    if (!PdfStreamDataSpan(objectText, keyword, static_cast<int32_t>(packed), start, end) || end <= start) return {};
    std::string data(objectText.substr(start, end - start));

    // /Filter: a name or an array of names; /DecodeParms (or /DP): one
    // dictionary per filter, null for none.
    std::vector<TDTPDFFilterStep> steps;
    PdfObject filter = entry("Filter");
    if (filter.kind == PdfObject::Name) steps.push_back({LowerName(filter), {}, {}});
    if (filter.kind == PdfObject::Array) {
        for (const PdfObject& item : filter.items) {
            PdfObject name = Resolve(item);
            if (name.kind != PdfObject::Name || steps.size() >= 32) break;
            steps.push_back({LowerName(name), {}, {}});
        }
    }
    PdfObject decodeParms = dict.Get("DecodeParms") ? entry("DecodeParms") : entry("DP");
    auto setParms = [&](size_t k, const PdfObject& parms) {
        if (k >= steps.size()) return;
        steps[k].Parms = ParseDecodeParms(parms);
        const PdfObject* n = parms.Get("Name");
        if (n && n->kind == PdfObject::Name) steps[k].CryptName = n->text;
    };
    if (decodeParms.kind == PdfObject::Array) {
        for (size_t k = 0; k < decodeParms.items.size() && k < steps.size(); ++k)
            setParms(k, Resolve(decodeParms.items[k]));
    } else if (decodeParms.kind == PdfObject::Dictionary) {
        setParms(0, decodeParms);
    }
    if (objNumber > 0 && encryption_) {
        // A /Crypt filter names the crypt filter of this stream; it is
        // applied as the decryption.
        PdfObject type = entry("Type");
        data = DecryptStreamData(objNumber, type.kind == PdfObject::Name ? LowerName(type) : std::string(),
                                 PdfCryptFilterName(steps), std::move(data));
    }
    PdfApplyFilterSteps(data, steps);
    if (dictOut) *dictOut = std::move(dict);
    return data;
}

std::string TDTPDFObjectStore::GetDecodedStream(int32_t objNumber) {
    std::string body = GetBodyByRefNo(objNumber);
    if (body.empty()) return {};
    return DecodeStreamObject(body, objNumber);
}

const TDTPDFObjectStore::ObjectStreamCache& TDTPDFObjectStore::ObjectStream(int32_t streamNumber) {
    auto it = objectStreams_.find(streamNumber);
    if (it == objectStreams_.end()) {
        ObjectStreamCache cache;
        const TDTPDFXRef* holder = xrefs_.GetItem(streamNumber - startCrossRef_);
        // An object stream is always a plain object; one inside another
        // object stream would be a loop or a damaged list.
        if (holder && holder->Kind == xrkUnCompressed) {
            std::string body = GetBodyByRefNo(streamNumber);
            PdfObject dict;
            cache.data = DecodeStreamObject(body, streamNumber, &dict);
            auto number = [&](std::string_view key, int64_t def) {
                const PdfObject* v = dict.Get(key);
                return v && v->kind == PdfObject::Number && v->number >= 0 ? v->AsInt(def) : def;
            };
            int64_t n = number("N", 0);
            int64_t first = number("First", -1);
            if (first >= 0 && static_cast<uint64_t>(first) <= cache.data.size()) {
                cache.first = static_cast<size_t>(first);
                // Header: pairs of object number and offset from /First.
                std::string_view header = std::string_view(cache.data).substr(0, cache.first);
                size_t i = 0;
                while (static_cast<int64_t>(cache.entries.size()) < n) {
                    int64_t v[2];
                    bool ok = true;
                    for (int k = 0; k < 2 && ok; ++k) {
                        while (i < header.size() && PdfIsWhite(header[i])) ++i;
                        ok = PdfReadDigits(header, i, v[k]) && v[k] <= INT32_MAX;
                    }
                    if (!ok) break;
                    cache.entries.emplace_back(static_cast<int32_t>(v[0]), static_cast<size_t>(v[1]));
                }
                cache.byNumber.reserve(cache.entries.size());
                cache.sortedOffsets.reserve(cache.entries.size());
                for (size_t j = 0; j < cache.entries.size(); ++j) {
                    cache.byNumber.emplace(cache.entries[j].first, j);  // the first entry of a number wins
                    cache.sortedOffsets.push_back(std::min(cache.entries[j].second, cache.data.size() - cache.first));
                }
                std::sort(cache.sortedOffsets.begin(), cache.sortedOffsets.end());
                cache.sortedOffsets.erase(std::unique(cache.sortedOffsets.begin(), cache.sortedOffsets.end()),
                                          cache.sortedOffsets.end());
            }
        }
        it = objectStreams_.emplace(streamNumber, std::move(cache)).first;
    }
    return it->second;
}

std::string TDTPDFObjectStore::ObjectFromStream(int32_t streamNumber, int32_t index, int32_t objNumber) {
    const ObjectStreamCache& c = ObjectStream(streamNumber);
    size_t k = c.entries.size();
    if (index >= 0 && static_cast<size_t>(index) < c.entries.size() &&
        c.entries[static_cast<size_t>(index)].first == objNumber) {
        k = static_cast<size_t>(index);
    } else {
        auto found = c.byNumber.find(objNumber);
        if (found != c.byNumber.end()) k = found->second;
    }
    if (k >= c.entries.size()) return {};
    // An object runs to the next offset that is larger than its own, so
    // entries that share an offset (or point back) cannot each take the
    // whole rest of the stream.
    size_t own = std::min(c.entries[k].second, c.data.size() - c.first);
    size_t begin = c.first + own;
    size_t end = c.data.size();
    auto next = std::upper_bound(c.sortedOffsets.begin(), c.sortedOffsets.end(), own);
    if (next != c.sortedOffsets.end()) end = c.first + std::min(*next, c.data.size() - c.first);
    std::string_view bytes = std::string_view(c.data).substr(begin, end - begin);
    while (!bytes.empty() && PdfIsWhite(bytes.back())) bytes.remove_suffix(1);
    // Every copy handed out is work, however often the same entry is asked for.
    ChargeDecodedBytes(bytes.size(), "PDF object stream entries");
    std::string out = std::to_string(objNumber) + " 0 obj\n";
    out.append(bytes);
    out.append("\nendobj\n");
    return out;
}

}  // namespace quillmark
