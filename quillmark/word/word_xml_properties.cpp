#include "quillmark/word/word_xml_properties.h"

#include <limits>

namespace quillmark {

namespace {

std::u16string ValueOf(TDTXMLEngine& engine, TDTXMLItem* set, std::u16string_view tag) {
    TDTXMLItem* node = engine.GetItemByTag(set, tag);
    return node ? node->GetTagValue() : std::u16string();
}

// Optional sign and decimal digits that fit 32 bits; 0 otherwise. (LibreOffice
// writes no "Lines", and some writers leave counts empty.)
int32_t CountOf(TDTXMLEngine& engine, TDTXMLItem* set, std::u16string_view tag) {
    std::u16string s = ValueOf(engine, set, tag);
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) negative = s[i++] == u'-';
    if (i == s.size()) return 0;
    int64_t v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < u'0' || s[i] > u'9') return 0;
        v = v * 10 + (s[i] - u'0');
        if (v > std::numeric_limits<int32_t>::max()) return 0;
    }
    return static_cast<int32_t>(negative ? -v : v);
}

}  // namespace

void ReadWordXmlProperties(TDTXMLEngine& engine, TDTWordSummaryInformation& s) {
    if (TDTXMLItem* core = engine.GetItemByTag(nullptr, u"cp:coreProperties")) {
        s.SetTitle(ValueOf(engine, core, u"dc:title"));
        s.SetSubject(ValueOf(engine, core, u"dc:subject"));
        s.SetAuthor(ValueOf(engine, core, u"dc:creator"));
        s.SetKeywords(ValueOf(engine, core, u"cp:keywords"));
        s.SetComments(ValueOf(engine, core, u"dc:description"));
        s.SetLastAuthor(ValueOf(engine, core, u"cp:lastModifiedBy"));
        s.SetRevNumber(ValueOf(engine, core, u"cp:revision"));
        s.SetCategory(ValueOf(engine, core, u"cp:category"));
        s.SetCreated(XMLStringToDateTime(ValueOf(engine, core, u"dcterms:created")));
        s.SetLastSaved(XMLStringToDateTime(ValueOf(engine, core, u"dcterms:modified")));
    }
    if (TDTXMLItem* app = engine.GetItemByTag(nullptr, u"Properties")) {
        s.SetTemplate(ValueOf(engine, app, u"Template"));
        s.SetEditTime(CountOf(engine, app, u"TotalTime"));
        s.SetPageCount(CountOf(engine, app, u"Pages"));
        s.SetWordCount(CountOf(engine, app, u"Words"));
        s.SetCharCount(CountOf(engine, app, u"Characters"));
        s.SetAppName(ValueOf(engine, app, u"Application"));
        s.SetLineCount(CountOf(engine, app, u"Lines"));
        s.SetParagraphCount(CountOf(engine, app, u"Paragraphs"));
        s.SetManager(ValueOf(engine, app, u"Manager"));
        s.SetCompany(ValueOf(engine, app, u"Company"));
        s.SetCharCount2(CountOf(engine, app, u"CharactersWithSpaces"));
    }
}

}  // namespace quillmark
