// The format registry: one entry per document format, each with a content
// test, a factory for its reader and (optionally) a metadata reader. The
// command line, the simple Extract API and ReadDocumentInfo all go through
// it, so a new format is one entry (see format_table.cpp) plus its reader.
//
// Detection looks only at what it needs: magic bytes, a zip's central
// directory names, a compound file's root entry names. It never inflates or
// decodes content, and the containers are parsed at most once per input
// whichever entries ask about them.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "quillmark/detection_input.h"
#include "quillmark/framework/base_document.h"
#include "quillmark/framework/summary_information.h"

namespace quillmark {

struct TFormatEntry {
    std::string Name;         // short name: "doc", "docx", "pdf" ...
    std::string Description;  // "Word binary document"
    std::function<bool(const TDetectionInput&)> Detect;
    // A new reader; empty for containers that have metadata but no text.
    std::function<std::unique_ptr<TMSWBaseDocument>()> Create;
    // Metadata. When empty, the reader is run with wpiSummaryInformation
    // alone and its SummaryInformation taken.
    std::function<void(const TDetectionInput&, const std::string& password, TDTWordSummaryInformation&)>
        ReadInfo;
    // Generic containers: tried after every other entry.
    bool Fallback = false;
};

// The built-in formats, in detection order (format_table.cpp).
std::vector<TFormatEntry> BuiltinFormats();

// Every format known, built-in ones first, each added one before the
// fallbacks. RegisterFormat adds (or, with the same Name, replaces) one.
const std::vector<TFormatEntry>& RegisteredFormats();
void RegisterFormat(TFormatEntry entry);
// Removes an added format (tests); false when there is none of that name.
bool UnregisterFormat(std::string_view name);
const TFormatEntry* FindFormat(std::string_view name);

// The first format whose test accepts the bytes, or null.
const TFormatEntry* DetectFormat(std::string_view bytes);
const TFormatEntry* DetectFormat(const TDetectionInput& input);
// The entry's name, "unknown" for null.
const char* FormatName(const TFormatEntry* format);
// A new reader for the format; null for unknown formats and containers.
std::unique_ptr<TMSWBaseDocument> CreateReader(const TFormatEntry* format);

}  // namespace quillmark
