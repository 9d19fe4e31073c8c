#include "quillmark/readers/odf_meta.h"

#include <limits>

#include "quillmark/package/xml_engine.h"
#include "quillmark/readers/odf_content_walk.h"

namespace quillmark {

namespace {

int32_t CountOf(std::u16string_view s) {
    if (s.empty() || s.size() > 10) return 0;
    int64_t v = 0;
    for (char16_t c : s) {
        if (c < u'0' || c > u'9') return 0;
        v = v * 10 + (c - u'0');
    }
    return v > std::numeric_limits<int32_t>::max() ? 0 : static_cast<int32_t>(v);
}

std::u16string Trimmed(std::u16string s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == u' ' || s[b] == u'\t' || s[b] == u'\r' || s[b] == u'\n')) ++b;
    while (e > b && (s[e - 1] == u' ' || s[e - 1] == u'\t' || s[e - 1] == u'\r' || s[e - 1] == u'\n')) --e;
    return s.substr(b, e - b);
}

}  // namespace

int32_t OdfDurationMinutes(std::u16string_view d) {
    if (d.empty() || d[0] != u'P') return 0;
    int64_t seconds = 0;
    bool inTime = false;
    int64_t number = 0;
    bool haveNumber = false;
    for (size_t i = 1; i < d.size(); ++i) {
        char16_t c = d[i];
        if (c >= u'0' && c <= u'9') {
            if (number > 100000000) return 0;
            number = number * 10 + (c - u'0');
            haveNumber = true;
            continue;
        }
        if (c == u'.' || c == u',') {
            // Fractions of seconds: skip the digits.
            while (i + 1 < d.size() && d[i + 1] >= u'0' && d[i + 1] <= u'9') ++i;
            continue;
        }
        if (c == u'T') {
            inTime = true;
            continue;
        }
        if (!haveNumber) return 0;
        int64_t unit;
        switch (c) {
            case u'Y': unit = inTime ? -1 : 365 * 86400; break;
            case u'M': unit = inTime ? 60 : 30 * 86400; break;
            case u'W': unit = inTime ? -1 : 7 * 86400; break;
            case u'D': unit = inTime ? -1 : 86400; break;
            case u'H': unit = inTime ? 3600 : -1; break;
            case u'S': unit = inTime ? 1 : -1; break;
            default: unit = -1;
        }
        if (unit < 0) return 0;
        seconds += number * unit;
        if (seconds > int64_t{std::numeric_limits<int32_t>::max()} * 60) return 0;
        number = 0;
        haveNumber = false;
    }
    if (haveNumber) return 0;
    return static_cast<int32_t>(seconds / 60);
}

void ReadOpenDocumentMeta(TDTXMLItem& meta, TDTWordSummaryInformation& s) {
    std::u16string keywords;
    for (const auto& ref : meta.Items) {
        TDTXMLItem& e = *ref;
        if (e.Kind != ikProperty) continue;
        std::u16string_view tag = e.TagName;
        if (tag == u"meta:document-statistic") {
            for (const auto& a : e.Items) {
                if (a->Kind != ikAttribute) break;
                int32_t v = CountOf(a->GetTagValue());
                if (a->TagName == u"meta:page-count") s.SetPageCount(v);
                else if (a->TagName == u"meta:word-count") s.SetWordCount(v);
                else if (a->TagName == u"meta:character-count") s.SetCharCount(v);
                else if (a->TagName == u"meta:paragraph-count") s.SetParagraphCount(v);
            }
            continue;
        }
        if (tag == u"meta:template") {
            for (const auto& a : e.Items)
                if (a->Kind == ikAttribute && a->TagName == u"xlink:title") s.SetTemplate(a->GetTagValue());
            continue;
        }
        std::u16string text = Trimmed(TOpenDocumentWalk::InnerText(e));
        if (tag == u"dc:title") s.SetTitle(text);
        else if (tag == u"dc:subject") s.SetSubject(text);
        else if (tag == u"meta:initial-creator") s.SetAuthor(text);
        else if (tag == u"dc:creator") s.SetLastAuthor(text);
        else if (tag == u"dc:description") s.SetComments(text);
        else if (tag == u"meta:generator") s.SetAppName(text);
        else if (tag == u"meta:creation-date") s.SetCreated(XMLStringToDateTime(text));
        else if (tag == u"dc:date") s.SetLastSaved(XMLStringToDateTime(text));
        else if (tag == u"meta:print-date") s.SetLastPrinted(XMLStringToDateTime(text));
        else if (tag == u"meta:editing-duration") s.SetEditTime(OdfDurationMinutes(text));
        else if (tag == u"meta:editing-cycles") s.SetRevNumber(text);
        else if (tag == u"meta:keyword" && !text.empty()) {
            // One element per keyword.
            if (!keywords.empty()) keywords += u", ";
            keywords += text;
        }
    }
    if (!keywords.empty()) s.SetKeywords(keywords);
}

}  // namespace quillmark
