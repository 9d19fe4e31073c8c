// Security handler hooks of TDTPDFReader. Without a handler the document is
// read as it stands: streams and strings are not transformed.
#include "quillmark/pdf/pdf_reader.h"

namespace quillmark {

void TDTPDFReader::ParseEncryption() {}

std::string TDTPDFReader::DecryptData(int32_t, int32_t, std::string data) { return data; }

}  // namespace quillmark
