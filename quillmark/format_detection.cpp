#include "quillmark/format_detection.h"

#include "quillmark/framework/compound_file.h"
#include "quillmark/pdf/pdf_reader.h"
#include "quillmark/readers/palmdoc_file.h"
#include "quillmark/readers/wordperfect_file.h"
#include "quillmark/word/word_bin_file.h"
#include "quillmark/word/word_xml_file.h"

namespace quillmark {

DocumentFormat DetectFormat(std::string_view bytes) {
    if (TPalmDocFile::IsPalmDocData(bytes)) return DocumentFormat::PalmDoc;
    if (TWordBinFile::IsWordBinaryData(bytes)) return DocumentFormat::WordBinary;
    if (TDTPDFReader::IsPdfData(bytes)) return DocumentFormat::Pdf;
    if (TWordPerfectFile::IsWordPerfectData(bytes)) return DocumentFormat::WordPerfect;
    if (TWordXmlFile::IsWordXmlData(bytes)) return DocumentFormat::Docx;
    // Generic: keep last, after the formats stored inside compound files.
    if (TCompoundFile::IsCompoundFile(bytes)) return DocumentFormat::CompoundFile;
    return DocumentFormat::Unknown;
}

const char* FormatName(DocumentFormat format) {
    switch (format) {
        case DocumentFormat::PalmDoc: return "palmdoc";
        case DocumentFormat::WordBinary: return "doc";
        case DocumentFormat::CompoundFile: return "ole";
        case DocumentFormat::Pdf: return "pdf";
        case DocumentFormat::Docx: return "docx";
        case DocumentFormat::WordPerfect: return "wpd";
        case DocumentFormat::Unknown: break;
    }
    return "unknown";
}

std::unique_ptr<TMSWBaseDocument> CreateReader(DocumentFormat format) {
    switch (format) {
        case DocumentFormat::PalmDoc: return std::make_unique<TPalmDocFile>();
        case DocumentFormat::WordBinary: return std::make_unique<TWordBinFile>();
        case DocumentFormat::CompoundFile: break;  // a container, no text reader
        case DocumentFormat::Pdf: return std::make_unique<TDTPDFReader>();
        case DocumentFormat::Docx: return std::make_unique<TWordXmlFile>();
        case DocumentFormat::WordPerfect: return std::make_unique<TWordPerfectFile>();
        case DocumentFormat::Unknown: break;
    }
    return nullptr;
}

}  // namespace quillmark
