// The simple API: one call from a file or bytes to text and metadata,
// whatever the format. The reader is chosen by the format registry from the
// content; the component classes remain for hosts that want their options
// and events.
//
//   quillmark::ExtractResult r = quillmark::Extract("report.doc");
//   std::cout << r.Text;
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "quillmark/document_info.h"
#include "quillmark/framework/base_document.h"
#include "quillmark/framework/limits.h"
#include "quillmark/framework/summary_information.h"

namespace quillmark {

struct ExtractOptions {
    TMSTextFormating Format = tfPlainText;  // tfPlainText, tfRTF or tfHTML
    int32_t MaxLength = 0;                  // characters of the list; 0: no limit
    std::string Password;                   // encrypted documents
    TDocumentPart Part = TDocumentPart::Main;
    bool Utf16 = false;    // also give the list's own UTF-16 text (CR LF line ends)
    bool Crlf = false;     // keep CR LF line ends in Text (default LF)
    bool Summary = true;   // read the metadata too
    uint64_t MaxInputBytes = kDefaultMaxInputBytes;
    // The bound on decoding and building work (scaled by the input's size);
    // past it the load ends with ELimitError.
    TWorkLimits WorkLimits;
    // Raised by the host (another thread, a signal handler) to stop the
    // reading early; the text read so far is returned. See
    // TMSWBaseDocument::SetCancelFlag.
    const std::atomic<bool>* Cancel = nullptr;
};

struct ExtractResult {
    std::string FormatName;   // the registry's short name: "doc", "pdf" ...
    // UTF-8, lines ending in LF (or CR LF with Crlf), without the empty
    // lines that plain-text frames leave at the start and the end. In HTML
    // the prologue declares UTF-8.
    std::string Text;
    std::u16string Text16;    // with Utf16: the list as the reader made it
    TDTWordSummaryInformation Summary;
};

// Reads the file ("-": standard input) once, detects its format and reads it.
// Throws EUnsupportedFormat when no format claims the content, or the
// reader's exception (EPasswordError, EDamagedDocument ...).
ExtractResult Extract(const std::filesystem::path& path, const ExtractOptions& options = {});
ExtractResult ExtractBytes(std::string_view bytes, const ExtractOptions& options = {});

// The text of a list as Extract gives it (UTF-8; see ExtractResult::Text).
std::string ListToUtf8(const TWideStrings& list, bool crlf);

}  // namespace quillmark
