// PDF stream filters: the decoders that turn the bytes between "stream" and
// "endstream" into the stream's content. Each works on bytes and never fails
// on bad data beyond what is said; every output is capped by limit (the
// library-wide MaxOutputBytes() when 0).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "quillmark/pdf/pdf_syntax.h"

namespace quillmark {

// Decode parameters of one filter (/DecodeParms), with PDF's defaults.
struct TDTPDFDecodeParms {
    int32_t Predictor = 1;
    int32_t Colors = 1;
    int32_t BitsPerComponent = 8;
    int32_t Columns = 1;
    int32_t EarlyChange = 1;
};

// Reads the parameters from a "<< ... >>" text (any case).
TDTPDFDecodeParms ParseDecodeParms(std::string_view dictText);
// Reads them from a parsed dictionary (entries missing or not numbers keep
// their defaults).
TDTPDFDecodeParms ParseDecodeParms(const PdfObject& dict);

// zlib inflate; stops at limit bytes. A damaged stream keeps what was
// inflated before the damage (empty when nothing could be).
std::string PdfFlateDecode(std::string_view data, size_t limit = 0);
// PNG (10..15) and TIFF (2) predictors; other values return data unchanged.
std::string PdfApplyPredictor(std::string_view data, const TDTPDFDecodeParms& parms);
std::string PdfASCIIHexDecode(std::string_view data);
std::string PdfASCII85Decode(std::string_view data);
std::string PdfRunLengthDecode(std::string_view data, size_t limit = 0);
// LZW (TIFF bit order); earlyChange 0 selects the late code width change.
std::string PdfLZWDecode(std::string_view data, int32_t earlyChange, size_t limit = 0);

// Applies one named filter (a name such as "/flatedecode", "/fl", any case)
// with its parameters, including the predictor pass for Flate and LZW.
// Unknown names leave the data unchanged; known=false then.
std::string PdfApplyFilter(std::string_view name, std::string_view data,
                           const TDTPDFDecodeParms& parms, bool* known = nullptr);

}  // namespace quillmark
