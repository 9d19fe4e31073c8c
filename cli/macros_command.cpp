// quillmark macros: the VBA source of each document's modules.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "quillmark/quillmark.h"

namespace quillmark::cli {

namespace {

// Word documents go through their reader; workbooks and presentations (which
// have no text reader) are searched for their project directly.
std::u16string ListMacros(const std::string& file) {
    std::string bytes = ReadFileBytes(file);
    auto reader = CreateReader(DetectFormat(bytes));
    if (auto* word = dynamic_cast<TCustomWordFile*>(reader.get())) {
        word->SetParseItems({wpiVBA});
        word->LoadFromFile(file);
        return word->MacroText().Text();
    }
    TWideStrings listing;
    TVBAProject project;
    if (ReadDocumentVBAProject(bytes, project))
        AppendMacroListing(project.Items, project.CodePage, listing);
    return listing.Text();
}

}  // namespace

int RunMacros(const Args& args) {
    Args files;
    for (const std::string& a : args) {
        if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "quillmark macros: unknown option '%s'\nusage: quillmark macros FILE...\n",
                         a.c_str());
            return 2;
        }
        files.push_back(a);
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: quillmark macros FILE...\n");
        return 2;
    }
    int status = 0;
    for (const std::string& file : files) {
        try {
            std::string s = ToUtf8Output(ListMacros(file), false);
            std::fwrite(s.data(), 1, s.size(), stdout);
        } catch (const std::exception& e) {
            std::fflush(stdout);
            ReportError(file, e.what());
            status = 1;
        }
    }
    return status;
}

}  // namespace quillmark::cli
