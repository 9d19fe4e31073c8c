// quillmark info: each document's metadata as one JSON object per line.
#include <cstdio>
#include <optional>
#include <string>

#include "cli/commands.h"
#include "cli/json.h"
#include "cli/options.h"
#include "cli/output.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "quillmark/document_info.h"
#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/stream.h"
#include "quillmark/word/vba_project.h"

namespace quillmark::cli {

const char* const kInfoUsage =
    "usage: quillmark info [--password PW] FILE...\n"
    "Print each document's metadata as one JSON object per line: file, format,\n"
    "Macros (whether it carries VBA macros), the summary properties (dates as\n"
    "local ISO 8601, null when unset) or error.\n"
    "FILE '-' is standard input.\n";

int RunInfo(const Args& args) {
    std::string password;
    ParsedArgs parsed = ParseArgs(args, {{"password", 0, true}}, "info", kInfoUsage,
                                  [&](const std::string&, const std::string& v) {
                                      password = v;
                                      return std::string();
                                  });
    if (parsed.exitStatus >= 0) return parsed.exitStatus;
    if (parsed.files.empty()) return UsageError("info", kInfoUsage, "no input files");
    int status = kExitOk;
    for (const std::string& file : parsed.files) {
        JsonObject j;
        j.Str("file", file);
        // Whether the document carries a VBA project; known also for
        // workbooks and presentations that no format here reads.
        std::optional<bool> macros;
        try {
            std::string bytes = ReadInputBytes(file, kDefaultMaxInputBytes);
            macros = HasVBAProject(bytes);
            TDocumentInfo info = ReadDocumentInfo(bytes, password);
            j.Str("format", info.FormatName);
            j.Bool("Macros", *macros);
            PutSummary(j, info.Summary);
        } catch (const EUnsupportedFormat& e) {
            j.Str("format", "unknown");
            // A workbook or presentation with macros still says so.
            if (macros.value_or(false)) j.Bool("Macros", true);
            j.Str("error", e.what());
            status = WorseStatus(status, kExitReadError);
        } catch (const std::exception& e) {
            j.Str("error", e.what());
            status = WorseStatus(status, ExitStatusFor(e));
        }
        WriteOut(j.Finish());
    }
    if (!FinishOutput()) status = WorseStatus(status, kExitReadError);
    return status;
}

}  // namespace quillmark::cli
