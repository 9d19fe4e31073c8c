// Metadata of any supported document: the detected format and the summary
// record its reader fills (see the format registry).
#pragma once

#include <string>
#include <string_view>

#include "quillmark/format_registry.h"
#include "quillmark/framework/summary_information.h"

namespace quillmark {

struct TDocumentInfo {
    const TFormatEntry* Format = nullptr;
    std::string FormatName = "unknown";
    TDTWordSummaryInformation Summary;
};

// Throws EUnsupportedFormat for content no format claims, and the reader's
// exception when the document cannot be read; a format that carries no
// metadata gives an empty record. password opens encrypted documents.
TDocumentInfo ReadDocumentInfo(std::string_view bytes, const std::string& password = "");

}  // namespace quillmark
