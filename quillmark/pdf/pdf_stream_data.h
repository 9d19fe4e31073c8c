// The data of a stream object: where it starts and ends within the object's
// text, and the chain of filters (with a /Crypt step among them) that turns
// it into the stream's content. Shared by the reader's own stream decoding
// and by the text-level stream functions it exports.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "quillmark/pdf/pdf_filters.h"

namespace quillmark {

// One filter of a stream's /Filter with its /DecodeParms.
struct TDTPDFFilterStep {
    std::string Name;          // lower case with "/": "/flatedecode", "/crypt"
    TDTPDFDecodeParms Parms;
    std::string CryptName;     // a /Crypt step's /Name ("" when it names none)
};

// The first "stream" keyword of text that starts a stream's data: not part
// of "endstream" and followed by a line end (or white space, which broken
// writers use). npos when none.
size_t PdfFindStreamKeyword(std::string_view text);
// The same for an object's text as it is, and only when the keyword is
// written in another case, in a lower-cased copy.
size_t PdfStreamKeyword(std::string_view objectText);

// The stream's data within the object text, from after the keyword's line
// end: with a correct packedSize (/Length) it ends exactly there; otherwise
// at "endstream" (or, when that is missing, the object's "endobj"), without
// the line end before it. False when it has no end.
bool PdfStreamDataSpan(std::string_view objectText, size_t keyword, int32_t packedSize, size_t& start, size_t& end);

// The crypt filter a /Crypt step names ("Identity" when its parameters name
// none); "" when no step is a /Crypt filter.
std::string PdfCryptFilterName(const std::vector<TDTPDFFilterStep>& steps);

// Runs data through every step but /Crypt (that one is the decryption, done
// before). An image codec or unknown filter ends the chain and keeps its
// input as it is.
void PdfApplyFilterSteps(std::string& data, const std::vector<TDTPDFFilterStep>& steps);

}  // namespace quillmark
