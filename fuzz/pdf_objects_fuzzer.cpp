// Fuzzes the PDF object layer (file check, cross-reference walk, repair,
// object lookups, stream decoding) and the stream filters on their own.
#include <cstddef>
#include <cstdint>
#include <string>

#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "quillmark/framework/stream.h"
#include "quillmark/framework/work_budget.h"
#include "quillmark/pdf/pdf_filters.h"
#include "quillmark/pdf/pdf_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    quillmark::SetMaxOutputBytes(size_t{32} << 20);
    std::string bytes(reinterpret_cast<const char*>(data), size);
    try {
        // The work budget a load runs under, held over the lookups after it too.
        quillmark::TWorkBudgetScope budget(quillmark::TWorkLimits{}, size);
        quillmark::TDTPDFReader r;
        quillmark::TMemoryStream s(bytes);
        r.LoadFromStream(s);
        for (int32_t n = 0; n < r.XRefs().Count() && n < 300; ++n) {
            std::string body = r.GetBodyByRefNo(n);
            r.GetDecodedStream(n);
            r.GetDoubleBracketValue("/font", quillmark::PdfLower(body));
        }
    } catch (const quillmark::Exception&) {
    }
    // The first byte picks a filter and predictor for the rest.
    if (size >= 2) {
        static const char* kFilters[] = {"/FlateDecode", "/LZWDecode", "/ASCIIHexDecode", "/ASCII85Decode",
                                         "/RunLengthDecode"};
        quillmark::TDTPDFDecodeParms p;
        p.Predictor = (data[0] >> 3) % 2 ? 2 : 10 + (data[0] >> 4) % 6;
        p.Colors = 1 + (data[1] & 3);
        p.BitsPerComponent = 1 << ((data[1] >> 2) % 5);
        p.Columns = 1 + (data[1] >> 4);
        p.EarlyChange = data[0] & 1;
        try {
            quillmark::PdfApplyFilter(kFilters[data[0] % 5], bytes.substr(2), p);
        } catch (const quillmark::Exception&) {
        }
    }
    return 0;
}
