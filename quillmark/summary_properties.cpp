#include "quillmark/summary_properties.h"

namespace quillmark {

std::vector<TSummaryProperty> SummaryProperties(const TDTWordSummaryInformation& s) {
    using P = TSummaryProperty;
    auto text = [](const char* name, const std::u16string& v) { return P{name, P::Text, v}; };
    auto number = [](const char* name, int32_t v) { return P{name, P::Number, {}, v}; };
    auto date = [](const char* name, TDateTime v) { return P{name, P::Date, {}, 0, v}; };
    return {text("Title", s.Title()),
            text("Subject", s.Subject()),
            text("Author", s.Author()),
            text("Keywords", s.Keywords()),
            text("Comments", s.Comments()),
            text("Template", s.Template()),
            text("LastAuthor", s.LastAuthor()),
            text("RevNumber", s.RevNumber()),
            text("AppName", s.AppName()),
            date("Created", s.Created()),
            date("LastSaved", s.LastSaved()),
            date("LastPrinted", s.LastPrinted()),
            number("EditTime", s.EditTime()),
            number("PageCount", s.PageCount()),
            number("WordCount", s.WordCount()),
            number("CharCount", s.CharCount()),
            text("Category", s.Category()),
            text("PresentationTarget", s.PresentationTarget()),
            text("Manager", s.Manager()),
            text("Company", s.Company()),
            number("ByteCount", s.ByteCount()),
            number("LineCount", s.LineCount()),
            number("ParagraphCount", s.ParagraphCount()),
            number("SlideCount", s.SlideCount()),
            number("NoteCount", s.NoteCount()),
            number("HiddenSlideCount", s.HiddenSlideCount()),
            number("MMClipCount", s.MMClipCount()),
            number("CharCount2", s.CharCount2())};
}

}  // namespace quillmark
