// Recognises a document's format from its content (never its name) and
// creates the reader for it. Each reader adds itself here.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "quillmark/framework/base_document.h"

namespace quillmark {

enum class DocumentFormat {
    Unknown,
    PalmDoc,
    WordBinary,    // Word 2, 6/95, 97 and later .doc/.dot ("doc")
    CompoundFile,  // an OLE compound file of no more specific format
    Pdf,
    WordPerfect,   // WordPerfect 5.x and later ("wpd")
    Docx,          // a Word 2007 package (zip, or a compound file with a "Package" stream)
};

// Looks at the whole file's bytes (containers need more than a header).
DocumentFormat DetectFormat(std::string_view bytes);
// A short lower-case name ("palmdoc", "doc", "pdf" ...), "unknown" otherwise.
const char* FormatName(DocumentFormat format);
// A new reader for the format, or null for Unknown.
std::unique_ptr<TMSWBaseDocument> CreateReader(DocumentFormat format);

}  // namespace quillmark
