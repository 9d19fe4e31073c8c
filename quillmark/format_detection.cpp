#include "quillmark/format_detection.h"

#include "quillmark/framework/compound_file.h"
#include "quillmark/pdf/pdf_reader.h"
#include "quillmark/package/zip_archive.h"
#include "quillmark/readers/odf_documents.h"
#include "quillmark/readers/palmdoc_file.h"
#include "quillmark/word/word_bin_file.h"
#include "quillmark/word/word_xml_file.h"

namespace quillmark {

DocumentFormat DetectFormat(std::string_view bytes) {
    if (TPalmDocFile::IsPalmDocData(bytes)) return DocumentFormat::PalmDoc;
    if (TWordBinFile::IsWordBinaryData(bytes)) return DocumentFormat::WordBinary;
    if (TDTPDFReader::IsPdfData(bytes)) return DocumentFormat::Pdf;
    if (TWordXmlFile::IsWordXmlData(bytes)) return DocumentFormat::Docx;
    {
        std::string kind;
        if (IsZipArchiveData(bytes)) {
            try {
                TZipArchive zip;
                zip.LoadFromBytes(std::string(bytes));
                kind = TCustomOpenOfficeDocument::KindOfPackageMimeType(zip.DecompressFileName("mimetype"));
            } catch (const Exception&) {
            }
        } else {
            kind = TCustomOpenOfficeDocument::KindOfFlatDocument(bytes);
        }
        if (kind == "odt") return DocumentFormat::Odt;
        if (kind == "ods") return DocumentFormat::Ods;
        if (kind == "odp") return DocumentFormat::Odp;
    }
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
        case DocumentFormat::Odt: return "odt";
        case DocumentFormat::Ods: return "ods";
        case DocumentFormat::Odp: return "odp";
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
        case DocumentFormat::Odt: return std::make_unique<TOpenOfficeTextDocument>();
        case DocumentFormat::Ods: return std::make_unique<TOpenOfficeSpreadsheet>();
        case DocumentFormat::Odp: return std::make_unique<TOpenOfficePresentation>();
        case DocumentFormat::Unknown: break;
    }
    return nullptr;
}

}  // namespace quillmark
