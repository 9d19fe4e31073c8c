// The formats this library reads, in the order detection tries them. A new
// format is one entry here plus its reader.
#include "quillmark/format_registry.h"

#include "quillmark/framework/compound_file.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/property_set.h"
#include "quillmark/package/zip_archive.h"
#include "quillmark/pdf/pdf_reader.h"
#include "quillmark/readers/fiction_book.h"
#include "quillmark/readers/odf_documents.h"
#include "quillmark/readers/palmdoc_file.h"
#include "quillmark/readers/wri_file.h"
#include "quillmark/readers/wordperfect_file.h"
#include "quillmark/word/word_bin_file.h"
#include "quillmark/word/word_xml_file.h"

namespace quillmark {

namespace {

template <class Reader>
std::unique_ptr<TMSWBaseDocument> Make() {
    return std::make_unique<Reader>();
}

}  // namespace

std::vector<TFormatEntry> BuiltinFormats() {
    std::vector<TFormatEntry> formats;
    formats.push_back({"palmdoc", "PalmDoc or Peanut e-book",
                       [](const TDetectionInput& in) { return TPalmDocFile::IsPalmDocData(in.Bytes()); },
                       Make<TPalmDocFile>, nullptr});
    formats.push_back({"wri", "Windows Write document",
                       [](const TDetectionInput& in) { return TWRIFile::IsWriteData(in.Bytes()); },
                       Make<TWRIFile>, nullptr});
    formats.push_back({"doc", "Word binary document (Word 2, 6/95, 97 and later)",
                       [](const TDetectionInput& in) { return TWordBinFile::IsWordBinaryData(in); },
                       Make<TWordBinFile>, nullptr});
    formats.push_back({"pdf", "PDF document",
                       [](const TDetectionInput& in) { return TDTPDFReader::IsPdfData(in.Bytes()); },
                       Make<TDTPDFReader>, nullptr});
    formats.push_back({"docx", "Word 2007 document",
                       [](const TDetectionInput& in) { return TWordXmlFile::IsWordXmlData(in); },
                       Make<TWordXmlFile>, nullptr});
    // A book is XML that starts with its FictionBook element, or a zip of
    // one .fb2 file (.fb2.zip), judged by the zip's names alone.
    formats.push_back({"fb2", "FictionBook 2 e-book",
                       [](const TDetectionInput& in) {
                           return TFictionBook::IsFictionBookData(in.Bytes()) ||
                                  (in.IsZip() && TFictionBook::IsFictionBookZip(in.ZipNames()));
                       },
                       Make<TFictionBook>, nullptr});
    formats.push_back({"odt", "OpenDocument text (also templates and flat .fodt)",
                       [](const TDetectionInput& in) { return TCustomOpenOfficeDocument::KindOf(in) == "odt"; },
                       Make<TOpenOfficeTextDocument>, nullptr});
    formats.push_back({"ods", "OpenDocument spreadsheet (also templates and flat .fods)",
                       [](const TDetectionInput& in) { return TCustomOpenOfficeDocument::KindOf(in) == "ods"; },
                       Make<TOpenOfficeSpreadsheet>, nullptr});
    formats.push_back({"odp", "OpenDocument presentation (also templates and flat .fodp)",
                       [](const TDetectionInput& in) { return TCustomOpenOfficeDocument::KindOf(in) == "odp"; },
                       Make<TOpenOfficePresentation>, nullptr});
    formats.push_back({"wpd", "WordPerfect document (5.x, 6.x and later)",
                       [](const TDetectionInput& in) {
                           return TWordPerfectFile::IsWordPerfectData(in.Bytes()) ||
                                  (in.IsCompoundFile() && in.HasStream("PerfectOffice_MAIN"));
                       },
                       Make<TWordPerfectFile>, nullptr});
    // Any other compound file (.xls, .ppt, .msi ...): no text of ours, but
    // every compound file keeps its metadata in the same property sets,
    // whichever application wrote it.
    formats.push_back({"ole", "compound (OLE) file",
                       [](const TDetectionInput& in) { return TCompoundFile::IsCompoundFile(in.Bytes()); },
                       nullptr,
                       [](const TDetectionInput& in, const std::string&, TDTWordSummaryInformation& info) {
                           if (const TCompoundFile* file = in.CompoundFile())
                               ReadSummaryInformation(file->Root(), info);
                           else
                               TCompoundFile::OpenView(in.Bytes());  // reports the damage
                       },
                       /*Fallback=*/true});
    // Any other zip: no text of ours. Its metadata reader opens the archive,
    // so a damaged one says what is wrong instead of "unrecognised".
    formats.push_back({"zip", "zip archive",
                       [](const TDetectionInput& in) { return IsZipArchiveData(in.Bytes()); }, nullptr,
                       [](const TDetectionInput& in, const std::string&, TDTWordSummaryInformation&) {
                           const TZipArchive* zip = in.Zip();
                           if (!zip) TZipArchive().LoadFromBytes(std::string(in.Bytes()));  // throws the damage
                           else if (zip->Count() == 0)
                               throw EDamagedDocument("Zip archive is damaged: no central directory lists its members");
                       },
                       /*Fallback=*/true});
    return formats;
}

}  // namespace quillmark
