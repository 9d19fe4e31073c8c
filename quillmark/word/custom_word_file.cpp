#include "quillmark/word/custom_word_file.h"

namespace quillmark {

TCustomWordFile::TCustomWordFile() = default;

TCustomWordFile::~TCustomWordFile() { ClearVBAProjectItems(); }

void TCustomWordFile::ClearInternalLists() {
    TMSWBaseDocument::ClearInternalLists();
    for (TWideStrings* list : {&FMacroText, &FFootNoteText, &FHeaderText, &FFooterText,
                               &FAnnotationText, &FEndNoteText, &FTextBoxText})
        list->Clear();
}

void TCustomWordFile::ClearVBAProjectItems() {
    while (!FVBAProjectItems.empty()) FVBAProjectItems.pop_back();
}

}  // namespace quillmark
