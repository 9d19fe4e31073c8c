// PDF syntax below the object layer's text rules: a lexer for the tokens of
// object and content-stream text, and a parser for direct objects (numbers,
// names, strings, arrays, dictionaries, references). Font dictionaries,
// encodings, the page tree and content operands are read through it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillmark {

enum class PdfToken {
    End,
    Number,
    Name,        // "/Name" (text keeps the "/"; #xx escapes are not decoded)
    String,      // "(...)" with balanced parentheses and escapes
    HexString,   // "<...>"
    ArrayOpen,   // "["
    ArrayClose,  // "]"
    DictOpen,    // "<<"
    DictClose,   // ">>"
    Keyword,     // any other run of regular characters: operators, true, R, obj
};

class PdfLexer {
public:
    explicit PdfLexer(std::string_view text, size_t pos = 0) : text_(text), pos_(pos) {}
    // Skips white space and comments and reads one token; its text is
    // text().substr(begin, end - begin). A string that is not closed runs to
    // the end of the text.
    PdfToken Next();
    size_t Begin() const { return begin_; }
    size_t Position() const { return pos_; }
    void SetPosition(size_t pos) { pos_ = pos; }
    std::string_view TokenText() const { return text_.substr(begin_, pos_ - begin_); }
    std::string_view Text() const { return text_; }

private:
    std::string_view text_;
    size_t pos_ = 0;
    size_t begin_ = 0;
};

struct PdfDictEntry;

struct PdfObject {
    enum Kind { Null, Boolean, Number, Name, String, Array, Dictionary, Reference };
    Kind kind = Null;
    double number = 0;          // Number; Boolean as 0/1
    std::string text;           // Name without "/" ("#xx" decoded); String bytes
    int32_t ref = 0;            // Reference: object number
    std::vector<PdfObject> items;                            // Array
    std::vector<PdfDictEntry> entries;  // Dictionary (names without "/")

    bool IsName(std::string_view n) const { return kind == Name && text == n; }
    // Dictionary entry by name (exact case), or null.
    const PdfObject* Get(std::string_view key) const;
    int64_t AsInt(int64_t def = 0) const;
};

struct PdfDictEntry {
    std::string first;  // the key
    PdfObject second;
};

// Parses one direct object at the lexer's position ("N G R" becomes a
// Reference). Nesting deeper than a fixed limit and malformed input give a
// Null object; never throws.
PdfObject PdfParseObject(PdfLexer& lexer, int depth = 0);

// The object of an indirect object's text ("N G obj <object> ..."); when
// the text has no header, the first object in it.
PdfObject PdfParseObjectBody(std::string_view objectText);

// Parses the dictionary that starts at the first "<<" of text at or after
// pos; dictText gets its text, from "<<" through its ">>" (to the end of
// text when it is not closed). Null (and an empty dictText) when text has no
// "<<" there.
PdfObject PdfParseDictionaryAt(std::string_view text, size_t pos, std::string_view& dictText);

// Decodes a name token's "#xx" escapes (the leading "/" removed).
std::string PdfDecodeName(std::string_view token);

// ASCII case-insensitive equality (names, operators).
bool PdfEqualsIgnoreCase(std::string_view a, std::string_view b);

// Decimal number with "." as the decimal point; def when text is not a
// number. A leading sign and surrounding white space are accepted.
double StrToFloatDef(std::string_view text, double def);

}  // namespace quillmark
