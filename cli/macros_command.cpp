// quillmark macros: the VBA source of each document's modules.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/options.h"
#include "cli/output.h"
#include "quillmark/extract.h"
#include "quillmark/format_registry.h"
#include "quillmark/framework/stream.h"
#include "quillmark/word/custom_word_file.h"
#include "quillmark/word/vba_project.h"

namespace quillmark::cli {

const char* const kMacrosUsage =
    "usage: quillmark macros [--password PW] FILE...\n"
    "Print the VBA macros of Word, Excel and PowerPoint documents (.doc, .docm,\n"
    ".xls, .xlsm, .ppt, .pptm) as UTF-8: for each module a banner with its name,\n"
    "then its source. A document without macros prints nothing.\n"
    "FILE '-' is standard input.\n";

namespace {

// Word documents go through their reader; workbooks and presentations (which
// have no text reader) are searched for their project directly.
std::string ListMacros(const std::string& bytes, const std::string& password) {
    auto reader = CreateReader(DetectFormat(bytes));
    if (auto* word = dynamic_cast<TCustomWordFile*>(reader.get())) {
        word->SetParseItems({wpiVBA});
        word->SetPassword(password);
        word->LoadFromBytes(bytes);
        return ListToUtf8(word->MacroText(), false);
    }
    TWideStrings listing;
    TVBAProject project;
    if (ReadDocumentVBAProject(bytes, project)) AppendMacroListing(project.Items, project.CodePage, listing);
    return ListToUtf8(listing, false);
}

}  // namespace

int RunMacros(const Args& args) {
    std::string password;
    ParsedArgs parsed = ParseArgs(args, {{"password", 0, true}}, "macros", kMacrosUsage,
                                  [&](const std::string&, const std::string& v) {
                                      password = v;
                                      return std::string();
                                  });
    if (parsed.exitStatus >= 0) return parsed.exitStatus;
    if (parsed.files.empty()) return UsageError("macros", kMacrosUsage, "no input files");
    const bool headers = parsed.files.size() > 1;
    int status = kExitOk;
    bool first = true;
    for (const std::string& file : parsed.files) {
        try {
            std::string listing = ListMacros(ReadInputBytes(file, kDefaultMaxInputBytes), password);
            if (headers) WriteOut(std::string(first ? "" : "\n") + "==> " + file + " <==\n");
            first = false;
            WriteOut(listing);
        } catch (const std::exception& e) {
            status = WorseStatus(status, ReportFailure(file, e));
        }
    }
    if (!FinishOutput()) status = WorseStatus(status, kExitReadError);
    return status;
}

}  // namespace quillmark::cli
