#include "quillmark/pdf/pdf_content.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>

#include "quillmark/pdf/pdf_encodings.h"
#include "quillmark/pdf/pdf_fonts.h"
#include "quillmark/pdf/pdf_glyph_tables.h"
#include "quillmark/pdf/pdf_objects.h"
#include "quillmark/pdf/pdf_pages.h"
#include "quillmark/pdf/pdf_syntax.h"

namespace quillmark {

namespace {

// A TJ adjustment (thousandths of the font size; negative moves right) more
// negative than this is a gap between words. Kerning moves glyphs together
// (positive values) or apart by far less; word gaps of justified text set
// this way run from about -190 upwards.
constexpr double kWordSpaceAdjustment = -150;
// Forms drawn inside forms.
constexpr int kMaxFormDepth = 8;
// A gap between two strings on one line becomes a word space when it is
// wider than this fraction of the font's space: glyphs placed one by one sit
// a few hundredths of a space apart (rounding), words a whole space. Over
// the test corpora every fraction from 0.2 to 0.8 reads the same words
// (below, glyphs placed apart; above, narrow justified spaces go missing).
constexpr double kSpaceFraction = 0.5;
// A string drawn again with the same text within this fraction of the font
// size of where it was drawn before (a fifth of a typical glyph's width) is
// one string overprinted: fake bold, shadows drawn in the same colour.
constexpr double kOverprint = 0.1;
// Graphics states saved (q) at most; deeper saves are counted, not kept.
constexpr size_t kMaxSavedStates = 256;
// Strings whose baselines are further apart than this fraction of the font
// size are on different lines.
constexpr double kSameLine = 0.5;
// Text positions are kept within this range; damaged values beyond it (or
// not finite) put the text matrix back to the identity.
constexpr double kMaxCoordinate = 1e9;
// Operands (array elements included) gathered without an operator at most:
// one operator takes a few; damaged content that never names one must not
// grow the stack without end.
constexpr size_t kMaxOperands = size_t{1} << 18;

// A number token's value. Plain decimals of up to 15 digits ("-12.5") are
// converted here: the digits as an integer, divided once by a power of ten,
// both exact in a double, give the correctly rounded value. Anything else
// goes the general way.
double NumberValue(std::string_view tok) {
    static constexpr double kPow10[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    size_t i = !tok.empty() && (tok[0] == '-' || tok[0] == '+') ? 1 : 0;
    int64_t mantissa = 0;
    int digits = 0, decimals = -1;
    bool plain = i < tok.size();
    for (size_t k = i; k < tok.size() && plain; ++k) {
        char c = tok[k];
        if (c >= '0' && c <= '9') {
            mantissa = mantissa * 10 + (c - '0');
            if (decimals >= 0) ++decimals;
            plain = ++digits <= 15;
        } else if (c == '.' && decimals < 0) {
            decimals = 0;
        } else {
            plain = false;
        }
    }
    if (plain && digits > 0) {
        double v = static_cast<double>(mantissa) / kPow10[decimals > 0 ? decimals : 0];
        return tok[0] == '-' ? -v : v;
    }
    return StrToFloatDef(tok, 0);
}

// One operand of a content-stream operator: a view of its text in the
// content (an array's elements follow each other in the stack's element
// list). Numbers are converted when an operator uses them: most belong to
// path operators, which the text does not need.
struct Operand {
    enum Kind : uint8_t { Number, Name, String, Array, Dictionary, Other };
    Kind kind = Other;
    uint32_t first = 0, count = 0;  // Array: its elements
    std::string_view text;  // Number ("-1.5"), Name ("/F1"), String ("(..)", "<..>"), Dictionary ("<<..>>")

    double Value() const { return kind == Number ? NumberValue(text) : 0; }
    // A number written without a decimal point.
    bool Whole() const { return kind == Number && text.find('.') == std::string_view::npos; }
};

// The operands read since the last operator, each token read once.
// Strings and numbers inside arrays (nested ones flattened) are kept as
// elements; other tokens inside arrays carry nothing the text needs.
class OperandStack {
public:
    void Clear() {
        top_.clear();
        elements_.clear();
        arrayDepth_ = dictDepth_ = 0;
    }
    size_t Size() const { return top_.size(); }
    bool Empty() const { return top_.empty(); }
    const Operand& operator[](size_t i) const { return top_[i]; }
    const Operand& Back() const { return top_.back(); }
    const Operand* Elements(const Operand& array) const { return elements_.data() + array.first; }

    // The i-th of an operator's n operands: the last n on the stack (fewer
    // when fewer were given, counted from the first); 0 when it is missing
    // or no number.
    double Num(size_t n, size_t i) const {
        size_t base = top_.size() > n ? top_.size() - n : 0;
        size_t k = base + i;
        return k < top_.size() ? top_[k].Value() : 0;
    }

    // Takes one token that is not an operator. False when the token is a
    // keyword that ends the operands (an operator): an array or dictionary
    // left open by damaged content ends there.
    bool Take(PdfLexer& lx, PdfToken t) {
        std::string_view tok = lx.TokenText();
        if (t == PdfToken::Keyword) {
            bool value = tok == "true" || tok == "false" || tok == "null";
            if (!(value && (arrayDepth_ > 0 || dictDepth_ > 0))) {
                CloseOpen(lx.Begin(), lx.Text());
                return false;
            }
            return true;
        }
        if (top_.size() + elements_.size() >= kMaxOperands) Clear();
        if (dictDepth_ > 0) {
            // A dictionary is kept as its text (parsed when an operator
            // needs it: marked-content properties).
            if (t == PdfToken::DictOpen) ++dictDepth_;
            else if (t == PdfToken::DictClose && --dictDepth_ == 0) {
                top_.back().text = lx.Text().substr(dictStart_, lx.Position() - dictStart_);
            }
            return true;
        }
        switch (t) {
            case PdfToken::DictOpen:
                if (arrayDepth_ > 0) {
                    // Dictionaries inside arrays are skipped.
                    SkipDictionary(lx);
                    return true;
                }
                dictDepth_ = 1;
                dictStart_ = lx.Begin();
                top_.emplace_back();
                top_.back().kind = Operand::Dictionary;
                return true;
            case PdfToken::ArrayOpen:
                if (arrayDepth_++ == 0) {
                    top_.emplace_back();
                    top_.back().kind = Operand::Array;
                    top_.back().first = static_cast<uint32_t>(elements_.size());
                }
                return true;
            case PdfToken::ArrayClose:
                if (arrayDepth_ > 0) --arrayDepth_;
                return true;
            default: break;
        }
        Operand o;
        o.text = tok;
        if (t == PdfToken::Number) o.kind = Operand::Number;
        else if (t == PdfToken::Name) o.kind = Operand::Name;
        else if (t == PdfToken::String || t == PdfToken::HexString) o.kind = Operand::String;
        if (arrayDepth_ == 0) {
            top_.push_back(o);
        } else if (o.kind == Operand::Number || o.kind == Operand::String) {
            elements_.push_back(o);
            ++top_.back().count;
        }
        return true;
    }

private:
    void CloseOpen(size_t end, std::string_view text) {
        if (dictDepth_ > 0) top_.back().text = text.substr(dictStart_, end - dictStart_);
        arrayDepth_ = dictDepth_ = 0;
    }
    static void SkipDictionary(PdfLexer& lx) {
        int depth = 1;
        while (depth > 0) {
            size_t at = lx.Position();
            PdfToken t = lx.Next();
            if (t == PdfToken::End) return;
            if (t == PdfToken::DictOpen) ++depth;
            else if (t == PdfToken::DictClose) --depth;
            else if (t == PdfToken::Keyword && lx.TokenText() != "true" && lx.TokenText() != "false" &&
                     lx.TokenText() != "null") {
                // An operator: the dictionary was never closed.
                lx.SetPosition(at);
                return;
            }
        }
    }

    std::vector<Operand> top_;
    std::vector<Operand> elements_;
    int arrayDepth_ = 0, dictDepth_ = 0;
    size_t dictStart_ = 0;
};

// The strings of a text-showing operator decoded to bytes, each once, and
// the TJ adjustments between them, in the order shown.
struct ShownPieces {
    struct Piece {
        bool isString = false;
        uint32_t offset = 0, length = 0;  // String: bytes[offset, offset + length)
        double adjust = 0;                 // adjustment, thousandths of the font size
    };
    std::vector<Piece> pieces;
    std::string bytes;

    void Clear() {
        pieces.clear();
        bytes.clear();
    }
    std::string_view Bytes(const Piece& p) const { return std::string_view(bytes).substr(p.offset, p.length); }
    void AddString(std::string_view token) {
        size_t used = 0;
        std::string b = PdfDecodeString(token, used);
        Piece p;
        p.isString = true;
        p.offset = static_cast<uint32_t>(bytes.size());
        p.length = static_cast<uint32_t>(b.size());
        bytes += b;
        pieces.push_back(p);
    }
    // Every string among the operands, in arrays or not, and the numbers
    // inside arrays (numbers outside are the spacing of ").
    void Fill(const OperandStack& ops) {
        Clear();
        for (size_t i = 0; i < ops.Size(); ++i) {
            const Operand& o = ops[i];
            if (o.kind == Operand::String) AddString(o.text);
            if (o.kind != Operand::Array) continue;
            const Operand* e = ops.Elements(o);
            for (uint32_t k = 0; k < o.count; ++k) {
                if (e[k].kind == Operand::String) AddString(e[k].text);
                else pieces.push_back(Piece{false, 0, 0, e[k].Value()});
            }
        }
    }
};

std::u16string DecodeBytes(std::string_view bytes, const TDTPDFFont* font, bool addSpace,
                           std::vector<TDTPDFFont::BlankRun>* blanks) {
    if (font) return font->DecodeText(bytes, addSpace, blanks);
    std::u16string out;
    for (unsigned char b : bytes)
        if (kWinAnsiEncoding[b]) out.push_back(kWinAnsiEncoding[b]);
    return out;
}

// How far a text-showing operator moves the pen without drawing text
// before its first character (lead) and after its last (trail): TJ
// adjustments and glyphs that give no text, in thousandths of the font
// size. A string without text has it all as lead.
struct BlankEdges {
    double lead = 0, trail = 0;
};

// The text of a string operator's pieces. A TJ adjustment that moves the
// pen by a word space stands for a space, and so does a run of glyphs that
// give no text (with the adjustments among them) wider than a fraction of
// the font's space: the text on either side is drawn that far apart.
std::u16string ShownText(const ShownPieces& shown, const TDTPDFFont* font, bool addSpace,
                         BlankEdges* edges = nullptr) {
    std::u16string out;
    bool wordSpace = false;
    double blank = 0;          // the pen's move since the last character
    bool blankGlyphs = false;  // part of it is glyphs
    double space = kSpaceFraction * (font ? font->SpaceWidth() : 250);
    std::vector<TDTPDFFont::BlankRun> runs;
    BlankEdges found;
    for (const ShownPieces::Piece& p : shown.pieces) {
        if (!p.isString) {
            if (p.adjust < kWordSpaceAdjustment && !out.empty()) wordSpace = true;
            blank -= p.adjust;
            continue;
        }
        runs.clear();
        std::u16string part = DecodeBytes(shown.Bytes(p), font, addSpace, &runs);
        size_t from = 0;
        for (size_t r = 0;; ++r) {
            size_t to = r < runs.size() ? std::min(runs[r].at, part.size()) : part.size();
            if (to > from) {
                if (out.empty()) {
                    found.lead = blank;
                } else if (((addSpace && from == 0) || wordSpace || (blankGlyphs && blank > space)) &&
                           out.back() != u' ' && part[from] != u' ') {
                    out.push_back(u' ');
                }
                out.append(part, from, to - from);
                wordSpace = blankGlyphs = false;
                blank = 0;
                from = to;
            }
            if (r >= runs.size()) break;
            blank += runs[r].width;
            blankGlyphs = blankGlyphs || runs[r].width > 0;
        }
    }
    if (out.empty()) found.lead = blank;
    else found.trail = blank;
    if (edges) *edges = found;
    return out;
}

// Skips an inline image: from after "BI" past its "ID" data and "EI".
void SkipInlineImage(PdfLexer& lx) {
    std::string_view text = lx.Text();
    while (true) {
        PdfToken t = lx.Next();
        if (t == PdfToken::End) return;
        if (t == PdfToken::Keyword && lx.TokenText() == "ID") break;
    }
    size_t pos = lx.Position() + 1;
    while (pos < text.size()) {
        size_t e = text.find("EI", pos);
        if (e == std::string_view::npos) break;
        bool before = e > 0 && PdfIsWhite(text[e - 1]);
        bool after = e + 2 >= text.size() || PdfIsWhite(text[e + 2]);
        if (before && after) {
            lx.SetPosition(e + 2);
            return;
        }
        pos = e + 2;
    }
    lx.SetPosition(text.size());
}

// A hyphen-minus, soft hyphen or hyphen ends text.
bool EndsWithHyphen(std::u16string_view text) {
    return !text.empty() && (text.back() == u'-' || text.back() == u'\u00AD' || text.back() == u'\u2010');
}

// r := a × b (PDF matrices [a b c d e f], row vectors).
void Multiply(const double* a, const double* b, double* r) {
    r[0] = a[0] * b[0] + a[1] * b[2];
    r[1] = a[0] * b[1] + a[1] * b[3];
    r[2] = a[2] * b[0] + a[3] * b[2];
    r[3] = a[2] * b[1] + a[3] * b[3];
    r[4] = a[4] * b[0] + a[5] * b[2] + b[4];
    r[5] = a[4] * b[1] + a[5] * b[3] + b[5];
}

double Sane(double v, double def) { return std::isfinite(v) && std::fabs(v) <= kMaxCoordinate ? v : def; }

bool SaneMatrix(const double* m) {
    for (int i = 0; i < 6; ++i)
        if (!std::isfinite(m[i]) || std::fabs(m[i]) > kMaxCoordinate) return false;
    return true;
}

// The part of the graphics state that text depends on, saved by q and
// restored by Q: the current transformation and the text state parameters.
struct GraphicsState {
    double ctm[6] = {1, 0, 0, 1, 0, 0};
    std::string_view font;  // Tf: resource name with its "/"
    double size = 0;        // Tf: font size
    // The size an item reports: Tf's size when written as a whole number,
    // -1 when not (the leading decides then), 0 before any Tf.
    int32_t wholeSize = 0;
    double charSpacing = 0, wordSpacing = 0;  // Tc, Tw
    double hScale = 1;                        // Tz, as a fraction
    double leading = 0;                       // TL (and TD)
    double rise = 0;                          // Ts
    // TL as written: whether one was given, and its value when it was a
    // whole number.
    bool leadingSet = false, leadingIsWhole = false;
    int32_t wholeLeading = 0;
};

// Reads the text of one content stream (or form) into positioned items.
// Every operator's operands are read once onto a typed stack; the text
// state follows the PDF imaging model: the text matrix and line matrix set
// by Td, TD, Tm, T*, ' and ", advanced by every string shown (glyph widths,
// Tc, Tw, Tz, TJ adjustments), and placed on the page by the CTM. Word gaps
// and line breaks are both decided from where strings start and end there.
class ContentParser {
public:
    ContentParser(TDTPDFPage& page, const TDTPDFPageFonts* fonts, const TDTPDFFonts* readerFonts,
                  const TDTPDFFormResolver* forms = nullptr, int formDepth = 0)
        : page_(page), fonts_(fonts), readerFonts_(readerFonts), forms_(forms), formDepth_(formDepth) {}

    void Run(std::string_view content) {
        PdfLexer lx(content);
        while (true) {
            PdfToken t = lx.Next();
            if (t == PdfToken::End) break;
            if (ops_.Take(lx, t)) continue;
            std::string_view op = lx.TokenText();
            if (op == "endstream") break;
            if (op == "BI") SkipInlineImage(lx);
            else Operator(op);
            ops_.Clear();
        }
    }

private:
    void Operator(std::string_view op) {
        GraphicsState& gs = gs_;
        // Operators of one or two characters by their bytes; the others
        // that matter by name below.
        auto byte = [&op](size_t i) { return static_cast<int>(static_cast<unsigned char>(op[i])); };
        switch (op.size() == 1 ? byte(0) : op.size() == 2 ? byte(0) << 8 | byte(1) : 0) {
            case 'B' << 8 | 'T': BeginText(); return;
            case 'E' << 8 | 'T':
                // Where the last string ended stays known for the next text
                // object (see BeginText).
                inText_ = false;
                newBlock_ = false;
                return;
            case 'q':
                if (saved_.size() < kMaxSavedStates) saved_.push_back(gs);
                else ++savedOverflow_;
                return;
            case 'Q':
                if (savedOverflow_ > 0) {
                    --savedOverflow_;
                } else if (!saved_.empty()) {
                    gs = saved_.back();
                    saved_.pop_back();
                }
                return;
            case 'c' << 8 | 'm':
                if (ops_.Size() >= 6) {
                    double m[6], r[6];
                    for (size_t i = 0; i < 6; ++i) m[i] = ops_.Num(6, i);
                    Multiply(m, gs.ctm, r);
                    if (SaneMatrix(r)) std::copy(r, r + 6, gs.ctm);
                }
                return;
            case 'D' << 8 | 'o': RunForm(); return;
            case 'T' << 8 | 'f':
                if (ops_.Size() >= 2 && ops_[ops_.Size() - 2].kind == Operand::Name) {
                    double size = ops_.Back().Value();
                    gs.font = ops_[ops_.Size() - 2].text;
                    gs.size = Sane(size, 0);
                    bool whole = ops_.Back().Whole() && size >= 0 && size < 100000;
                    gs.wholeSize = whole ? static_cast<int32_t>(size) : -1;
                }
                return;
            case 'T' << 8 | 'L': SetLeading(ops_.Num(1, 0)); return;
            case 'T' << 8 | 'c': gs.charSpacing = Sane(ops_.Num(1, 0), 0); return;
            case 'T' << 8 | 'w': gs.wordSpacing = Sane(ops_.Num(1, 0), 0); return;
            case 'T' << 8 | 'z': gs.hScale = Sane(ops_.Empty() ? 100 : ops_.Num(1, 0), 100) / 100; return;
            case 'T' << 8 | 's': gs.rise = Sane(ops_.Num(1, 0), 0); return;
            case 'T' << 8 | 'd': MoveLine(ops_.Num(2, 0), ops_.Num(2, 1)); return;
            case 'T' << 8 | 'D':
                gs.leading = Sane(-ops_.Num(2, 1), 0);
                MoveLine(ops_.Num(2, 0), ops_.Num(2, 1));
                return;
            case 'T' << 8 | '*': MoveLine(0, -gs.leading); return;
            case 'T' << 8 | 'm':
                for (size_t i = 0; i < 6; ++i) tlm_[i] = ops_.Num(6, i);
                SetTextMatrix();
                return;
            case 'T' << 8 | 'j':
            case 'T' << 8 | 'J': ShowString(); return;
            case '\'':
                MoveLine(0, -gs.leading);
                ShowString();
                return;
            case '"':
                // aw ac string: word and character spacing, then as "'".
                if (ops_.Size() >= 3) {
                    gs.wordSpacing = Sane(ops_.Num(3, 0), 0);
                    gs.charSpacing = Sane(ops_.Num(3, 1), 0);
                }
                MoveLine(0, -gs.leading);
                ShowString();
                return;
            default: break;
        }
        if (op == "BDC" || op == "BMC") BeginMarked(op == "BDC");
        else if (op == "EMC" && !marked_.empty()) marked_.pop_back();
    }

    void SetLeading(double tl) {
        gs_.leading = Sane(tl, 0);
        gs_.leadingSet = true;
        const Operand* o = ops_.Empty() ? nullptr : &ops_.Back();
        gs_.leadingIsWhole = o && o->Whole() && tl > -100000 && tl < 100000;
        gs_.wholeLeading = gs_.leadingIsWhole ? static_cast<int32_t>(tl) : 0;
    }

    // The font size an item reports: Tf's size when a whole number; else
    // two points less than a whole leading (10 when the leading is not
    // one), or 8 without a leading.
    int32_t ItemFontSize() const {
        if (gs_.wholeSize >= 0) return gs_.wholeSize;
        if (!gs_.leadingSet) return 8;
        return (gs_.leadingIsWhole ? gs_.wholeLeading : 10) - 2;
    }

    void BeginText() {
        // Where the last string of the previous text object ended decides
        // whether the next one continues its word: it is measured when the
        // next string comes, if that is on its line.
        bool pending = shown_.active;
        ResetTextMatrix();
        if (pending) {
            shown_.active = true;
            shown_.moved = true;
            shown_.crossed = true;
        }
        inText_ = true;
        newBlock_ = true;
    }

    // A form XObject's content is read as if it stood in place of "Do",
    // in the graphics state of the page there, with the form's own fonts,
    // as a text object of its own.
    void RunForm() {
        if (!forms_ || !*forms_ || formDepth_ >= kMaxFormDepth || inText_) return;
        if (ops_.Empty() || ops_[0].kind != Operand::Name) return;
        std::shared_ptr<const std::string> content;
        TDTPDFPageFonts fonts;
        if (!(*forms_)(std::string(ops_[0].text), content, fonts) || !content) return;
        ContentParser inner(page_, &fonts, readerFonts_, forms_, formDepth_ + 1);
        inner.gs_ = gs_;
        inner.Run(*content);
    }

    // Marked content: a span with /ActualText stands for the glyphs shown
    // inside it (used where the glyphs themselves carry no Unicode).
    struct Marked {
        bool hasActualText = false;
        bool used = false;
        std::u16string actualText;
    };
    void BeginMarked(bool withProperties) {
        Marked m;
        if (withProperties && !ops_.Empty() && ops_.Back().kind == Operand::Dictionary) {
            PdfLexer lx(ops_.Back().text);
            PdfObject props = PdfParseObject(lx);
            if (const PdfObject* at = props.Get("ActualText"); at && at->kind == PdfObject::String) {
                m.hasActualText = true;
                m.actualText = PdfTextString(at->text);
            }
        }
        // Unbalanced BDC operators in damaged content cannot grow the stack
        // without end.
        if (marked_.size() < 256) marked_.push_back(std::move(m));
    }
    // The replacement text of the innermost span with /ActualText, or null.
    Marked* ActualTextSpan() {
        for (auto it = marked_.rbegin(); it != marked_.rend(); ++it)
            if (it->hasActualText) return &*it;
        return nullptr;
    }

    void ResetTextMatrix() {
        static constexpr double kIdentity[6] = {1, 0, 0, 1, 0, 0};
        std::copy(std::begin(kIdentity), std::end(kIdentity), tlm_);
        std::copy(std::begin(kIdentity), std::end(kIdentity), tm_);
        shown_.active = false;
    }
    // The pen is forgotten when the matrix went bad.
    void ForgetPen() {
        ResetTextMatrix();
        hasPenEnd_ = false;
        lastText_ = -1;
    }

    // Starts the text matrix at the line matrix, unless damaged values
    // left it unusable.
    void SetTextMatrix() {
        if (!SaneMatrix(tlm_)) {
            ForgetPen();
            return;
        }
        std::copy(std::begin(tlm_), std::end(tlm_), tm_);
        shown_.moved = true;
    }

    // Td: the next line starts at (tx, ty) in the current line's space.
    void MoveLine(double tx, double ty) {
        tlm_[4] += tx * tlm_[0] + ty * tlm_[2];
        tlm_[5] += tx * tlm_[1] + ty * tlm_[3];
        SetTextMatrix();
    }

    // Tj, TJ, ' and ": the string's pieces are decoded once; where it
    // starts decides whether it is a new word (or line), then it becomes
    // an item.
    void ShowString() {
        if (!inText_) {
            // A string shown outside BT ... ET (damaged content, a misspelt
            // BT) is still drawn by viewers, where the text matrix stands.
            inText_ = true;
            newBlock_ = true;
        }
        pieces_.Fill(ops_);
        const TDTPDFFont* font = CurrentFont();
        // Character spacing above one unit spaces out the characters of
        // fonts with a ToUnicode CMap.
        bool addSpace = gs_.charSpacing > 1.0 && font && !font->CMap().empty();
        BlankEdges edges;
        std::u16string text = ShownText(pieces_, font, addSpace, &edges);
        if (Marked* span = ActualTextSpan()) {
            // The span's text stands for the glyphs (often ones without
            // text of their own): they are its characters, not blanks.
            text = span->used ? std::u16string() : span->actualText;
            span->used = true;
            edges = BlankEdges{};
        }
        ShowText(edges, !text.empty());
        EmitString(std::move(text));
    }

    // Decides whether the string about to be shown starts a new word on
    // the line of the previous string. The pen's move past the previous
    // string is worked out only now, when another string follows it (most
    // text objects show one string).
    void ShowText(const BlankEdges& edges, bool hasText) {
        pendingSpace_ = Gap::None;
        gapMeasured_ = false;
        lineTolerance_ = -1;
        double blankBefore = blankRun_;
        blankRun_ = 0;
        const TDTPDFFont* font = CurrentFont();
        // Positions are compared on the page: text matrix, then the
        // current transformation.
        double m[6];
        Multiply(tm_, gs_.ctm, m);
        if (shown_.active && shown_.crossed && !SameLineAsShown(m)) {
            // A text object on another line: no need to know where the
            // previous one ended (the page breaks the line or sets a space).
            shown_.active = false;
            shown_.crossed = false;
            hasPenEnd_ = false;
        }
        if (shown_.active) {
            // Strings shown one after another start where the last ended.
            MeasureShown();
            Multiply(tm_, gs_.ctm, m);
        }
        double hx = std::sqrt(m[0] * m[0] + m[1] * m[1]);
        double vy = std::sqrt(m[2] * m[2] + m[3] * m[3]);
        double em = std::fabs(gs_.size * gs_.hScale) * hx;
        // A superscript or subscript in a smaller size stays on the line of
        // the larger text around it.
        double lineHeight = std::fabs(gs_.size) * vy;
        double sameLine = kSameLine * std::max(lineHeight, penLineHeight_);
        // Vertical writing moves the pen downwards, which this does not follow.
        bool vertical = font && font->Encoding == "/Identity-V";
        if (hasPenEnd_ && !vertical && em > 0 && lineHeight > 0 && std::isfinite(em)) {
            double dx = m[4] - penEnd_[0], dy = m[5] - penEnd_[1];
            double along = (dx * m[0] + dy * m[1]) / hx;
            double across = (dy * m[0] - dx * m[1]) / hx;
            // The narrower space of the fonts on either side of the gap
            // (a symbol font's wide "space" says little about the words).
            double space = std::min(penFont_ ? penFont_->SpaceWidth() : 1000, font ? font->SpaceWidth() : 250);
            space = space / 1000 * em;
            // Between the last character and the next lie the gap, what the
            // previous string drew without text after its last character
            // and what this one draws before its first.
            double blank = blankBefore + edges.lead / 1000 * em;
            if (std::fabs(across) > sameLine) {
                pendingSpace_ = Gap::OtherLine;
            } else {
                if (along + blank > kSpaceFraction * space) pendingSpace_ = Gap::Word;
                lineTolerance_ = sameLine;
                // A string without text leaves the gap open for the next.
                if (!hasText && std::isfinite(along + blank)) blankRun_ = along + blank;
            }
            // A string that starts back over the previous one (a halo
            // drawn under the text, a second column) does not continue it.
            gapMeasured_ = penReliable_ && std::isfinite(along) && std::isfinite(across) &&
                           along >= -kOverprint * em;
        }
        double edge = (hasText ? edges.trail : edges.lead) / 1000 * em;
        if ((hasText || lineTolerance_ < 0) && std::isfinite(edge)) blankRun_ = edge;
        std::copy(m, m + 6, showAt_);
        showEm_ = std::isfinite(em) ? em : 0;
        penLineHeight_ = std::isfinite(lineHeight) ? lineHeight : 0;
        shown_.moved = false;
        shown_.crossed = false;
        shown_.active = inText_;
        shown_.font = font;
        shown_.size = gs_.size;
        shown_.charSpacing = gs_.charSpacing;
        shown_.wordSpacing = gs_.wordSpacing;
        shown_.hScale = gs_.hScale;
        std::copy(std::begin(tm_), std::end(tm_), shown_.start);
        std::copy(gs_.ctm, gs_.ctm + 6, shown_.ctm);
    }

    // True when a string drawn with matrix m (on the page) starts on the
    // baseline of the last string shown, within half its size.
    bool SameLineAsShown(const double* m) const {
        double s[6];
        Multiply(shown_.start, shown_.ctm, s);
        double hx = std::sqrt(s[0] * s[0] + s[1] * s[1]);
        double vy = std::sqrt(s[2] * s[2] + s[3] * s[3]);
        double height = std::fabs(shown_.size) * vy;
        if (!(hx > 0) || !std::isfinite(hx) || !(height > 0) || !std::isfinite(height)) return false;
        double dx = m[4] - s[4], dy = m[5] - s[5];
        double across = (dy * s[0] - dx * s[1]) / hx;
        return std::fabs(across) <=
               kSameLine * std::max(height, std::fabs(gs_.size) * std::sqrt(m[2] * m[2] + m[3] * m[3]));
    }

    // The pen's move past the last string shown: every glyph's width at the
    // font size plus the character spacing (and the word spacing for code
    // 32), scaled horizontally; numbers in a TJ array move the pen back by
    // thousandths of the font size. Without a move since, the next string
    // starts where this one ended.
    void MeasureShown() {
        shown_.active = false;
        shown_.crossed = false;
        // Text without a font is read as WinAnsi: one byte per code, and
        // the widths of a font that gives none.
        static const TDTPDFFont kNoFont;
        const TDTPDFFont& font = shown_.font ? *shown_.font : kNoFont;
        double tx = 0;
        for (const ShownPieces::Piece& p : shown_.pieces.pieces) {
            if (p.isString) {
                TDTPDFFont::Advance a = font.MeasureText(shown_.pieces.Bytes(p));
                tx += a.width / 1000 * shown_.size + a.glyphs * shown_.charSpacing + a.wordSpaces * shown_.wordSpacing;
            } else {
                tx -= p.adjust / 1000 * shown_.size;
            }
        }
        tx *= shown_.hScale;
        double endX = shown_.start[4] + tx * shown_.start[0];
        double endY = shown_.start[5] + tx * shown_.start[1];
        bool sane = std::isfinite(endX) && std::isfinite(endY) && std::fabs(endX) <= kMaxCoordinate &&
                    std::fabs(endY) <= kMaxCoordinate;
        if (sane && !shown_.moved) {
            tm_[4] = endX;
            tm_[5] = endY;
        }
        // The end on the page.
        const double* c = shown_.ctm;
        penEnd_[0] = endX * c[0] + endY * c[2] + c[4];
        penEnd_[1] = endX * c[1] + endY * c[3] + c[5];
        hasPenEnd_ = sane && std::isfinite(penEnd_[0]) && std::isfinite(penEnd_[1]);
        penFont_ = shown_.font;
        // Fonts that give no widths of their own move the pen by guesses:
        // good enough to see a gap, not to join strings of separate text
        // objects into one word.
        penReliable_ = shown_.font && shown_.font->HasWidths();
    }

    // The font selected by Tf; fonts do not change while a page is read.
    const TDTPDFFont* CurrentFont() {
        if (gs_.font != currentFontName_ || !currentFontKnown_) {
            currentFontName_ = gs_.font;
            currentFontKnown_ = true;
            currentFont_ = FindFont(gs_.font);
        }
        return currentFont_;
    }

    static std::string Folded(std::string_view s) {
        std::string out(s);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return out;
    }
    const TDTPDFFont* FindFont(std::string_view name) const {
        if (name.empty()) return nullptr;
        if (fonts_) {
            auto it = fonts_->find(std::string(name));
            if (it != fonts_->end()) return it->second;
            // Names differing in ASCII case denote the same font: looked up
            // in a lower-cased index built on the first such miss.
            if (fontsFolded_.empty())
                for (const auto& [n, f] : *fonts_) fontsFolded_.emplace(Folded(n), f);
            auto folded = fontsFolded_.find(Folded(name));
            return folded == fontsFolded_.end() ? nullptr : folded->second;
        }
        return readerFonts_ ? readerFonts_->FindFontByName(name) : nullptr;
    }

    // Where the string about to be shown starts, in the frame of its own
    // baseline: left along the baseline, top across it, growing down the
    // page. Upright text gives the page position; rotated text keeps one
    // top for a whole line of it.
    void StringPosition(double& left, double& top) const {
        double x = showAt_[4], y = showAt_[5];
        double hx = std::sqrt(showAt_[0] * showAt_[0] + showAt_[1] * showAt_[1]);
        double ux = 1, uy = 0;
        if (hx > 0 && std::isfinite(hx)) {
            ux = showAt_[0] / hx;
            uy = showAt_[1] / hx;
        }
        left = x * ux + y * uy;
        top = page_.Height - (y * ux - x * uy);
        if (!std::isfinite(left) || std::fabs(left) > kMaxCoordinate) left = 0;
        if (!std::isfinite(top) || std::fabs(top) > kMaxCoordinate) top = 0;
    }

    // The text of the string just shown as one item.
    void EmitString(std::u16string text) {
        double left = 0, top = 0;
        StringPosition(left, top);
        AddTextItem(std::move(text), gs_.font, ItemFontSize(), left, top);
        // The string just shown is measured when the next one comes.
        if (shown_.active) std::swap(shown_.pieces, pieces_);
        newBlock_ = false;
    }

    // Adds one item of text at (left, top) unless it repeats the last one
    // where it was drawn; decides from the gap measured before it whether
    // it starts a word of its own or continues the previous item's.
    void AddTextItem(std::u16string text, std::string_view fontName, int32_t fontSize, double left, double top) {
        if (Overprinted(text)) {
            // The same string drawn again where it was: nothing new to read.
            pendingSpace_ = Gap::None;
            return;
        }
        TDTPDFItems& items = page_.Items();
        bool hasLast = lastText_ >= 0;
        std::u16string_view lastText = hasLast ? items.TextOf(lastText_) : std::u16string_view();
        double lastTop = hasLast ? items.TopOf(lastText_) : 0;
        // A superscript or subscript measured on the line of the text
        // before it (within half the larger size) stays on that line,
        // however far it is raised or lowered.
        double rise = std::fabs(lastTop - top);
        if (hasLast && lineTolerance_ > 0 && rise > 5 && rise <= lineTolerance_) top = lastTop;
        // A string apart from the previous one on its line, or on another
        // line that the page's text would not break at, is a word of its own.
        // A word broken at a hyphen at the end of a line stays one word.
        bool apart = pendingSpace_ == Gap::Word ||
                     (pendingSpace_ == Gap::OtherLine && hasLast && !EndsWithHyphen(lastText) &&
                      std::fabs(lastTop - top) <= 5);
        if (apart && hasLast && !text.empty() && text[0] != u' ' && lastText.back() != u' ')
            text.insert(text.begin(), u' ');
        // A text object that starts where the previous one's last string
        // ended, on its line, continues its word (glyphs placed one by one).
        bool joinsPrevious = newBlock_ && gapMeasured_ && pendingSpace_ == Gap::None && hasLast &&
                             std::fabs(lastTop - top) <= 5;
        pendingSpace_ = Gap::None;
        gapMeasured_ = false;
        items.AddText(text, fontName, fontSize, left, top, !newBlock_, joinsPrevious);
        if (!text.empty()) {
            lastText_ = items.Count() - 1;
            lastDrawnAt_[0] = showAt_[4];
            lastDrawnAt_[1] = showAt_[5];
            lastDrawnEm_ = showEm_;
        }
    }

    // True when text repeats the last string drawn, at nearly its place.
    bool Overprinted(const std::u16string& text) const {
        if (lastText_ < 0 || text.empty() || text != page_.Items().TextOf(lastText_)) return false;
        if (text.find_first_not_of(u' ') == std::u16string::npos) return false;
        double tolerance = kOverprint * std::max(lastDrawnEm_, showEm_);
        return tolerance > 0 && std::fabs(showAt_[4] - lastDrawnAt_[0]) <= tolerance &&
               std::fabs(showAt_[5] - lastDrawnAt_[1]) <= tolerance;
    }

    TDTPDFPage& page_;
    const TDTPDFPageFonts* fonts_;
    mutable std::map<std::string, const TDTPDFFont*> fontsFolded_;  // fonts_ by lower-cased name
    const TDTPDFFonts* readerFonts_;
    OperandStack ops_;
    ShownPieces pieces_;  // the string being shown
    bool inText_ = false;
    bool newBlock_ = false;
    std::vector<Marked> marked_;
    // The graphics state and the saved ones (q / Q).
    GraphicsState gs_;
    std::vector<GraphicsState> saved_;
    size_t savedOverflow_ = 0;
    // The text and line matrices.
    double tm_[6] = {1, 0, 0, 1, 0, 0}, tlm_[6] = {1, 0, 0, 1, 0, 0};
    // Where the last string shown in this text object ended.
    double penEnd_[2] = {0, 0};
    double penLineHeight_ = 0;  // font size of the last string, as drawn
    bool hasPenEnd_ = false;
    // The last string shown, until it is measured, with the state it was
    // shown in; moved once the text matrix was set since.
    struct Shown {
        bool active = false, moved = false;
        ShownPieces pieces;
        const TDTPDFFont* font = nullptr;
        double size = 0, charSpacing = 0, wordSpacing = 0, hScale = 1;
        double start[6] = {1, 0, 0, 1, 0, 0};
        double ctm[6] = {1, 0, 0, 1, 0, 0};
        bool crossed = false;  // shown in an earlier text object
    };
    Shown shown_;
    std::string_view currentFontName_;
    bool currentFontKnown_ = false;
    const TDTPDFFont* currentFont_ = nullptr;
    enum class Gap { None, Word, OtherLine };
    Gap pendingSpace_ = Gap::None;
    int lastText_ = -1;  // index of the last item with text on the page
    // The string being shown: its matrix on the page and font size there;
    // where the last string with text was drawn.
    double showAt_[6] = {1, 0, 0, 1, 0, 0};
    double showEm_ = 0;
    double lastDrawnAt_[2] = {0, 0};
    double lastDrawnEm_ = 0;
    // The font of the last string measured, and whether its widths are the
    // font's own; whether the gap before the string being shown was measured.
    const TDTPDFFont* penFont_ = nullptr;
    bool penReliable_ = false;
    bool gapMeasured_ = false;
    // Whether the string being shown was measured on the line of the pen
    // (the tolerance across it, page units; < 0: not), and what was drawn
    // without text since the last character (page units along the line).
    double lineTolerance_ = -1;
    double blankRun_ = 0;
    const TDTPDFFormResolver* forms_;
    int formDepth_;
};

// The operands of a line (everything before its operator), trimmed.
std::string_view LineOperands(std::string_view line) {
    std::string_view op = PdfLineOperator(line);
    return PdfTrim(line.substr(0, line.size() - op.size()));
}

}  // namespace

std::string_view PdfLineOperator(std::string_view line) {
    size_t e = line.size();
    while (e > 0 && PdfIsWhite(line[e - 1])) --e;
    size_t b = e;
    while (b > 0 && !PdfIsWhite(line[b - 1]) && line[b - 1] != ')' && line[b - 1] != ']' && line[b - 1] != '>')
        --b;
    return line.substr(b, e - b);
}

std::string TDTWTagValues::GetValue(std::string_view tag, bool caseSensitive) const {
    for (const auto& line : lines_) {
        std::string_view op = PdfLineOperator(line);
        if (caseSensitive ? op == tag : PdfEqualsIgnoreCase(op, tag)) return std::string(LineOperands(line));
    }
    return {};
}

std::string TDTWTagValues::GetAllTextTags() const {
    std::string out;
    for (const auto& line : lines_) {
        std::string_view op = PdfLineOperator(line);
        if (op == "Tj" || op == "TJ" || op == "'" || op == "\"") out += LineOperands(line);
    }
    return out;
}

void TDTWTagValues::RemoveEmptyStrings() {
    for (auto& line : lines_) {
        size_t e = line.size();
        while (e > 0 && (line[e - 1] == ' ' || line[e - 1] == '\t' || line[e - 1] == '\r' || line[e - 1] == '\n')) --e;
        line.resize(e);
    }
    lines_.erase(std::remove_if(lines_.begin(), lines_.end(), [](const std::string& l) { return l.empty(); }),
                 lines_.end());
}

std::u16string PdfShownText(std::string_view operands, const TDTPDFFont* font, bool addSpace) {
    OperandStack ops;
    PdfLexer lx(operands);
    for (PdfToken t = lx.Next(); t != PdfToken::End && ops.Take(lx, t); t = lx.Next()) {
    }
    ShownPieces pieces;
    pieces.Fill(ops);
    return ShownText(pieces, font, addSpace);
}

void TDTPDFPages::ParseContents(std::string_view strContent, std::string_view strMediaBox,
                                const TDTPDFPageFonts* fonts, const TDTPDFFormResolver* forms) {
    TDTPDFMediaBox box;
    size_t open = strMediaBox.find('['), close = strMediaBox.find(']');
    if (open != std::string_view::npos && close != std::string_view::npos && open < close) {
        PdfLexer lx(strMediaBox.substr(open + 1, close - open - 1));
        for (; box.Count < 4; ++box.Count) {
            PdfToken t = lx.Next();
            if (t == PdfToken::End) break;
            box.Values[box.Count] = t == PdfToken::Number ? NumberValue(lx.TokenText()) : 0;
        }
    }
    ParseContents(strContent, box, fonts, forms);
}

void TDTPDFPages::ParseContents(std::string_view strContent, const TDTPDFMediaBox& mediaBox,
                                const TDTPDFPageFonts* fonts, const TDTPDFFormResolver* forms) {
    TDTPDFPage* page = AddPage();
    if (strContent.empty()) return;
    int32_t* fields[] = {&page->Left, &page->Top, &page->Width, &page->Height};
    for (int k = 0; k < mediaBox.Count && k < 4; ++k) {
        double v = mediaBox.Values[k];
        if (std::isfinite(v) && std::fabs(v) < 1e7) *fields[k] = static_cast<int32_t>(std::lround(v));
    }
    ContentParser parser(*page, fonts, documentFonts_, forms);
    parser.Run(strContent);
}

}  // namespace quillmark
