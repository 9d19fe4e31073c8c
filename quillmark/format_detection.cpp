#include "quillmark/format_detection.h"

#include "quillmark/framework/compound_file.h"
#include "quillmark/readers/palmdoc_file.h"
#include "quillmark/word/word_xml_file.h"

namespace quillmark {

DocumentFormat DetectFormat(std::string_view bytes) {
    if (TPalmDocFile::IsPalmDocData(bytes)) return DocumentFormat::PalmDoc;
    if (TWordXmlFile::IsWordXmlData(bytes)) return DocumentFormat::Docx;
    // Generic: keep last, after the formats stored inside compound files.
    if (TCompoundFile::IsCompoundFile(bytes)) return DocumentFormat::CompoundFile;
    return DocumentFormat::Unknown;
}

const char* FormatName(DocumentFormat format) {
    switch (format) {
        case DocumentFormat::PalmDoc: return "palmdoc";
        case DocumentFormat::CompoundFile: return "ole";
        case DocumentFormat::Docx: return "docx";
        case DocumentFormat::Unknown: break;
    }
    return "unknown";
}

std::unique_ptr<TMSWBaseDocument> CreateReader(DocumentFormat format) {
    switch (format) {
        case DocumentFormat::PalmDoc: return std::make_unique<TPalmDocFile>();
        case DocumentFormat::CompoundFile: break;  // a container, no text reader
        case DocumentFormat::Docx: return std::make_unique<TWordXmlFile>();
        case DocumentFormat::Unknown: break;
    }
    return nullptr;
}

}  // namespace quillmark
