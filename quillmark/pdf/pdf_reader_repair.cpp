// Rebuilding the object list of a damaged file by scanning for objects.
#include "quillmark/pdf/pdf_reader.h"

namespace quillmark {

bool TDTPDFReader::RepairXRefs() { return false; }

}  // namespace quillmark
