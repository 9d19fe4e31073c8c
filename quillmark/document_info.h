// Metadata of any supported document: the detected format and the summary
// record its reader fills. Compound files (any OLE file: .doc, .xls, .ppt,
// .msi ...) give their property-set streams; readers of other formats add
// their case in document_info.cpp.
#pragma once

#include <string>

#include "quillmark/format_detection.h"
#include "quillmark/framework/summary_information.h"

namespace quillmark {

struct TDocumentInfo {
    DocumentFormat Format = DocumentFormat::Unknown;
    TDTWordSummaryInformation Summary;
};

// Throws quillmark::Exception when the file cannot be read; a format that
// carries no metadata gives an empty record.
// password opens encrypted documents of formats that have one (PDF).
TDocumentInfo ReadDocumentInfo(const std::string& bytes, const std::string& password = "");

}  // namespace quillmark
