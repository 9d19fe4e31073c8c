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

void TCustomWordFile::ClearVBAProjectItems() {
    while (!FVBAProjectItems.empty()) FVBAProjectItems.pop_back();
}

}  // namespace quillmark
