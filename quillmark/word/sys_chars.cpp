// Rendering of Word's control characters and fields. Word text marks
// paragraph ends (13), cells and row ends (7), line breaks (11), tabs (9) and
// fields: 19 begins a field, its instruction follows ("PAGE", "HYPERLINK
// \"...\""), 20 separates the instruction from the displayed result, 21 ends
// it. A field reads as its displayed result; the host sees every rendering
// through OnConvertSysChar and may change it.
#include <array>
#include <string_view>

#include "quillmark/framework/markup_escape.h"
#include "quillmark/framework/utf16_scan.h"
#include "quillmark/word/word_bin_file.h"

namespace quillmark {

namespace {

constexpr char16_t kCell = 7, kTab = 9, kLineBreak = 11, kParagraph = 13;
constexpr char16_t kFieldBegin = 19, kFieldSeparator = 20, kFieldEnd = 21;

// A field collected for longer than this many characters is given up and
// written out as it stands.
constexpr int kMaxFieldPieces = 200;

struct Keyword {
    std::u16string_view text;
    TDTWordSysChar kind;
};

// Searched in order; the first entry that starts the keyword text wins.
constexpr std::array<Keyword, 16> kKeywords{{
    {u"TIME", scTime},
    {u"\\\\@", scDateTimePicture},
    {u"HYPERLINK", scHyperlink},
    {u"TOC", scTOC},
    {u"\\\\o", scTOC_From_Range},
    {u"PAGEREF", scPage},
    {u"PAGE", scPage},
    {u"NUMPAGES", scNumPages},
    {u"EMBED", scEmbed},
    {u"EDITTIME", scEditTime},
    {u"SPEICHERDAT", scSpeicherdat},
    {u"DATEINAME", scDateIName},
    {u"ADVANCE", scFieldAttributes},
    {u"SEQ TEXT_BOX", scTextField},
    {u"*", scUnknown},
    {u"INCLUDEPICTURE", scIncludePicture},
}};

char16_t AsciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

TDTWordSysChar KeywordKind(std::u16string_view keyword) {
    for (const Keyword& k : kKeywords) {
        if (keyword.size() < k.text.size()) continue;
        bool match = true;
        for (size_t i = 0; i < k.text.size() && match; ++i)
            match = AsciiUpper(keyword[i]) == k.text[i];
        if (match) return k.kind;
    }
    return scUnknown;
}

std::u16string_view Trim(std::u16string_view s) {
    while (!s.empty() && s.front() <= u' ') s.remove_prefix(1);
    while (!s.empty() && s.back() <= u' ') s.remove_suffix(1);
    return s;
}

// The text an EQ field shows when it sets a phonetic guide: Word writes
// `EQ \* jc2 ... \o\ad(\s\up 10(ruby),base)`, an overstrike (\o) of the
// raised ruby text and the base text, and displays the base text under its
// guide. The base is the last argument of the \o(...) list; other
// equations show nothing.
std::u16string PhoneticGuideBase(std::u16string_view code) {
    size_t o = code.find(u"\\o");
    if (o == std::u16string_view::npos) return {};
    size_t open = code.find(u'(', o);
    if (open == std::u16string_view::npos) return {};
    int depth = 0;
    size_t lastArg = open + 1;
    for (size_t i = open; i < code.size(); ++i) {
        char16_t c = code[i];
        if (c == u'(') {
            ++depth;
        } else if (c == u')') {
            if (--depth == 0) return std::u16string(Trim(code.substr(lastArg, i - lastArg)));
        } else if (c == u',' && depth == 1) {
            lastArg = i + 1;
        }
    }
    return {};
}

// True for characters that render as themselves without an event.
bool IsOrdinary(char16_t c) { return c >= 32 || c == 4 || c == 10 || (c >= 14 && c <= 18) || (c >= 22 && c <= 30); }

}  // namespace

void TWordBinFile::FireSysChar(TDTWordSysChar kind, const std::u16string& value, std::u16string& result) {
    if (OnConvertSysChar()) OnConvertSysChar()(*this, kind, value, result);
}

void TWordBinFile::AddText(const std::u16string& value, TWideStrings& list) {
    if (!ConvertSysCharacters()) {
        list.Add(value);
        return;
    }
    std::u16string out;
    out.reserve(value.size() + value.size() / 8);
    ConvertInto(value, out);
    // Without a limit the base only appends: hand the text over instead of
    // copying it (the whole document can be one line).
    if (MaxTextLength() <= 0) list.Add(std::move(out));
    else TCustomWordFile::AddText(out, list);
}

std::u16string TWordBinFile::ProcessSysCharacter(char16_t ch, bool isLast, char16_t& nextChar) {
    std::u16string r;
    AppendReplacement(ch, isLast, nextChar, r);
    return r;
}

void TWordBinFile::ConvertInto(std::u16string_view value, std::u16string& out) {
    const size_t n = value.size();
    char16_t carried = 0;  // the next character as the previous step left it
    bool haveCarried = false;
    for (size_t i = 0; i < n; ++i) {
        if (!haveCarried && FLastFieldCode.empty() && IsOrdinary(value[i])) {
            // A run of plain text outside any field: escape it in one go.
            // Only controls (below 0x20) can end it.
            size_t j = i + 1;
            while ((j = FindControl(value, j)) < n && IsOrdinary(value[j])) ++j;
            AppendEscaped(out, value.substr(i, j - i), TextFormating());
            i = j - 1;
            continue;
        }
        char16_t ch = haveCarried ? carried : value[i];
        haveCarried = false;
        bool isLast = i + 1 == n;
        char16_t next = isLast ? 0 : value[i + 1];
        // A field inside a field ends the one being collected.
        if (intFieldCodeLen > 0 && ch == kFieldBegin) out += FinishField();
        if (intFieldCodeLen > kMaxFieldPieces) FlushLongField(out);
        if (FLastFieldCode.empty() && ch != kFieldBegin && ch != kFieldEnd) {
            AppendReplacement(ch, isLast, next, out);
        } else {
            // Converting the character may start or finish a field: where its
            // replacement goes is decided afterwards.
            std::u16string r;
            AppendReplacement(ch, isLast, next, r);
            if (!FLastFieldCode.empty() || ch == kFieldBegin) {
                FLastFieldCode += r;
                ++intFieldCodeLen;
            } else {
                out += r;
            }
        }
        if (!isLast && next != value[i + 1]) {
            carried = next;
            haveCarried = true;
        }
    }
    if (!FLastFieldCode.empty()) FlushLongField(out);
}

void TWordBinFile::FlushLongField(std::u16string& out) {
    // Written as an en dash and the collected text after the begin mark.
    AppendEscaped(out, u"\u2013", TextFormating());
    if (!FLastFieldCode.empty()) out.append(FLastFieldCode, 1);
    FLastFieldCode.clear();
    intFieldCodeLen = 0;
}

void TWordBinFile::AppendReplacement(char16_t ch, bool isLast, char16_t& nextChar, std::u16string& out) {
    auto byFormat = [this](std::u16string_view rtf, std::u16string_view html, std::u16string_view plain) {
        switch (TextFormating()) {
            case tfRTF: return std::u16string(rtf);
            case tfHTML: return std::u16string(html);
            default: return std::u16string(plain);
        }
    };
    std::u16string r;
    TDTWordSysChar kind = scUnknown;
    switch (ch) {
        case 0: return;
        case 1: case 2: case 3: case 5: case 6: case 8: case 12: case 31:
            kind = scUnknown;
            break;
        case kCell:
            if (isLast || nextChar != kCell) {
                r = u" ";
                kind = scColumnEnd;
            } else {
                // Two cell marks end a row; the second one then reads as LF.
                r = byFormat(u"\r\n\\par ", u"<br>\r\n", u"\r");
                nextChar = u'\n';
                kind = scRowEnd;
            }
            break;
        case kTab:
            r = u"\t";
            kind = scUnknown;
            break;
        case kLineBreak:
            r = byFormat(u"\r\n\\par ", u"<br>\r\n", u"\r\n");
            kind = scUnknown;
            break;
        case kParagraph:
            r = byFormat(u"\r\n\\par ", u"<p></p>\r\n", u"\r\n");
            kind = scParagraphEnd;
            break;
        case kFieldBegin:
            FLastFieldCode.clear();
            intFieldCodeLen = 0;
            r = std::u16string(1, kFieldBegin);
            kind = scFieldBegin;
            break;
        case kFieldSeparator:
            r = std::u16string(1, kFieldSeparator);
            kind = scFieldMiddle;
            break;
        case kFieldEnd:
            out += FinishField();
            return;
        default:
            AppendEscaped(out, std::u16string_view(&ch, 1), TextFormating());
            return;
    }
    FireSysChar(kind, std::u16string(1, ch), r);
    out += r;
}

std::u16string TWordBinFile::FinishField() {
    std::u16string result;
    FireSysChar(scFieldEnd, std::u16string(1, kFieldEnd), result);
    if (!FLastFieldCode.empty()) {
        std::u16string_view code = FLastFieldCode;
        if (!code.empty() && code.front() == kFieldBegin) code.remove_prefix(1);
        if (!code.empty() && code.front() == u' ') code.remove_prefix(1);
        // The instruction ends at the separator; a field without one ends its
        // keyword at the first switch (" \") and displays nothing.
        size_t sep = code.find(kFieldSeparator);
        size_t keywordEnd = sep != std::u16string_view::npos ? sep : code.find(u" \\");
        if (keywordEnd != std::u16string_view::npos && keywordEnd > 0) {
            std::u16string keyword(Trim(code.substr(0, keywordEnd)));
            TDTWordSysChar kind = KeywordKind(keyword);
            if (kind != scEmbed && sep != std::u16string_view::npos) {
                size_t from = sep + 1;
                if (from < code.size() && code[from] == kFieldSeparator) ++from;
                result = std::u16string(code.substr(from));
            } else if (sep == std::u16string_view::npos && keyword.size() == 2 && AsciiUpper(keyword[0]) == u'E' &&
                       AsciiUpper(keyword[1]) == u'Q') {
                // An equation has no result: Word draws it from the instruction.
                result = PhoneticGuideBase(code);
            }
            FireSysChar(kind, keyword, result);
        }
    }
    FLastFieldCode.clear();
    intFieldCodeLen = 0;
    return result;
}

}  // namespace quillmark
