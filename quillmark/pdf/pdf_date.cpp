#include "quillmark/pdf/pdf_date.h"

#include <string>

namespace quillmark {

namespace {

bool Field(std::u16string_view s, size_t pos, size_t len, int& out) {
    if (pos + len > s.size()) return false;
    out = 0;
    for (size_t i = pos; i < pos + len; ++i) {
        if (s[i] < u'0' || s[i] > u'9') return false;
        out = out * 10 + (s[i] - u'0');
    }
    return true;
}

bool DaysInMonthOk(int y, int m, int d) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12 || d < 1) return false;
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= kDays[m - 1] + (m == 2 && leap ? 1 : 0);
}

TDateTime Encode(int y, int mo, int d, int h, int mi, int s) {
    if (y < 1 || y > 9999 || !DaysInMonthOk(y, mo, d) || h > 23 || mi > 59 || s > 59) return 0;
    TCalendarTime t;
    t.Year = y;
    t.Month = mo;
    t.Day = d;
    t.Hour = h;
    t.Minute = mi;
    t.Second = s;
    return EncodeDateTime(t);
}

}  // namespace

TDateTime PdfDateToDateTime(std::u16string_view text) {
    while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) text.remove_prefix(1);
    if (text.empty()) return 0;
    if (text[0] == u'D' || text[0] == u'd') {
        int y, mo, d, h, mi, s;
        if (!Field(text, 2, 4, y) || !Field(text, 6, 2, mo) || !Field(text, 8, 2, d) || !Field(text, 10, 2, h) ||
            !Field(text, 12, 2, mi) || !Field(text, 14, 2, s))
            return 0;
        return Encode(y, mo, d, h, mi, s);
    }
    // General form: year, month, day separated by "-", "/" or ".", then an
    // optional time.
    int y, mo, d, h = 0, mi = 0, s = 0;
    if (!Field(text, 0, 4, y) || text.size() < 10) return 0;
    char16_t sep = text[4];
    if ((sep != u'-' && sep != u'/' && sep != u'.') || text[7] != sep) return 0;
    if (!Field(text, 5, 2, mo) || !Field(text, 8, 2, d)) return 0;
    if (text.size() > 10) {
        if ((text[10] != u' ' && text[10] != u'T') || !Field(text, 11, 2, h) || text.size() < 16 ||
            text[13] != u':' || !Field(text, 14, 2, mi))
            return 0;
        if (text.size() > 16 && (text[16] != u':' || !Field(text, 17, 2, s))) return 0;
    }
    return Encode(y, mo, d, h, mi, s);
}

}  // namespace quillmark
