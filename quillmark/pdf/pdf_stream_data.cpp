#include "quillmark/pdf/pdf_stream_data.h"

#include <algorithm>

#include "quillmark/pdf/pdf_objects.h"

namespace quillmark {

size_t PdfFindStreamKeyword(std::string_view text) {
    size_t p = 0;
    while ((p = text.find("stream", p)) != std::string_view::npos) {
        bool endWord = p >= 3 && text.substr(p - 3, 3) == "end";
        size_t a = p + 6;
        if (!endWord && (a >= text.size() || PdfIsWhite(text[a]))) return p;
        p += 6;
    }
    return p;
}

size_t PdfStreamKeyword(std::string_view objectText) {
    size_t p = PdfFindStreamKeyword(objectText);
    if (p != std::string_view::npos) return p;
    return PdfFindStreamKeyword(PdfLower(objectText));
}

bool PdfStreamDataSpan(std::string_view objectText, size_t keyword, int32_t packedSize, size_t& start, size_t& end) {
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

std::string PdfCryptFilterName(const std::vector<TDTPDFFilterStep>& steps) {
    for (const TDTPDFFilterStep& step : steps)
        if (step.Name == "/crypt") return step.CryptName.empty() ? "Identity" : step.CryptName;
    return {};
}

void PdfApplyFilterSteps(std::string& data, const std::vector<TDTPDFFilterStep>& steps) {
    for (const TDTPDFFilterStep& step : steps) {
        if (step.Name == "/crypt") continue;
        bool known = true;
        std::string decoded = PdfApplyFilter(step.Name, data, step.Parms, &known);
        data.swap(decoded);
        if (!known) break;
    }
}

}  // namespace quillmark
