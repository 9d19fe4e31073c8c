#include "quillmark/package/xml_engine.h"

#include <optional>
#include <type_traits>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/work_budget.h"

namespace quillmark {

namespace {

// The bytes to parse as UTF-8 (without a byte-order mark), or none when the
// part is in another encoding.
std::optional<std::string_view> Utf8XmlBytes(std::string_view bytes);

// Name characters are ASCII only: "!", "-", digits, ":", "?", letters, "_".
// The period and every non-ASCII character end a name.
bool IsNameChar(char16_t c) {
    return c == u'!' || c == u'-' || (c >= u'0' && c <= u'9') || c == u':' || c == u'?' ||
           (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
}

bool IsBlank(char16_t c) { return c == u'\t' || c == u'\n' || c == u'\r' || c == u' '; }

char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c; }

// Strict UTF-8 validation (no overlongs, surrogates or values past U+10FFFF);
// multiByte tells whether any sequence longer than one byte was seen.
bool IsValidUtf8(std::string_view s, bool& multiByte) {
    multiByte = false;
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t n;
        uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF) n = 1, cp = c & 0x1F;
        else if (c >= 0xE0 && c <= 0xEF) n = 2, cp = c & 0x0F;
        else if (c >= 0xF0 && c <= 0xF4) n = 3, cp = c & 0x07;
        else return false;
        if (s.size() - i - 1 < n) return false;
        for (size_t k = 1; k <= n; ++k) {
            unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        multiByte = true;
        i += n + 1;
    }
    return true;
}

// Attribute values that are UTF-8 read as 8-bit text (a writer that
// double-encoded them) are repaired: if the value's characters are all in the
// active code page and those bytes are UTF-8, the decoded text is kept. Text
// outside the code page is kept as it is, never squeezed through it.
std::u16string RepairAttributeValue(std::u16string value) {
    bool ascii = true;
    for (char16_t c : value)
        if (c >= 0x80) ascii = false;
    if (ascii) return value;
    std::string bytes = WideToMultiByte(value, CP_ACP);
    if (MultiByteToWide(bytes, CP_ACP) != value) return value;
    bool multiByte = false;
    if (!IsValidUtf8(bytes, multiByte) || !multiByte) return value;
    std::u16string decoded = Utf8ToUtf16(bytes);
    return decoded.empty() ? value : decoded;
}

// Splits the text after a tag name into name="value" pairs and adds them to
// the node. A pair is name, "=", value with no blanks around the "="; a
// blank outside double quotes (or the end) ends a pair; the stored value
// keeps its quotes and the blank that ended it.
void AddAttributes(TDTXMLItem* node, std::u16string_view text) {
    // The name and the value are each a contiguous stretch of the text minus
    // the "=" signs outside quotes, so they are collected as spans and only
    // copied when a "=" has to be left out of the middle of one.
    std::u16string name, value;
    bool inQuotes = false, inValue = false;
    size_t pieceStart = 0;  // start of the part of the current name or value not yet copied
    auto flushPiece = [&](size_t end) {
        (inValue ? value : name).append(text.substr(pieceStart, end - pieceStart));
    };
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u'"') inQuotes = !inQuotes;
        if (c == u'=' && !inQuotes) {
            flushPiece(i);
            inValue = true;
            pieceStart = i + 1;
        }
        if ((IsBlank(c) && !inQuotes) || i + 1 == text.size()) {
            flushPiece(i + 1);
            if (!name.empty() && !value.empty()) {
                TDTXMLItem* a = node->Items.AddItem(node);
                a->Kind = ikAttribute;
                a->SetTagName(name);
                a->SetValue(RepairAttributeValue(std::move(value)));
            }
            name.clear();
            value.clear();
            inValue = false;
            pieceStart = i + 1;
        }
    }
}

// UTF-8 to UTF-16 with ASCII runs widened in bulk (XML is mostly ASCII
// markup); other runs go through the general decoder. A run of non-ASCII
// bytes ends at an ASCII byte, which never continues a sequence.
void AppendUtf8Text(std::string_view bytes, std::u16string& out) {
    size_t i = 0;
    while (i < bytes.size()) {
        size_t j = i;
        while (j < bytes.size() && static_cast<unsigned char>(bytes[j]) < 0x80) ++j;
        size_t at = out.size();
        out.resize(at + (j - i));
        for (size_t k = i; k < j; ++k) out[at + (k - i)] = static_cast<char16_t>(bytes[k]);
        i = j;
        while (j < bytes.size() && static_cast<unsigned char>(bytes[j]) >= 0x80) ++j;
        if (j > i) out += Utf8ToUtf16(bytes.substr(i, j - i));
        i = j;
    }
}

std::u16string Utf8Text(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    AppendUtf8Text(bytes, out);
    return out;
}

// The tokenizer runs on UTF-16 text, or straight on UTF-8 bytes: every
// character it looks for is ASCII, and in UTF-8 an ASCII byte is never part
// of a longer sequence, so each piece it keeps (a run of text, a name, an
// attribute list, a comment) is a whole stretch of characters that is
// converted on its own. A part is then never held as UTF-16 in full, which
// for a large part is twice its size in memory.
template <class C>
class TText {
public:
    // The piece [from, to) as UTF-16, valid until the next call.
    static std::u16string_view Piece(std::basic_string_view<C> text, size_t from, size_t to, std::u16string& scratch) {
        if constexpr (std::is_same_v<C, char16_t>) {
            return text.substr(from, to - from);
        } else {
            scratch.clear();
            AppendUtf8Text(text.substr(from, to - from), scratch);
            return scratch;
        }
    }
    static size_t Find(std::basic_string_view<C> text, std::string_view ascii, size_t from) {
        C pattern[8];
        for (size_t i = 0; i < ascii.size(); ++i) pattern[i] = static_cast<C>(ascii[i]);
        return text.find(std::basic_string_view<C>(pattern, ascii.size()), from);
    }
};

template <class C>
bool StartsWith(std::basic_string_view<C> s, size_t at, std::string_view prefix) {
    if (s.size() - at < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (s[at + i] != static_cast<C>(prefix[i])) return false;
    return true;
}

}  // namespace

bool SameStrings(bool caseSensitive, std::u16string_view s1, std::u16string_view s2) {
    if (caseSensitive) return s1 == s2;
    if (s1.size() != s2.size()) return false;
    for (size_t i = 0; i < s1.size(); ++i)
        if (LowerAscii(s1[i]) != LowerAscii(s2[i])) return false;
    return true;
}

// The tokenizer. p is the position, cur the current node (null before the
// first element). Each round:
//  1. a text run up to the next "<" is appended to the current node's value;
//  2. CDATA sections are text too, appended the same way;
//  3. the name (name characters) after "<"; a closing tag has an empty name;
//  4. a non-empty name makes a new node below the current one (the first
//     one takes over the root) and it becomes current; "<!--" makes a comment
//     node that does not stay current;
//  5. the attribute text, up to ">" or a "/" outside double quotes, is split
//     into attribute nodes;
//  6. every "/" (a closing tag or the end of "/>") closes the current node,
//     and the text after that tag's ">" up to the next tag is appended to
//     the node that is current after it.
// Closing tags are not matched against the open element's name.
void TDTXMLEngine::ParseXMLFromString(std::u16string_view text) { Parse(text); }

template <class C>
void TDTXMLEngine::Parse(std::basic_string_view<C> text) {
    using T = TText<C>;
    constexpr size_t npos = std::basic_string_view<C>::npos;
    uint64_t maxNodes = maxNodes_;
    if (maxNodes == 0) {
        TWorkBudget* budget = CurrentWorkBudget();
        maxNodes = budget ? budget->MaxXmlNodesPerPart() : TDTXMLTree::kDefaultMaxNodes;
    }
    tree_.Reset();
    tree_.SetMaxNodes(maxNodes);
    TDTXMLItem& root = tree_.Root();
    std::u16string scratch;
    // Every scan stops at a NUL, and so does the parse.
    size_t nul = text.find(C(0));
    if (nul != npos) text = text.substr(0, nul);
    const size_t n = text.size();
    size_t p = 0;
    TDTXMLItem* cur = nullptr;
    int flattened = 0;  // open elements kept beside the deepest one (depth limit)

    auto appendText = [&](size_t from, size_t to) {
        if (!cur || to <= from) return;
        std::u16string_view piece = T::Piece(text, from, to, scratch);
        if (!keepTextRuns_) {
            cur->AppendValue(piece);
            return;
        }
        // A text node is a leaf, so it may sit one level below the limit.
        TDTXMLItem* run = cur->Items.AddItem(cur);
        run->Kind = ikText;
        run->SetValue(piece);
    };
    // The node a new child goes below: the current one, or beside it when the
    // current one is at the depth limit.
    auto newNode = [&]() -> TDTXMLItem* {
        if (!cur) return &root;
        TDTXMLItem* parent = cur->Level >= kMaxXmlDepth ? cur->ParentItem : cur;
        TDTXMLItem* node = parent->Items.AddItem(parent);
        node->ValueOffset = static_cast<uint32_t>(parent->Value.size());
        return node;
    };

    while (p < n) {
        // 1. Text run.
        while (p < n && text[p] == u'>') ++p;
        size_t lt = text.find(C('<'), p);
        if (lt == npos) lt = n;
        appendText(p, lt);
        p = lt < n ? lt + 1 : n;
        if (p >= n) break;

        // 2. CDATA: its content is text of the current element.
        if (StartsWith(text, p, "![CDATA[")) {
            size_t start = p + 8;
            size_t end = T::Find(text, "]]>", start);
            if (end == npos) end = n;
            appendText(start, end);
            p = end < n ? end + 3 : n;
            continue;
        }

        // 3. Tag name.
        size_t nameStart = p;
        while (p < n && IsNameChar(text[p])) ++p;
        // Names are ASCII, so their pieces are plain widenings.
        std::u16string_view name = T::Piece(text, nameStart, p, scratch);

        if (!name.empty() && name.substr(0, 3) == u"!--") {
            // 4. Comment: the text from "!--" to the "--" of "-->".
            TDTXMLItem* node = newNode();
            node->SetTagName(u"Comment");
            node->Kind = ikComment;
            size_t close = T::Find(text, "-->", nameStart + 3);
            if (close == npos) {
                node->SetValue(name);
                p = n;
            } else {
                node->SetValue(T::Piece(text, nameStart, close + 2, scratch));
                p = close + 3;
                while (p < n && IsBlank(text[p])) ++p;
            }
            // The comment does not stay open; before the first element it
            // occupied the root, and nothing is current again.
            if (node == &root) cur = nullptr;
            continue;
        }

        if (!name.empty()) {
            TDTXMLItem* node = newNode();
            if (cur && node->ParentItem != cur) ++flattened;
            node->SetTagName(name);
            node->Kind = ikProperty;
            cur = node;
        }

        // 5. Attribute text.
        size_t attrStart = p;
        bool inQuotes = false;
        while (p < n && text[p] != u'>' && (text[p] != u'/' || inQuotes)) {
            if (text[p] == u'"') inQuotes = !inQuotes;
            ++p;
        }
        if (cur && p > attrStart) AddAttributes(cur, T::Piece(text, attrStart, p, scratch));

        // 6. Closing tags, one level per "/".
        bool closed = false;
        while (p < n && text[p] == u'/' && cur) {
            if (p + 2 == n && text[p + 1] == u'>') {
                p = n;
                break;
            }
            if (flattened > 0) --flattened;
            else cur = cur->ParentItem;
            closed = true;
            size_t next = text.find(C('<'), p);
            if (next == npos) next = n;
            size_t gt = text.substr(0, next).find(C('>'), p);
            if (gt != npos) {
                size_t from = gt + 1;
                while (from < next && text[from] == u'>') ++from;
                appendText(from, next);
            }
            p = next < n ? next + 1 : n;
        }
        // Back onto the "<" of the tag that follows, for the next round.
        if (closed && p < n) --p;
    }
}

void TDTXMLEngine::LoadFromFile(const std::string& aFileName) { LoadFromBytes(ReadFileBytes(aFileName)); }

void TDTXMLEngine::LoadFromStream(TStream& aStream) { LoadFromBytes(aStream.ReadRest()); }

void TDTXMLEngine::LoadFromBytes(std::string_view bytes) {
    // UTF-8 (the usual case) is parsed as it stands; other encodings are
    // decoded first.
    if (std::optional<std::string_view> utf8 = Utf8XmlBytes(bytes)) {
        if (!utf8->empty() && utf8->back() == '\x1B') utf8->remove_suffix(1);
        Parse(*utf8);
        return;
    }
    std::u16string text = DecodeXmlBytes(bytes);
    if (!text.empty() && text.back() == u'\x1B') text.pop_back();
    ParseXMLFromString(text);
}

TDTXMLItem* TDTXMLEngine::GetItemByTag(TDTXMLItem* root, std::u16string_view xmlTag) {
    return FindItemByTag(root ? root : &tree_.Root(), xmlTag, false);
}

int CodePageOfXmlEncoding(std::string_view nameIn) {
    std::string name;
    for (char c : nameIn) name.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    struct Alias {
        const char* name;
        int codePage;
    };
    static const Alias kAliases[] = {
        {"utf-8", CP_UTF8},        {"utf8", CP_UTF8},         {"us-ascii", CP_UTF8},
        {"ascii", CP_UTF8},        {"utf-16", CP_UTF16LE},    {"utf-16le", CP_UTF16LE},
        {"utf-16be", CP_UTF16BE},  {"koi8-r", 20866},         {"koi8-u", 21866},
        {"latin1", 28591},         {"shift_jis", 932},        {"sjis", 932},
        {"windows-31j", 932},      {"gb2312", 936},           {"gbk", 936},
        {"big5", 950},             {"euc-kr", 949},           {"ks_c_5601-1987", 949},
        {"ibm866", 866},           {"cp866", 866},            {"ibm437", 437},
        {"cp437", 437},            {"ibm850", 850},           {"cp850", 850},
        {"macintosh", 10000},      {"x-mac-roman", 10000},
    };
    for (const Alias& a : kAliases)
        if (name == a.name) return a.codePage;
    auto numberAfter = [&](std::string_view prefix) -> int {
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return -1;
        int v = 0;
        for (size_t i = prefix.size(); i < name.size(); ++i) {
            if (name[i] < '0' || name[i] > '9' || v > 100000) return -1;
            v = v * 10 + (name[i] - '0');
        }
        return v;
    };
    for (const char* prefix : {"windows-", "cp", "x-cp"}) {
        int v = numberAfter(prefix);
        if (v >= 1250 && v <= 1258) return v;
        if (v == 874) return 874;
    }
    for (const char* prefix : {"iso-8859-", "iso8859-", "iso_8859-"}) {
        int v = numberAfter(prefix);
        if (v >= 1 && v <= 16) return 28590 + v;
    }
    return 0;
}

namespace {

// The code page the bytes are in, from a byte-order mark or the XML
// declaration (UTF-8 when neither says otherwise); skip is the mark's length.
int XmlBytesCodePage(std::string_view bytes, size_t& skip) {
    skip = 0;
    auto u8 = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 2 && u8(0) == 0xFF && u8(1) == 0xFE)
        return skip = 2, CP_UTF16LE;
    if (bytes.size() >= 2 && u8(0) == 0xFE && u8(1) == 0xFF) return skip = 2, CP_UTF16BE;
    if (bytes.size() >= 3 && u8(0) == 0xEF && u8(1) == 0xBB && u8(2) == 0xBF) return skip = 3, CP_UTF8;
    // UTF-16 without a mark shows itself in the "<?" of the declaration.
    if (bytes.size() >= 4 && bytes.substr(0, 4) == std::string_view("<\0?\0", 4))
        return CP_UTF16LE;
    if (bytes.size() >= 4 && bytes.substr(0, 4) == std::string_view("\0<\0?", 4)) return CP_UTF16BE;
    // Otherwise the declaration's encoding, when it names one we know.
    int codePage = CP_UTF8;
    if (bytes.substr(0, 5) == "<?xml") {
        std::string_view decl = bytes.substr(0, bytes.find("?>", 0));
        if (decl.size() > 512) decl = decl.substr(0, 512);
        size_t at = decl.find("encoding");
        if (at != std::string_view::npos) {
            size_t q = decl.find_first_of("\"'", at);
            if (q != std::string_view::npos) {
                size_t e = decl.find(decl[q], q + 1);
                if (e != std::string_view::npos) {
                    int cp = CodePageOfXmlEncoding(decl.substr(q + 1, e - q - 1));
                    // A declaration that says UTF-16 over 8-bit bytes is wrong.
                    if (cp != 0 && cp != CP_UTF16LE && cp != CP_UTF16BE && IsCodePageSupported(cp))
                        codePage = cp;
                }
            }
        }
    }
    return codePage;
}

std::optional<std::string_view> Utf8XmlBytes(std::string_view bytes) {
    size_t skip;
    if (XmlBytesCodePage(bytes, skip) != CP_UTF8) return std::nullopt;
    return bytes.substr(skip);
}

}  // namespace

std::u16string DecodeXmlBytes(std::string_view bytes) {
    size_t skip;
    int codePage = XmlBytesCodePage(bytes, skip);
    bytes = bytes.substr(skip);
    if (codePage == CP_UTF8) return Utf8Text(bytes);
    // UTF-16 ignores an odd last byte.
    if (codePage == CP_UTF16LE || codePage == CP_UTF16BE) bytes = bytes.substr(0, bytes.size() & ~size_t{1});
    return MultiByteToWide(bytes, codePage);
}

TDateTime XMLStringToDateTime(std::u16string_view s) {
    if (s.empty()) return 0;
    // Characters [from, from + len) of s (1-based), as a whole number; -1 when
    // they are missing or not all digits.
    auto field = [&](size_t from, size_t len) -> int {
        if (s.size() < from - 1 + len) return -1;
        int v = 0;
        for (size_t i = from - 1; i < from - 1 + len; ++i) {
            if (s[i] < u'0' || s[i] > u'9') return -1;
            v = v * 10 + (s[i] - u'0');
        }
        return v;
    };
    TCalendarTime t;
    t.Year = field(1, 4);
    t.Month = field(6, 2);
    t.Day = field(9, 2);
    t.Hour = field(12, 2);
    t.Minute = field(15, 2);
    t.Second = field(18, 2);
    if (t.Year < 1 || t.Month < 1 || t.Month > 12 || t.Day < 1 || t.Hour < 0 || t.Hour > 23 ||
        t.Minute < 0 || t.Minute > 59 || t.Second < 0 || t.Second > 59)
        return 0;
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (t.Year % 4 == 0 && t.Year % 100 != 0) || t.Year % 400 == 0;
    int days = kDays[t.Month - 1] + (t.Month == 2 && leap ? 1 : 0);
    if (t.Day > days) return 0;
    return EncodeDateTime(t);
}

}  // namespace quillmark
