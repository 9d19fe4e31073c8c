// TFictionBook: FictionBook 2 e-books, a single XML file (.fb2) or a zip
// holding one (.fb2.zip). The description gives the metadata; the first
// body is the book, and the bodies after it (notes, comments) follow it,
// one line per note.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "quillmark/framework/base_document.h"
#include "quillmark/package/xml_item.h"

namespace quillmark {

inline constexpr const char* strNotFictionBook = "The document has no FictionBook element.";
inline constexpr const char* strNotFictionBookZip = "The zip archive holds no single FictionBook (.fb2) file.";

class TFictionBook : public TMSWBaseDocument {
public:
    void ClearInternalLists() override;
    void LoadFromStream(TStream& stream) override;
    void LoadFromFile(const std::string& fileName) override;

    // Parses a book's bytes (a zipped book already taken out of its zip)
    // and adds its text to target, its metadata to SummaryInformation.
    void LoadXMLFilePart(TStream* aStream, TWideStrings& target);

    // XML whose first element (after a byte-order mark, the declaration,
    // comments and a document type) is FictionBook, with or without a prefix.
    static bool IsFictionBookData(std::string_view bytes);
    // A zipped book: the zip's members (central directory names) are one
    // .fb2 file, beside folder entries at most.
    static bool IsFictionBookZip(const std::vector<std::string>& memberNames);

private:
    void ReadBody(TDTXMLItem& body, TWideStrings& target, bool notes);
    void AddLine(const TDTXMLItem& element, TWideStrings& target);
    void AddSectionEnd(TWideStrings& target);
};

}  // namespace quillmark
