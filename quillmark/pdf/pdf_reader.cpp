#include "quillmark/pdf/pdf_reader.h"

#include "quillmark/framework/stream.h"
#include "quillmark/framework/work_budget.h"

namespace quillmark {

TDTPDFReader::TDTPDFReader() = default;
TDTPDFReader::~TDTPDFReader() = default;

bool TDTPDFReader::IsPdfData(std::string_view bytes) {
    return bytes.size() >= 5 && PdfLower(bytes.substr(0, 5)) == "%pdf-";
}

void TDTPDFReader::ClearInternalLists() {
    TMSWBaseDocument::ClearInternalLists();
    store_.Clear();
    walker_.Clear();
    FFonts.Clear();
    FPages.Clear();
    FSummaryInformation.Clear();
}

void TDTPDFReader::LoadFromFile(const std::string& fileName) {
    TMSWBaseDocument::LoadFromFile(fileName);
    TFileStream stream(fileName, TFileMode::fmOpenRead);
    stream.SetPosition(0);
    LoadFromStream(stream);
}

void TDTPDFReader::LoadFromStream(TStream& stream) {
    TMSWBaseDocument::LoadFromStream(stream);
    store_.Load(stream.ReadRest(), Password());
    ReadDocumentContent();
}

void TDTPDFReader::ReadDocumentContent() {
    bool text = ParseItems().Contains(wpiText);
    if (text) walker_.ReadPages();
    if (ParseItems().Contains(wpiSummaryInformation) && !store_.InfoTag().empty())
        walker_.ReadInformation(FSummaryInformation);
    if (text) {
        AddText(GetTextStart(), *text_);
        for (int i = 0; i < FPages.Count() && !Cancelled(); ++i)
            AddText(Escape(FPages.GetPage(i)->GetPlainText()), *text_);
        AddText(GetTextFinish(), *text_);
    }
}

}  // namespace quillmark
