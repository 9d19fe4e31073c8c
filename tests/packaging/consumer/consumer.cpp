// Prints the first line of a PDF's text: enough to show that the headers,
// the library and its zlib (the sample's streams are deflated) link.
#include <cstdio>
#include <exception>

#include "quillmark/quillmark.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    try {
        quillmark::TDTPDFReader reader;
        reader.LoadFromFile(argv[1]);
        const quillmark::TWideStrings& text = reader.Text();
        for (int i = 0; i < text.Count(); ++i) {
            // A list item may hold several lines (a PDF page is one item).
            std::string item = quillmark::Utf16ToUtf8(text[i]);
            std::string line = item.substr(0, item.find_first_of("\r\n"));
            if (!line.empty()) {
                std::printf("%s\n", line.c_str());
                return 0;
            }
        }
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "consumer: %s\n", e.what());
        return 1;
    }
}
