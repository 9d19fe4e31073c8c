// The text-level lookups the reader exports for callers that hold an
// object's text: a key's value is found in a lower-cased copy (first match
// wins), dictionaries are cut out with bracket counters, and stream data is
// decoded by the filters the text names. The reader's own work goes through
// the object parser instead (pdf_object_store_streams.cpp).
#include <algorithm>

#include "quillmark/pdf/pdf_filters.h"
#include "quillmark/pdf/pdf_reader.h"
#include "quillmark/pdf/pdf_stream_data.h"

namespace quillmark {

namespace {


// The dictionary part of an object text (before "stream"), lower-cased.
std::string DictionaryPart(std::string_view objectText) {
    // Lower-case in chunks so a long binary stream is not copied just to
    // find its keyword.
    std::string lower = PdfLower(objectText.substr(0, std::min<size_t>(objectText.size(), 65536)));
    size_t p = PdfFindStreamKeyword(lower);
    if (p == std::string::npos && objectText.size() > lower.size()) {
        lower = PdfLower(objectText);
        p = PdfFindStreamKeyword(lower);
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

}  // namespace

int32_t TDTPDFReader::GetLengthValue(std::string_view objectText, std::string_view key) {
    std::string lower = DictionaryPart(objectText);
    size_t p = PdfFindEntryKey(lower, key);
    if (p == std::string::npos) return 0;
    size_t i = p + key.size();
    while (i < lower.size() && PdfIsWhite(lower[i])) ++i;
    size_t start = i;
    int64_t value = 0;
    PdfReadDigits(lower, i, value);
    // An indirect value: "N G R".
    size_t refPos = start;
    int32_t ref = 0;
    std::string_view rest = std::string_view(lower).substr(start, 32);
    size_t slash = rest.find('/');
    if (PdfNextReference(rest, refPos = 0, ref) && (slash == std::string_view::npos || refPos <= slash)) {
        std::optional<std::string> nested = store_.NestedBody(ref);
        if (!nested) return 0;
        std::string v = GetRefBody(PdfLower(*nested), "obj", false);
        size_t e = 0;
        value = 0;
        PdfReadDigits(v, e, value);
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
    std::optional<std::string> nested = store_.NestedBody(ref);
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
    if (!PdfStreamDataSpan(objectText, kw, packedSize, start, end)) {
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
    std::vector<TDTPDFFilterStep> steps;
    for (size_t k = 0; k < names.size(); ++k) {
        TDTPDFFilterStep step{names[k], ParseDecodeParms(k < parms.size() ? std::string_view(parms[k]) : ""), {}};
        std::string name = k < parms.size() ? PdfValue(parms[k], "/name") : std::string();
        if (name.size() > 1 && name[0] == '/') step.CryptName = name.substr(1);
        steps.push_back(std::move(step));
    }
    if (objNumber > 0 && store_.Encryption())
        data = store_.DecryptStreamData(objNumber, PdfEntryValue(dict, "/type"), PdfCryptFilterName(steps),
                                        std::move(data));
    PdfApplyFilterSteps(data, steps);
    sizeHint = static_cast<int32_t>(std::min<size_t>(data.size(), INT32_MAX));
    return data;
}

std::string TDTPDFReader::GetDoubleBracketValue(std::string_view key, std::string_view text) {
    size_t p = PdfFindKey(text, key);
    if (p == std::string_view::npos) return {};
    size_t i = p + key.size();
    while (i < text.size() && PdfIsWhite(text[i])) ++i;
    if (text.substr(i, 2) == "<<") return std::string(PdfTrim(BalancedDictionary(text, i)));
    // Not an inline dictionary: the key names the object that holds it.
    int32_t ref = 0;
    size_t pos = i;
    if (!PdfNextReference(text, pos, ref)) return {};
    std::optional<std::string> nested = store_.NestedBody(ref);
    if (!nested) return {};
    std::string body = PdfLower(*nested);
    size_t open = body.find("<<");
    if (open == std::string::npos) return {};
    return std::string(PdfTrim(BalancedDictionary(body, open)));
}

}  // namespace quillmark
