#include "quillmark/word/custom_word_file.h"

#include <gtest/gtest.h>

namespace quillmark {
namespace {

TEST(CustomWordFile, ClearingEmptiesEveryTextListAndTheModulesButKeepsMetadata) {
    TCustomWordFile doc;
    doc.Text().Add(u"body");
    for (TWideStrings* list : {&doc.MacroText(), &doc.FootNoteText(), &doc.HeaderText(),
                               &doc.FooterText(), &doc.AnnotationText(), &doc.EndNoteText(),
                               &doc.TextBoxText()})
        list->Add(u"x");
    doc.SummaryInformation().SetTitle(u"Kept");
    doc.VBAProjectItems().push_back(std::make_unique<TVBAProjectItem>());

    doc.ClearInternalLists();

    EXPECT_EQ(doc.Text().Count(), 0);
    for (const TWideStrings* list : {&doc.MacroText(), &doc.FootNoteText(), &doc.HeaderText(),
                                     &doc.FooterText(), &doc.AnnotationText(), &doc.EndNoteText(),
                                     &doc.TextBoxText()})
        EXPECT_EQ(list->Count(), 0);
    EXPECT_EQ(doc.SummaryInformation().Title(), u"Kept");
    // Every load clears, so the modules of one document never show in the next.
    EXPECT_TRUE(doc.VBAProjectItems().empty());
    doc.VBAProjectItems().push_back(std::make_unique<TVBAProjectItem>());
    doc.ClearVBAProjectItems();
    EXPECT_TRUE(doc.VBAProjectItems().empty());
}

TEST(CustomWordFile, SettingSummaryInformationCopiesIntoTheOwnedRecord) {
    TCustomWordFile doc;
    const TDTWordSummaryInformation* owned = &doc.SummaryInformation();
    TDTWordSummaryInformation other;
    other.SetAuthor(u"Ann");
    other.SetPageCount(7);
    doc.SetSummaryInformation(other);
    EXPECT_EQ(&doc.SummaryInformation(), owned);
    EXPECT_EQ(doc.SummaryInformation(), other);
}

}  // namespace
}  // namespace quillmark
