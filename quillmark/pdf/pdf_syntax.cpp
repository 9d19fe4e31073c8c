#include "quillmark/pdf/pdf_syntax.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "quillmark/pdf/pdf_objects.h"

namespace quillmark {

namespace {

constexpr int kMaxNesting = 32;


int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool LooksNumeric(std::string_view s) {
    if (s.empty()) return false;
    bool digit = false;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c >= '0' && c <= '9') digit = true;
        else if (!(c == '.' || ((c == '-' || c == '+') && i == 0))) return false;
    }
    return digit;
}

}  // namespace

PdfToken PdfLexer::Next() {
    size_t n = text_.size();
    while (pos_ < n) {
        char c = text_[pos_];
        if (PdfIsWhite(c)) {
            ++pos_;
        } else if (c == '%') {
            while (pos_ < n && text_[pos_] != '\n' && text_[pos_] != '\r') ++pos_;
        } else {
            break;
        }
    }
    begin_ = pos_;
    if (pos_ >= n) return PdfToken::End;
    char c = text_[pos_];
    switch (c) {
        case '[': ++pos_; return PdfToken::ArrayOpen;
        case ']': ++pos_; return PdfToken::ArrayClose;
        case '{': case '}': ++pos_; return PdfToken::Keyword;
        case ')': ++pos_; return PdfToken::Keyword;  // stray: a one-character keyword
        case '>':
            ++pos_;
            if (pos_ < n && text_[pos_] == '>') {
                ++pos_;
                return PdfToken::DictClose;
            }
            return PdfToken::Keyword;
        case '<':
            if (pos_ + 1 < n && text_[pos_ + 1] == '<') {
                pos_ += 2;
                return PdfToken::DictOpen;
            }
            while (pos_ < n && text_[pos_] != '>') ++pos_;
            if (pos_ < n) ++pos_;
            return PdfToken::HexString;
        case '(': {
            int depth = 0;
            while (pos_ < n) {
                char d = text_[pos_++];
                if (d == '\\') {
                    if (pos_ < n) ++pos_;
                } else if (d == '(') {
                    ++depth;
                } else if (d == ')' && --depth == 0) {
                    break;
                }
            }
            return PdfToken::String;
        }
        case '/':
            ++pos_;
            while (pos_ < n && PdfIsRegular(text_[pos_])) ++pos_;
            return PdfToken::Name;
        default:
            while (pos_ < n && PdfIsRegular(text_[pos_])) ++pos_;
            return LooksNumeric(TokenText()) ? PdfToken::Number : PdfToken::Keyword;
    }
}

const PdfObject* PdfObject::Get(std::string_view key) const {
    for (const auto& e : entries)
        if (e.first == key) return &e.second;
    return nullptr;
}

int64_t PdfObject::AsInt(int64_t def) const {
    if (kind != Number || !std::isfinite(number) || std::fabs(number) > 2e9) return def;
    return static_cast<int64_t>(number);
}

std::string PdfDecodeName(std::string_view token) {
    if (!token.empty() && token[0] == '/') token.remove_prefix(1);
    std::string out;
    out.reserve(token.size());
    for (size_t i = 0; i < token.size(); ++i) {
        if (token[i] == '#' && i + 2 < token.size() + 0 && HexValue(token[i + 1]) >= 0 && HexValue(token[i + 2]) >= 0) {
            out.push_back(static_cast<char>(HexValue(token[i + 1]) * 16 + HexValue(token[i + 2])));
            i += 2;
        } else {
            out.push_back(token[i]);
        }
    }
    return out;
}

bool PdfEqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

double StrToFloatDef(std::string_view text, double def) {
    std::string s(PdfTrim(text));
    // A decimal comma (as some locales write it) reads as a point.
    size_t comma = s.find(',');
    if (comma != std::string::npos) s[comma] = '.';
    if (!LooksNumeric(s) || std::count(s.begin(), s.end(), '.') > 1) return def;
    // from_chars reads "." whatever the C locale says (strtod would stop at it
    // under a comma-decimal locale); it takes no leading '+'.
    const char* first = s.data() + (s[0] == '+' ? 1 : 0);
    const char* last = s.data() + s.size();
    double v = 0;
    auto r = std::from_chars(first, last, v);
    if (r.ec == std::errc::result_out_of_range) {
        // Too large is no number; too small to represent is zero (as strtod
        // has it). Only digits and one point are left: any non-zero digit
        // before the point makes the value large.
        size_t point = std::string_view(first, last - first).find('.');
        std::string_view whole(first, point == std::string_view::npos ? last - first : point);
        if (whole.find_first_of("123456789") != std::string_view::npos) return def;
        return s[0] == '-' ? -0.0 : 0.0;
    }
    if (r.ec != std::errc() || r.ptr != last) return def;
    return std::isfinite(v) ? v : def;
}

PdfObject PdfParseObject(PdfLexer& lexer, int depth) {
    PdfObject obj;
    if (depth > kMaxNesting) return obj;
    PdfToken t = lexer.Next();
    std::string_view tok = lexer.TokenText();
    switch (t) {
        case PdfToken::Number: {
            obj.kind = PdfObject::Number;
            obj.number = StrToFloatDef(tok, 0);
            // "N G R": look ahead for a reference.
            size_t save = lexer.Position();
            if (tok.find('.') == std::string_view::npos && tok[0] != '-' && tok[0] != '+') {
                PdfToken t2 = lexer.Next();
                std::string_view gen = lexer.TokenText();
                if (t2 == PdfToken::Number && gen.find_first_not_of("0123456789") == std::string_view::npos) {
                    PdfToken t3 = lexer.Next();
                    if (t3 == PdfToken::Keyword && lexer.TokenText() == "R" && obj.number <= 2147483647.0) {
                        obj.kind = PdfObject::Reference;
                        obj.ref = static_cast<int32_t>(obj.number);
                        return obj;
                    }
                }
            }
            lexer.SetPosition(save);
            return obj;
        }
        case PdfToken::Name:
            obj.kind = PdfObject::Name;
            obj.text = PdfDecodeName(tok);
            return obj;
        case PdfToken::String:
        case PdfToken::HexString: {
            size_t used = 0;
            obj.kind = PdfObject::String;
            obj.text = PdfDecodeString(tok, used);
            return obj;
        }
        case PdfToken::ArrayOpen:
            obj.kind = PdfObject::Array;
            while (true) {
                size_t save = lexer.Position();
                PdfToken p = lexer.Next();
                if (p == PdfToken::End || p == PdfToken::ArrayClose) break;
                if (p == PdfToken::DictClose) continue;
                lexer.SetPosition(save);
                obj.items.push_back(PdfParseObject(lexer, depth + 1));
                if (depth + 1 > kMaxNesting) break;
            }
            return obj;
        case PdfToken::DictOpen:
            obj.kind = PdfObject::Dictionary;
            while (true) {
                PdfToken k = lexer.Next();
                if (k == PdfToken::End || k == PdfToken::DictClose) break;
                if (k != PdfToken::Name) continue;  // junk between entries
                std::string key = PdfDecodeName(lexer.TokenText());
                size_t save = lexer.Position();
                PdfToken v = lexer.Next();
                if (v == PdfToken::DictClose || v == PdfToken::End) break;
                lexer.SetPosition(save);
                obj.entries.push_back(PdfDictEntry{std::move(key), PdfParseObject(lexer, depth + 1)});
                if (depth + 1 > kMaxNesting) break;
            }
            return obj;
        case PdfToken::Keyword:
            if (tok == "true" || tok == "false") {
                obj.kind = PdfObject::Boolean;
                obj.number = tok == "true" ? 1 : 0;
            }
            return obj;
        default:
            return obj;
    }
}

PdfObject PdfParseDictionaryAt(std::string_view text, size_t pos, std::string_view& dictText) {
    size_t open = text.find("<<", pos);
    if (open == std::string_view::npos) {
        dictText = {};
        return {};
    }
    PdfLexer lexer(text, open);
    PdfObject dict = PdfParseObject(lexer);
    dictText = text.substr(open, std::min(lexer.Position(), text.size()) - open);
    return dict;
}

PdfObject PdfParseObjectBody(std::string_view objectText) {
    size_t after = 0;
    size_t start = 0;
    while (start < objectText.size() && PdfIsWhite(objectText[start])) ++start;
    PdfLexer lexer(objectText, PdfMatchObjectHeader(objectText, start, after) ? after : start);
    return PdfParseObject(lexer);
}

}  // namespace quillmark
