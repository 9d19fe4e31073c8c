// Prints the first line of a document's text through the simple API: enough
// to show that the headers, the library and its zlib (the sample PDF's
// streams are deflated) link and work outside the tree.
#include <cstdio>
#include <exception>

#include "quillmark/quillmark.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    try {
        quillmark::ExtractResult r = quillmark::Extract(argv[1]);
        std::string line = r.Text.substr(0, r.Text.find('\n'));
        if (r.FormatName != "pdf" || line.empty()) return 1;
        std::printf("%s\n", line.c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "consumer: %s\n", e.what());
        return 1;
    }
}
