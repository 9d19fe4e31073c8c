#include "quillmark/word/custom_word_file.h"

namespace quillmark {

TCustomWordFile::TCustomWordFile() = default;

TCustomWordFile::~TCustomWordFile() { ClearVBAProjectItems(); }

void TCustomWordFile::ClearInternalLists() {
    TMSWBaseDocument::ClearInternalLists();
    for (TWideStrings* list : {&FMacroText, &FFootNoteText, &FHeaderText, &FFooterText,
                               &FAnnotationText, &FEndNoteText, &FTextBoxText})
        list->Clear();
    FVBAProject.clear();
    FVBACodePage = 0;
    ClearVBAProjectItems();
}

void TCustomWordFile::TakeVBAProject(TVBAProject&& project) {
    FVBAProject = std::move(project.Project);
    FVBACodePage = project.CodePage;
    ClearVBAProjectItems();
    FVBAProjectItems = std::move(project.Items);
    AppendMacroListing(FVBAProjectItems, FVBACodePage, FMacroText,
                       [this](std::u16string_view s) { return Escape(s); });
}

const TWideStrings* TCustomWordFile::PartText(TDocumentPart part) const {
    switch (part) {
        case TDocumentPart::Main: return &Text();
        case TDocumentPart::Footnotes: return &FFootNoteText;
        case TDocumentPart::Headers: return &FHeaderText;
        case TDocumentPart::Footers: return &FFooterText;
        case TDocumentPart::Annotations: return &FAnnotationText;
        case TDocumentPart::Endnotes: return &FEndNoteText;
        case TDocumentPart::Textboxes: return &FTextBoxText;
        case TDocumentPart::Macros: return &FMacroText;
        case TDocumentPart::Notes: break;
    }
    return nullptr;
}

void TCustomWordFile::ClearVBAProjectItems() {
    while (!FVBAProjectItems.empty()) FVBAProjectItems.pop_back();
}

}  // namespace quillmark
