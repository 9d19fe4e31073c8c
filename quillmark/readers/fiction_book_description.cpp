#include "quillmark/readers/fiction_book_description.h"

#include "quillmark/package/xml_engine.h"
#include "quillmark/readers/fiction_book_inline.h"
#include "quillmark/readers/fiction_book_tree.h"

namespace quillmark {

namespace {

// The text of the first element named localName in node's subtree (white
// space collapsed, inline markup kept as text); empty when there is none.
std::u16string ValueOf(TDTXMLItem* node, std::u16string_view localName) {
    TDTXMLItem* found = FindElement(node, localName);
    return found ? FictionBookLineText(*found, tfPlainText) : std::u16string();
}

std::u16string AuthorName(TDTXMLItem& author) {
    std::u16string name;
    for (std::u16string_view part : {u"first-name", u"middle-name", u"last-name"}) {
        std::u16string v = ValueOf(&author, part);
        if (v.empty()) continue;
        if (!name.empty()) name += u' ';
        name += v;
    }
    return name.empty() ? ValueOf(&author, u"nickname") : name;
}

// The paragraphs of an annotation, one per line.
std::u16string Annotation(TDTXMLItem* annotation) {
    if (!annotation) return {};
    std::u16string text;
    bool anyParagraph = false;
    for (const auto& child : annotation->Items) {
        if (child->Kind != ikProperty) continue;
        anyParagraph = true;
        std::u16string line = FictionBookLineText(*child, tfPlainText);
        if (line.empty()) continue;
        if (!text.empty()) text += u"\r\n";
        text += line;
    }
    return anyParagraph ? text : FictionBookLineText(*annotation, tfPlainText);
}

}  // namespace

std::u16string FictionBookAuthors(TDTXMLItem& info) {
    std::u16string names;
    bool any = false;
    for (const auto& child : info.Items) {
        if (!IsElement(*child, u"author")) continue;
        any = true;
        std::u16string name = AuthorName(*child);
        if (name.empty()) continue;
        if (!names.empty()) names += u", ";
        names += name;
    }
    // An author element that the tree put further down (unbalanced markup
    // above it) still names the book's author.
    if (!any)
        if (TDTXMLItem* author = FindElement(&info, u"author")) names = AuthorName(*author);
    return names;
}

TDateTime FictionBookDate(std::u16string_view s) {
    // Completed to a full ISO stamp at midnight and checked as one.
    while (!s.empty() && (s.front() == u' ' || s.front() == u'\t')) s.remove_prefix(1);
    auto endsAt = [&](size_t at) { return s.size() == at || s[at] == u'-'; };
    std::u16string stamp;
    if (s.size() >= 10) stamp = std::u16string(s.substr(0, 10));
    else if (s.size() == 7) stamp = std::u16string(s) + u"-01";
    else if (s.size() == 4) stamp = std::u16string(s) + u"-01-01";
    else return 0;
    if (!endsAt(4) || (s.size() > 7 && !endsAt(7))) return 0;
    if (s.size() > 10 && s[10] != u'T' && s[10] != u' ') return 0;
    return XMLStringToDateTime(stamp + u"T00:00:00");
}

void ReadFictionBookDescription(TDTXMLItem& description, TDTWordSummaryInformation& summary) {
    if (TDTXMLItem* title = FindElement(&description, u"title-info")) {
        summary.SetKeywords(ValueOf(title, u"keywords"));
        summary.SetCategory(ValueOf(title, u"genre"));
        summary.SetTitle(ValueOf(title, u"book-title"));
        summary.SetAuthor(FictionBookAuthors(*title));
        summary.SetComments(Annotation(FindElement(title, u"annotation")));
        // The date of the work: the machine-readable value when given, else
        // the text ("2018", "2018-05-17").
        if (TDTXMLItem* date = FindElement(title, u"date")) {
            std::u16string value = AttributeValue(*date, u"value");
            TDateTime created = FictionBookDate(value);
            if (created == 0) created = FictionBookDate(FictionBookLineText(*date, tfPlainText));
            summary.SetCreated(created);
        }
        // The language (title-info "lang") has no field in the record.
    }
    if (TDTXMLItem* document = FindElement(&description, u"document-info")) {
        summary.SetManager(FictionBookAuthors(*document));
        summary.SetRevNumber(ValueOf(document, u"version"));
    }
    if (TDTXMLItem* publish = FindElement(&description, u"publish-info")) {
        summary.SetSubject(ValueOf(publish, u"book-name"));
        summary.SetCompany(ValueOf(publish, u"publisher"));
    }
}

}  // namespace quillmark
