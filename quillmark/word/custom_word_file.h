// TCustomWordFile: the common base of the two Word readers (binary .doc and
// Word 2007 XML). Besides the main text it owns the lists of the parts a Word
// document keeps apart from its body (footnotes, headers, footers, comments,
// endnotes, text boxes and macro text), the document's metadata and its VBA
// modules.
#pragma once

#include <string>

#include "quillmark/framework/base_document.h"
#include "quillmark/framework/summary_information.h"
#include "quillmark/framework/wide_strings.h"
#include "quillmark/word/vba_project.h"
#include "quillmark/word/word_records.h"

namespace quillmark {

class TCustomWordFile : public TMSWBaseDocument {
public:
    TCustomWordFile();
    ~TCustomWordFile() override;

    // Empties the main list and the seven extra lists, the VBA project text
    // and the VBA modules (a load never lists another document's modules).
    // The metadata is left as it is.
    void ClearInternalLists() override;

    // The footnote, header ... lists by part (footers only from the XML
    // reader; macros when wpiVBA is set).
    const TWideStrings* PartText(TDocumentPart part) const override;

    // --- public, read-only ---
    TWideStrings& MacroText() { return FMacroText; }
    const TWideStrings& MacroText() const { return FMacroText; }
    TWideStrings& FootNoteText() { return FFootNoteText; }
    const TWideStrings& FootNoteText() const { return FFootNoteText; }
    TWideStrings& HeaderText() { return FHeaderText; }
    const TWideStrings& HeaderText() const { return FHeaderText; }
    TWideStrings& FooterText() { return FFooterText; }
    const TWideStrings& FooterText() const { return FFooterText; }
    TWideStrings& AnnotationText() { return FAnnotationText; }
    const TWideStrings& AnnotationText() const { return FAnnotationText; }
    TWideStrings& EndNoteText() { return FEndNoteText; }
    const TWideStrings& EndNoteText() const { return FEndNoteText; }
    TWideStrings& TextBoxText() { return FTextBoxText; }
    const TWideStrings& TextBoxText() const { return FTextBoxText; }
    const std::string& VBAProject() const { return FVBAProject; }
    const std::string& VBAMacroSource() const { return FVBAMacroSource; }
    // The code page of module names and sources (0 = the active ANSI code page).
    int VBACodePage() const { return FVBACodePage; }

    TVBAProjectItems& VBAProjectItems() { return FVBAProjectItems; }
    const TVBAProjectItems& VBAProjectItems() const { return FVBAProjectItems; }
    // Frees every VBA module, the last first.
    void ClearVBAProjectItems();

protected:
    // Keeps a project read from the document and lists the source of each of
    // its modules in MacroText, in the current rendering.
    void TakeVBAProject(TVBAProject&& project);

    TWideStrings FMacroText;
    TWideStrings FFootNoteText;
    TWideStrings FHeaderText;
    TWideStrings FFooterText;  // filled by the XML reader only
    TWideStrings FAnnotationText;
    TWideStrings FEndNoteText;
    TWideStrings FTextBoxText;
    std::string FVBAProject;       // text of the VBA "PROJECT" stream
    std::string FVBAMacroSource;   // reserved; no reader fills it
    TVBAProjectItems FVBAProjectItems;
    int FVBACodePage = 0;
};

}  // namespace quillmark
