#include "quillmark/pdf/pdf_objects.h"

#include <limits>

namespace quillmark {

namespace {

bool IsLineSpace(char c) { return c == '\n' || c == '\r' || c == ' '; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Characters that end a value read by the value rule.
bool IsValueEnd(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' ' || c == '/' || c == ']' || c == '\f' || c == '\0'; }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string PdfLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

size_t PdfFindKey(std::string_view text, std::string_view key, size_t from) {
    if (key.empty()) return std::string_view::npos;
    while (from <= text.size()) {
        size_t p = text.find(key, from);
        if (p == std::string_view::npos) return p;
        size_t after = p + key.size();
        // A key that is itself a name ("/w") must not match a longer name
        // ("/widths"); a key ending in a delimiter always matches.
        if (after >= text.size() || !PdfIsRegular(key.back()) || !PdfIsRegular(text[after])) return p;
        from = p + 1;
    }
    return std::string_view::npos;
}

size_t PdfFindEntryKey(std::string_view text, std::string_view key) {
    if (key.empty()) return std::string_view::npos;
    int depth = 0, arrays = 0;
    bool opened = false;
    size_t i = 0, n = text.size();
    while (i < n) {
        char c = text[i];
        if (c == '(') {
            // A literal string: balanced parentheses, backslash escapes.
            int parens = 1;
            for (++i; i < n && parens > 0; ++i) {
                if (text[i] == '\\') ++i;
                else if (text[i] == '(') ++parens;
                else if (text[i] == ')') --parens;
            }
        } else if (c == '%') {
            while (i < n && text[i] != '\n' && text[i] != '\r') ++i;
        } else if (c == '<' && i + 1 < n && text[i + 1] == '<') {
            ++depth;
            opened = true;
            i += 2;
        } else if (c == '>' && i + 1 < n && text[i + 1] == '>') {
            // The end of the outermost dictionary ends the search.
            if (--depth <= 0 && opened) return std::string_view::npos;
            i += 2;
        } else if (c == '<') {
            size_t close = text.find('>', i + 1);
            i = close == std::string_view::npos ? n : close + 1;
        } else if (c == '[') {
            ++arrays, ++i;
        } else if (c == ']') {
            if (arrays > 0) --arrays;
            ++i;
        } else if (c == '/') {
            size_t after = i + key.size();
            if (depth <= 1 && arrays == 0 && text.compare(i, key.size(), key) == 0 &&
                (after >= n || !PdfIsRegular(key.back()) || !PdfIsRegular(text[after])))
                return i;
            // Over the rest of this name.
            for (++i; i < n && PdfIsRegular(text[i]); ++i) {
            }
        } else {
            ++i;
        }
    }
    return std::string_view::npos;
}

namespace {

std::string ValueAt(std::string_view text, size_t p, std::string_view key) {
    if (p == std::string_view::npos) return {};
    size_t i = p + key.size();
    // Leading blanks, zeros and an opening "[" are not part of the value.
    while (i < text.size() && (PdfIsWhite(text[i]) || text[i] == '0' || text[i] == '[')) ++i;
    if (i >= text.size()) return {};
    size_t start = i;
    int parens = 0;
    bool escaped = false;
    for (size_t j = i; j < text.size(); ++j) {
        char c = text[j];
        // The first character is exempt only as the "/" of a name.
        if ((j > start || c != '/') && parens == 0) {
            if (IsValueEnd(c)) return std::string(text.substr(start, j - start));
            if ((c == '<' || c == '>') && j + 1 < text.size() && text[j + 1] == c)
                return std::string(text.substr(start, j - start));
        }
        if (escaped) {
            escaped = false;
        } else if (parens > 0 && c == '\\') {
            escaped = true;
        } else if (c == '(') {
            ++parens;
        } else if (c == ')' && parens > 0) {
            --parens;
        }
    }
    return std::string(text.substr(start));
}

std::string BracketValueAt(std::string_view text, size_t p, std::string_view key) {
    if (p == std::string_view::npos) return {};
    std::string_view rest = text.substr(p + key.size());
    size_t end = rest.find(">>");
    size_t slash = rest.find('/');
    if (slash != std::string_view::npos && (end == std::string_view::npos || slash < end)) end = slash;
    size_t open = rest.find('[');
    if (open != std::string_view::npos && (end == std::string_view::npos || open < end)) {
        size_t close = rest.find(']', open + 1);
        if (close == std::string_view::npos) return std::string(rest.substr(open + 1));
        return std::string(rest.substr(open + 1, close - open - 1));
    }
    if (end == std::string_view::npos) return std::string(rest);
    return std::string(rest.substr(0, end));
}

}  // namespace

std::string PdfValue(std::string_view text, std::string_view key) {
    return ValueAt(text, PdfFindKey(text, key), key);
}

std::string PdfEntryValue(std::string_view text, std::string_view key) {
    return ValueAt(text, PdfFindEntryKey(text, key), key);
}

std::string PdfBracketValue(std::string_view text, std::string_view key) {
    return BracketValueAt(text, PdfFindKey(text, key), key);
}

std::string PdfEntryBracketValue(std::string_view text, std::string_view key) {
    return BracketValueAt(text, PdfFindEntryKey(text, key), key);
}

bool PdfNextReference(std::string_view text, size_t& pos, int32_t& objNumber) {
    size_t n = text.size();
    for (size_t i = pos; i < n; ++i) {
        char c = text[i];
        if (c == '/') return false;
        if (c != 'r' && c != 'R') continue;
        if (i + 1 < n && PdfIsRegular(text[i + 1])) continue;
        // Walk back over: white, generation digits, white, number digits.
        size_t j = i;
        size_t w = 0;
        while (j > pos && PdfIsWhite(text[j - 1])) --j, ++w;
        if (w == 0) continue;
        size_t genEnd = j;
        while (j > pos && IsDigit(text[j - 1])) --j;
        if (j == genEnd || genEnd - j > 5) continue;
        w = 0;
        while (j > pos && PdfIsWhite(text[j - 1])) --j, ++w;
        if (w == 0) continue;
        size_t numEnd = j;
        while (j > pos && IsDigit(text[j - 1])) --j;
        if (j == numEnd || numEnd - j > 9) continue;
        if (j > pos && PdfIsRegular(text[j - 1]) && text[j - 1] != '[') continue;
        int64_t value = PdfToInt(text.substr(j, numEnd - j), -1);
        if (value < 0 || value > std::numeric_limits<int32_t>::max()) continue;
        objNumber = static_cast<int32_t>(value);
        pos = i + 1;
        return true;
    }
    pos = n;
    return false;
}

bool PdfNextReference(std::string& text, int32_t& objNumber) {
    size_t pos = 0;
    if (!PdfNextReference(std::string_view(text), pos, objNumber)) return false;
    text.erase(0, pos);
    return true;
}

size_t PdfFindLastAtLineStart(std::string_view text, std::string_view key) {
    for (size_t from = text.size();;) {
        size_t q = text.rfind(key, from);
        if (q == std::string_view::npos) return q;
        if (q == 0 || text[q - 1] == '\n' || text[q - 1] == '\r') return q;
        from = q - 1;
    }
}

std::string GetRefBody(std::string_view text, std::string_view key, bool fromEnd) {
    if (key.empty()) return {};
    size_t p = std::string_view::npos;
    if (!fromEnd) {
        p = text.find(key);
    } else {
        p = PdfFindLastAtLineStart(text, key);
    }
    if (p == std::string_view::npos) return {};
    size_t i = p + key.size();
    while (i < text.size() && IsLineSpace(text[i])) ++i;
    std::string_view rest = text.substr(i);
    size_t end = rest.size();
    static constexpr struct {
        std::string_view name;
        bool includeInBody;
    } kSectionEnd[] = {{"%%", false}, {"startxref", false}, {"trailer", false}, {"endobj", true}};
    for (const auto& s : kSectionEnd) {
        size_t q = rest.find(s.name);
        if (q == std::string_view::npos) continue;
        size_t cut = s.includeInBody ? q + s.name.size() : q;
        if (q < end && cut < end) end = cut;
        else if (q < end) end = cut;
    }
    if (end > rest.size()) end = rest.size();
    while (end > 0 && IsLineSpace(rest[end - 1])) --end;
    return std::string(rest.substr(0, end));
}

std::string GetItemType(std::string_view text) { return PdfValue(PdfLower(text), "/type"); }

std::string GetLastLine(std::string& text, int32_t maxLength, bool deleteLine) {
    int64_t len = static_cast<int64_t>(text.size());
    int64_t m = maxLength <= 0 ? len - 1 : maxLength;
    int64_t walked = 0;
    int64_t i = len - 1;
    int64_t lineEnd = -1, lineStart = -1;
    while (i >= 0 && walked < m + 1) {
        char c = text[static_cast<size_t>(i)];
        if (IsLineSpace(c)) {
            if (lineEnd >= 0) break;  // the line is complete
        } else {
            if (lineEnd < 0) lineEnd = i;
            lineStart = i;
        }
        ++walked;
        --i;
    }
    std::string line;
    if (lineEnd >= 0) line = text.substr(static_cast<size_t>(lineStart), static_cast<size_t>(lineEnd - lineStart + 1));
    if (deleteLine && walked >= 1 && m > 0) {
        int64_t start = len - walked - 1;  // 0-based form of position (length - W)
        if (start >= 0 && start < len) text.erase(static_cast<size_t>(start), static_cast<size_t>(m));
    }
    return line;
}

std::string_view PdfTrim(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && PdfIsWhite(text[b])) ++b;
    while (e > b && PdfIsWhite(text[e - 1])) --e;
    return text.substr(b, e - b);
}

bool PdfReadDigits(std::string_view text, size_t& pos, int64_t& value) {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max() / 10 - 10;
    size_t i = pos;
    int64_t v = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i)
        if (v < kMax) v = v * 10 + (text[i] - '0');
    if (i == pos) return false;
    pos = i;
    value = v;
    return true;
}

bool PdfTryToInt(std::string_view text, int64_t& value) {
    text = PdfTrim(text);
    size_t i = 0;
    bool neg = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) neg = text[i++] == '-';
    int64_t v = 0;
    if (!PdfReadDigits(text, i, v) || i != text.size()) return false;
    value = neg ? -v : v;
    return true;
}

int64_t PdfToInt(std::string_view text, int64_t def) {
    int64_t v = 0;
    return PdfTryToInt(text, v) ? v : def;
}

bool PdfMatchObjectHeader(std::string_view s, size_t pos, size_t& after) {
    size_t i = pos;
    auto digits = [&]() {
        size_t start = i;
        while (i < s.size() && IsDigit(s[i]) && i - start < 10) ++i;
        return i > start && (i >= s.size() || !IsDigit(s[i]));
    };
    auto white = [&]() {
        size_t start = i;
        while (i < s.size() && PdfIsWhite(s[i])) ++i;
        return i > start;
    };
    if (!digits() || !white() || !digits() || !white()) return false;
    if (s.substr(i, 3) != "obj") return false;
    if (i + 3 < s.size() && PdfIsRegular(s[i + 3])) return false;
    after = i + 3;
    return true;
}

std::string PdfDecodeString(std::string_view text, size_t& consumed) {
    consumed = 0;
    std::string out;
    if (text.empty()) return out;
    if (text[0] == '<') {
        int pending = -1;
        size_t i = 1;
        for (; i < text.size() && text[i] != '>'; ++i) {
            int d = HexDigit(text[i]);
            if (d < 0) continue;  // white space and stray characters
            if (pending < 0) {
                pending = d;
            } else {
                out.push_back(static_cast<char>(pending * 16 + d));
                pending = -1;
            }
        }
        if (pending >= 0) out.push_back(static_cast<char>(pending * 16));
        consumed = i < text.size() ? i + 1 : i;
        return out;
    }
    if (text[0] != '(') return out;
    int depth = 1;
    size_t i = 1;
    while (i < text.size()) {
        char c = text[i++];
        if (c == '\\') {
            if (i >= text.size()) break;
            char e = text[i++];
            switch (e) {
                case 'n': out.push_back('\n'); break;
                case 'r': out.push_back('\r'); break;
                case 't': out.push_back('\t'); break;
                case 'b': out.push_back('\b'); break;
                case 'f': out.push_back('\f'); break;
                case '\r':
                    if (i < text.size() && text[i] == '\n') ++i;
                    break;
                case '\n': break;
                default:
                    if (e >= '0' && e <= '7') {
                        int v = e - '0';
                        for (int k = 0; k < 2 && i < text.size() && text[i] >= '0' && text[i] <= '7'; ++k)
                            v = v * 8 + (text[i++] - '0');
                        out.push_back(static_cast<char>(v & 0xFF));
                    } else {
                        out.push_back(e);
                    }
            }
            continue;
        }
        if (c == '(') ++depth;
        if (c == ')' && --depth == 0) break;
        out.push_back(c);
    }
    consumed = i;
    return out;
}

}  // namespace quillmark
