// Stream objects: the /Filter and /Length entries, the stream data between
// "stream" and "endstream", its decryption and decoding, and the objects
// stored inside object streams.
#include <algorithm>

#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "quillmark/framework/work_budget.h"
#include "quillmark/pdf/pdf_filters.h"
#include "quillmark/pdf/pdf_reader.h"

namespace quillmark {

namespace {

// The "stream" keyword that starts the data: the first one followed by a
// line end (or white space, which broken writers use). npos when none.
size_t FindStreamKeyword(std::string_view lower) {
    size_t p = 0;
    while ((p = lower.find("stream", p)) != std::string_view::npos) {
        bool endWord = p >= 3 && lower.substr(p - 3, 3) == "end";
        size_t a = p + 6;
        if (!endWord && (a >= lower.size() || PdfIsWhite(lower[a]))) return p;
        p += 6;
    }
    return p;
}

// The dictionary part of an object text (before "stream"), lower-cased.
std::string DictionaryPart(std::string_view objectText) {
    // Lower-case in chunks so a long binary stream is not copied just to
    // find its keyword.
    std::string lower = PdfLower(objectText.substr(0, std::min<size_t>(objectText.size(), 65536)));
    size_t p = FindStreamKeyword(lower);
    if (p == std::string::npos && objectText.size() > lower.size()) {
        lower = PdfLower(objectText);
        p = FindStreamKeyword(lower);
    }
    if (p != std::string::npos) lower.resize(p);
    return lower;
}

// Names in a /Filter value: "/a" or "[/a /b]". Lower case, with "/".
std::vector<std::string> FilterNames(std::string_view lowerDict) {
    std::vector<std::string> names;
    size_t p = PdfFindEntryKey(lowerDict, "/filter");
    if (p == std::string_view::npos) return names;
    size_t i = p + 7;
    while (i < lowerDict.size() && PdfIsWhite(lowerDict[i])) ++i;
    bool array = i < lowerDict.size() && lowerDict[i] == '[';
    if (array) ++i;
    while (i < lowerDict.size()) {
        while (i < lowerDict.size() && PdfIsWhite(lowerDict[i])) ++i;
        if (i >= lowerDict.size() || lowerDict[i] != '/') break;
        size_t s = i++;
        while (i < lowerDict.size() && !PdfIsWhite(lowerDict[i]) &&
               std::string_view("/[]<>()").find(lowerDict[i]) == std::string_view::npos)
            ++i;
        names.emplace_back(lowerDict.substr(s, i - s));
        if (!array || names.size() >= 32) break;
    }
    return names;
}

// The dictionaries of /DecodeParms: one per filter ("null" or missing
// entries give empty text). Indirect entries are not followed.
std::vector<std::string> DecodeParmsList(std::string_view lowerDict) {
    std::vector<std::string> list;
    size_t keyLen = 12;
    size_t p = PdfFindEntryKey(lowerDict, "/decodeparms");
    if (p == std::string_view::npos) p = PdfFindEntryKey(lowerDict, "/dp"), keyLen = 3;
    if (p == std::string_view::npos) return list;
    size_t i = p + keyLen;
    while (i < lowerDict.size() && PdfIsWhite(lowerDict[i])) ++i;
    bool array = i < lowerDict.size() && lowerDict[i] == '[';
    if (array) ++i;
    while (i < lowerDict.size() && list.size() < 32) {
        while (i < lowerDict.size() && PdfIsWhite(lowerDict[i])) ++i;
        if (lowerDict.substr(i, 4) == "null") {
            list.emplace_back();
            i += 4;
        } else if (lowerDict.substr(i, 2) == "<<") {
            int depth = 0;
            size_t s = i;
            for (; i + 1 < lowerDict.size(); ++i) {
                if (lowerDict[i] == '<' && lowerDict[i + 1] == '<') ++depth, ++i;
                else if (lowerDict[i] == '>' && lowerDict[i + 1] == '>') {
                    ++i;
                    if (--depth == 0) break;
                }
            }
            ++i;
            list.emplace_back(lowerDict.substr(s, std::min(i, lowerDict.size()) - s));
        } else {
            break;
        }
        if (!array) break;
    }
    return list;
}

// The stream keyword of an object text: found in the text as it is, and
// only when written in another case in a lower-cased copy. npos when none.
size_t StreamKeyword(std::string_view objectText) {
    size_t p = FindStreamKeyword(objectText);
    if (p != std::string_view::npos) return p;
    return FindStreamKeyword(PdfLower(objectText));
}

// The stream's data within the object text, from after the keyword's line
// end: with a correct /Length it ends exactly there; otherwise at
// "endstream" (or, when that is missing, "endobj"), without the line end
// before it. False when it has no end.
bool StreamDataSpan(std::string_view objectText, size_t keyword, int32_t packedSize, size_t& start, size_t& end) {
    start = keyword + 6;
    if (start < objectText.size() && objectText[start] == '\r') ++start;
    if (start < objectText.size() && objectText[start] == '\n') ++start;
    start = std::min(start, objectText.size());
    end = std::string_view::npos;
    if (packedSize > 0 && static_cast<size_t>(packedSize) <= objectText.size() - start) {
        size_t q = start + static_cast<size_t>(packedSize);
        while (q < objectText.size() && PdfIsWhite(objectText[q])) ++q;
        if (PdfLower(objectText.substr(q, 9)) == "endstream") end = start + static_cast<size_t>(packedSize);
    }
    if (end != std::string_view::npos) return true;
    size_t e = objectText.find("endstream", start);
    if (e == std::string_view::npos) {
        std::string lowerRest = PdfLower(objectText.substr(start));
        size_t le = lowerRest.find("endstream");
        if (le != std::string::npos) {
            e = start + le;
        } else {
            // No "endstream" at all (a damaged keyword): the data runs to
            // the object's "endobj", as far as the object goes.
            e = objectText.find("endobj", start);
            if (e == std::string_view::npos) return false;
        }
    }
    // The length did not lead to "endstream", so it is not trusted: the
    // line end before the keyword belongs to the keyword.
    end = e;
    if (end > start && objectText[end - 1] == '\n') --end;
    if (end > start && objectText[end - 1] == '\r') --end;
    return true;
}

// A name value as the decoders take filter names: lower case, with "/".
std::string LowerName(const PdfObject& v) { return "/" + PdfLower(v.text); }

}  // namespace

std::string TDTPDFReader::DecodeStreamObject(std::string_view objectText, int32_t objNumber, PdfObject* dictOut) {
    size_t keyword = StreamKeyword(objectText);
    if (keyword == std::string_view::npos) return {};
    // Lengths, filters and parameters may be indirect objects, which may sit
    // in object streams: the chain is bounded.
    TLookupLevel level(depth_);
    if (!level.Entered()) return {};

    PdfObject dict = PdfParseObjectBody(objectText.substr(0, keyword));
    auto entry = [&](std::string_view key) {
        const PdfObject* v = dict.Get(key);
        return v ? Resolve(*v) : PdfObject();
    };
    PdfObject length = entry("Length");
    int64_t packed = length.kind == PdfObject::Number ? std::clamp<int64_t>(length.AsInt(0), 0, INT32_MAX) : 0;
    size_t start = 0, end = 0;
    if (!StreamDataSpan(objectText, keyword, static_cast<int32_t>(packed), start, end) || end <= start) return {};
    std::string data(objectText.substr(start, end - start));

    // /Filter: a name or an array of names; /DecodeParms (or /DP): one
    // dictionary per filter, null for none.
    std::vector<std::string> names;
    PdfObject filter = entry("Filter");
    if (filter.kind == PdfObject::Name) names.push_back(LowerName(filter));
    if (filter.kind == PdfObject::Array) {
        for (const PdfObject& item : filter.items) {
            PdfObject name = Resolve(item);
            if (name.kind != PdfObject::Name || names.size() >= 32) break;
            names.push_back(LowerName(name));
        }
    }
    std::vector<PdfObject> parms;
    PdfObject decodeParms = dict.Get("DecodeParms") ? entry("DecodeParms") : entry("DP");
    if (decodeParms.kind == PdfObject::Array) {
        for (const PdfObject& item : decodeParms.items) {
            if (parms.size() >= 32) break;
            parms.push_back(Resolve(item));
        }
    } else if (decodeParms.kind == PdfObject::Dictionary) {
        parms.push_back(std::move(decodeParms));
    }
    if (objNumber > 0 && Encryption) {
        // A /Crypt filter names the crypt filter of this stream (Identity
        // when its parameters name none); it is applied as the decryption.
        std::string crypt;
        for (size_t k = 0; k < names.size(); ++k)
            if (names[k] == "/crypt") {
                const PdfObject* n = k < parms.size() ? parms[k].Get("Name") : nullptr;
                crypt = n && n->kind == PdfObject::Name && !n->text.empty() ? n->text : "Identity";
                break;
            }
        PdfObject type = entry("Type");
        data = DecryptStreamData(objNumber, type.kind == PdfObject::Name ? LowerName(type) : std::string(), crypt,
                                 std::move(data));
    }
    for (size_t k = 0; k < names.size(); ++k) {
        if (names[k] == "/crypt") continue;
        TDTPDFDecodeParms p = k < parms.size() ? ParseDecodeParms(parms[k]) : TDTPDFDecodeParms();
        bool known = true;
        std::string decoded = PdfApplyFilter(names[k], data, p, &known);
        data.swap(decoded);
        if (!known) break;  // an image codec or unknown filter: keep its input as it is
    }
    if (dictOut) *dictOut = std::move(dict);
    return data;
}

int32_t TDTPDFReader::GetLengthValue(std::string_view objectText, std::string_view key) {
    std::string lower = DictionaryPart(objectText);
    size_t p = PdfFindEntryKey(lower, key);
    if (p == std::string::npos) return 0;
    size_t i = p + key.size();
    while (i < lower.size() && PdfIsWhite(lower[i])) ++i;
    size_t start = i;
    while (i < lower.size() && lower[i] >= '0' && lower[i] <= '9') ++i;
    int64_t value = PdfToInt(std::string_view(lower).substr(start, i - start), 0);
    // An indirect value: "N G R".
    size_t refPos = start;
    int32_t ref = 0;
    std::string_view rest = std::string_view(lower).substr(start, 32);
    size_t slash = rest.find('/');
    if (PdfNextReference(rest, refPos = 0, ref) && (slash == std::string_view::npos || refPos <= slash)) {
        std::optional<std::string> nested = NestedBody(ref);
        if (!nested) return 0;
        std::string v = GetRefBody(PdfLower(*nested), "obj", false);
        size_t e = 0;
        while (e < v.size() && v[e] >= '0' && v[e] <= '9') ++e;
        value = PdfToInt(std::string_view(v).substr(0, e), 0);
    }
    if (value < 0) value = 0;
    if (value > INT32_MAX) value = INT32_MAX;
    return static_cast<int32_t>(value);
}

std::string TDTPDFReader::ResolveDictionaryEntry(std::string_view lowerDict, std::string_view key) {
    size_t p = PdfFindEntryKey(lowerDict, key);
    if (p == std::string_view::npos) return std::string(lowerDict);
    size_t i = p + key.size();
    while (i < lowerDict.size() && PdfIsWhite(lowerDict[i])) ++i;
    size_t pos = i;
    int32_t ref = 0;
    if (i >= lowerDict.size() || lowerDict[i] < '0' || lowerDict[i] > '9' ||
        !PdfNextReference(lowerDict, pos, ref))
        return std::string(lowerDict);
    // Only a reference that is the whole value: "3 0 r" right after the key.
    std::string_view between = lowerDict.substr(i, pos - i);
    if (between.find_first_not_of("0123456789 \t\r\n\fr") != std::string_view::npos) return std::string(lowerDict);
    std::optional<std::string> nested = NestedBody(ref);
    if (!nested) return std::string(lowerDict);
    std::string value = GetRefBody(PdfLower(*nested), "obj", false);
    if (value.size() >= 6 && value.compare(value.size() - 6, 6, "endobj") == 0) value.resize(value.size() - 6);
    return std::string(lowerDict.substr(0, i)) + value + " " + std::string(lowerDict.substr(pos));
}

TDTPDFFilterContent TDTPDFReader::GetFilterContent(std::string_view objectText) {
    TDTPDFFilterContent fc;
    std::string dict = ResolveDictionaryEntry(DictionaryPart(objectText), "/filter");
    fc.Filters = FilterNames(dict);
    if (!fc.Filters.empty()) fc.Filter = fc.Filters.front();
    fc.Length = GetLengthValue(objectText, "/length");
    fc.Length1 = GetLengthValue(objectText, "/length1");
    return fc;
}

std::string TDTPDFReader::GetStreamContent(std::string_view filter, std::string_view objectText,
                                           int32_t packedSize, int32_t& sizeHint,
                                           int32_t objNumber) {
    std::string dict = DictionaryPart(objectText);
    size_t kw = dict.size();
    if (kw >= objectText.size() || PdfLower(objectText.substr(kw, 6)) != "stream") {
        sizeHint = 0;
        return {};
    }
    size_t start = 0, end = 0;
    if (!StreamDataSpan(objectText, kw, packedSize, start, end)) {
        sizeHint = 0;
        return {};
    }
    std::string data(objectText.substr(start, end - start));
    if (data.empty()) {
        sizeHint = 0;
        return {};
    }

    dict = ResolveDictionaryEntry(ResolveDictionaryEntry(dict, "/filter"), "/decodeparms");
    std::vector<std::string> names = FilterNames(dict);
    if (names.empty() && !filter.empty()) names.emplace_back(PdfLower(filter));
    std::vector<std::string> parms = DecodeParmsList(dict);
    if (objNumber > 0 && Encryption) {
        // A /Crypt filter names the crypt filter of this stream (Identity
        // when its parameters name none); it is applied as the decryption.
        std::string crypt;
        for (size_t k = 0; k < names.size(); ++k)
            if (names[k] == "/crypt") {
                crypt = k < parms.size() ? PdfValue(parms[k], "/name") : std::string();
                crypt = crypt.size() > 1 && crypt[0] == '/' ? crypt.substr(1) : "Identity";
                break;
            }
        data = DecryptStreamData(objNumber, PdfEntryValue(dict, "/type"), crypt, std::move(data));
    }
    for (size_t k = 0; k < names.size(); ++k) {
        if (names[k] == "/crypt") continue;
        TDTPDFDecodeParms p = ParseDecodeParms(k < parms.size() ? std::string_view(parms[k]) : "");
        bool known = true;
        std::string decoded = PdfApplyFilter(names[k], data, p, &known);
        data.swap(decoded);
        if (!known) break;  // an image codec or unknown filter: keep its input as it is
    }
    sizeHint = static_cast<int32_t>(std::min<size_t>(data.size(), INT32_MAX));
    return data;
}

std::string TDTPDFReader::GetDecodedStream(int32_t objNumber) {
    std::string body = GetBodyByRefNo(objNumber);
    if (body.empty()) return {};
    return DecodeStreamObject(body, objNumber);
}

std::string TDTPDFReader::ObjectFromStream(int32_t streamNumber, int32_t index, int32_t objNumber) {
    auto it = objectStreams_.find(streamNumber);
    if (it == objectStreams_.end()) {
        ObjectStreamCache cache;
        const TDTPDFXRef* holder = FXRefs.GetItem(streamNumber - StartCrossRef);
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
                        size_t s = i;
                        while (i < header.size() && header[i] >= '0' && header[i] <= '9') ++i;
                        ok = i > s && PdfTryToInt(header.substr(s, i - s), v[k]) && v[k] <= INT32_MAX;
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
    const ObjectStreamCache& c = it->second;
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
