#include "quillmark/document_info.h"

#include "quillmark/framework/compound_file.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/property_set.h"
#include "quillmark/framework/stream.h"
#include "quillmark/word/word_bin_file.h"
#include "quillmark/pdf/pdf_reader.h"
#include "quillmark/word/word_xml_file.h"

namespace quillmark {

TDocumentInfo ReadDocumentInfo(const std::string& bytes, const std::string& password) {
    TDocumentInfo info;
    info.Format = DetectFormat(bytes);
    if (info.Format == DocumentFormat::Unknown) throw Exception("Unknown document format");
    if (info.Format == DocumentFormat::WordBinary) {
        TWordBinFile reader;
        reader.SetPassword(password);
        reader.SetParseItems({wpiSummaryInformation});
        TMemoryStream stream(bytes);
        reader.LoadFromStream(stream);
        info.Summary = reader.SummaryInformation();
        return info;
    }
    // Every compound file keeps its metadata in the same property sets,
    // whichever application wrote it.
    if (info.Format == DocumentFormat::Docx) {
        // The package's docProps parts (also inside a compound file's
        // "Package" stream).
        TWordXmlFile reader;
        reader.SetPassword(password);
        reader.SetParseItems({wpiSummaryInformation});
        TMemoryStream stream(bytes);
        reader.InternalLoadFromOLEStream(stream);
        info.Summary.Assign(reader.SummaryInformation());
        return info;
    }
    if (TCompoundFile::IsCompoundFile(bytes)) {
        auto file = TCompoundFile::Open(bytes);
        ReadSummaryInformation(file->Root(), info.Summary);
    }
    if (info.Format == DocumentFormat::Pdf) {
        TDTPDFReader reader;
        reader.SetPassword(password);
        reader.SetParseItems(TDTWParseItems{wpiSummaryInformation});
        TMemoryStream stream(bytes);
        reader.LoadFromStream(stream);
        info.Summary = reader.SummaryInformation();
    }
    return info;
}

}  // namespace quillmark
