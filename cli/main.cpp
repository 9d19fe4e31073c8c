// quillmark: extract text and metadata from documents.
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/commands.h"
#include "cli/huge_pages.h"

namespace {

struct Command {
    const char* name;
    int (*run)(const quillmark::cli::Args&);
    const char* const* usage;
    const char* summary;
};

const Command kCommands[] = {
    {"batch", quillmark::cli::RunBatch, &quillmark::cli::kBatchUsage, "extract many documents in parallel into JSON lines"},
    {"extract", quillmark::cli::RunExtract, &quillmark::cli::kExtractUsage, "print the text of documents"},
    {"info", quillmark::cli::RunInfo, &quillmark::cli::kInfoUsage, "print the metadata of documents as JSON lines"},
    {"ls", quillmark::cli::RunLs, &quillmark::cli::kLsUsage, "list the streams of a compound file or the members of a zip"},
    {"macros", quillmark::cli::RunMacros, &quillmark::cli::kMacrosUsage, "print the VBA macro source of documents"},
    {"pdf-objects", quillmark::cli::RunPdfObjects, &quillmark::cli::kPdfObjectsUsage, "list a PDF's cross-reference entries"},
};

void PrintUsage(std::FILE* to) {
    std::fputs("usage: quillmark COMMAND [OPTIONS] FILE...\n"
               "       quillmark help COMMAND | --help | --version\n\nCommands:\n", to);
    for (const auto& c : kCommands) std::fprintf(to, "  %-12s %s\n", c.name, c.summary);
    std::fputs("\nThe format of each file is detected from its content; FILE '-' is standard\n"
               "input. 'quillmark help COMMAND' or 'quillmark COMMAND --help' shows the\n"
               "command's options. A file that cannot be read is reported as\n"
               "'quillmark: FILE: MESSAGE' on stderr and the others are still processed.\n"
               "Exit status: 0 ok, 1 a file could not be read or written, 2 bad usage,\n"
               "3 a password is needed or wrong.\n", to);
}

const Command* FindCommand(const std::string& name) {
    for (const auto& c : kCommands)
        if (name == c.name) return &c;
    return nullptr;
}

}  // namespace

namespace quillmark::cli {
void ReportError(const std::string& file, const std::string& message) {
    std::fprintf(stderr, "quillmark: %s: %s\n", file.c_str(), message.c_str());
}
}  // namespace quillmark::cli

int main(int argc, char** argv) {
    // A document's text passes through a few whole-text buffers and, for
    // the XML formats, a tree of small nodes: page faults were most of the
    // time of a large document.
    quillmark::cli::UseHugePages();
    if (argc < 2) {
        PrintUsage(stderr);
        return 2;
    }
    std::string name = argv[1];
    if (name == "--help" || name == "-h") {
        PrintUsage(stdout);
        return 0;
    }
    if (name == "--version" || name == "-V") {
        std::printf("quillmark %s\n", QUILLMARK_VERSION);
        return 0;
    }
    if (name == "help") {
        if (argc < 3) {
            PrintUsage(stdout);
            return 0;
        }
        const Command* c = FindCommand(argv[2]);
        if (!c) {
            std::fprintf(stderr, "quillmark: unknown command '%s'\n", argv[2]);
            return 2;
        }
        std::fputs(*c->usage, stdout);
        return 0;
    }
    const Command* c = FindCommand(name);
    if (!c) {
        std::fprintf(stderr, "quillmark: unknown command '%s'\n\n", name.c_str());
        PrintUsage(stderr);
        return 2;
    }
    return c->run(quillmark::cli::Args(argv + 2, argv + argc));
}
