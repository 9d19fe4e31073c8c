#include "quillmark/pdf/pdf_content.h"

#include <algorithm>
#include <array>
#include <map>
#include <charconv>
#include <cmath>

#include "quillmark/pdf/pdf_encodings.h"
#include "quillmark/pdf/pdf_fonts.h"
#include "quillmark/pdf/pdf_glyph_tables.h"
#include "quillmark/pdf/pdf_objects.h"
#include "quillmark/pdf/pdf_pages.h"
#include "quillmark/pdf/pdf_reader.h"
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

bool IsTextShowing(std::string_view op) { return op == "Tj" || op == "TJ" || op == "'" || op == "\""; }

// Operators that end a line of the list; the others (and their operands)
// carry nothing the text needs and are dropped.
bool IsListedOperator(std::string_view op) {
    static constexpr std::string_view kOps[] = {"cs", "CS", "sc", "SC", "f",  "F",  "f*", "G",  "g",  "gs",
                                                "K",  "k",  "re", "T*", "Tc", "Td", "TD", "Tf", "Tj", "TJ",
                                                "TL", "Tm", "Tr", "Ts", "Tw", "Tz", "scn", "v", "w",  "W",
                                                "W*", "y",  "'",  "\""};
    return std::find(std::begin(kOps), std::end(kOps), op) != std::end(kOps);
}

std::string_view TrimView(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && PdfIsWhite(s[b])) ++b;
    while (e > b && PdfIsWhite(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// The operands of a line (everything before its operator), trimmed.
std::string_view LineOperands(std::string_view line) {
    std::string_view op = PdfLineOperator(line);
    return TrimView(line.substr(0, line.size() - op.size()));
}

// A number token's value. Plain decimals ("-12.5") are converted in place;
// anything else goes the general way.
double NumberValue(std::string_view tok) {
    size_t i = !tok.empty() && tok[0] == '-' ? 1 : 0;
    bool digit = false, point = false, plain = i < tok.size();
    for (size_t k = i; k < tok.size() && plain; ++k) {
        if (tok[k] >= '0' && tok[k] <= '9') digit = true;
        else if (tok[k] == '.' && !point) point = true;
        else plain = false;
    }
    if (plain && digit) {
        double v = 0;
        auto r = std::from_chars(tok.data(), tok.data() + tok.size(), v);
        if (r.ec == std::errc() && r.ptr == tok.data() + tok.size() && std::isfinite(v)) return v;
    }
    return StrToFloatDef(tok, 0);
}

// Up to n numbers of an operand text.
std::vector<double> Numbers(std::string_view operands, size_t n) {
    std::vector<double> out;
    PdfLexer lx(operands);
    while (out.size() < n) {
        PdfToken t = lx.Next();
        if (t == PdfToken::End) break;
        out.push_back(t == PdfToken::Number ? NumberValue(lx.TokenText()) : 0);
    }
    return out;
}

std::u16string DecodeBytes(std::string_view bytes, const TDTPDFFont* font, bool addSpace) {
    if (font) return font->DecodeText(bytes, addSpace);
    std::u16string out;
    for (unsigned char b : bytes)
        if (kWinAnsiEncoding[b]) out.push_back(kWinAnsiEncoding[b]);
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

// The text state of one ParseContents call.
class ContentParser {
public:
    ContentParser(TDTPDFPage& page, const TDTPDFPageFonts* fonts, const TDTPDFFonts* readerFonts,
                  const TDTPDFFormResolver* forms = nullptr, int formDepth = 0)
        : page_(page), fonts_(fonts), readerFonts_(readerFonts), forms_(forms), formDepth_(formDepth) {}

    void Run(std::string_view content) {
        PdfLexer lx(content);
        std::string acc;
        while (true) {
            PdfToken t = lx.Next();
            if (t == PdfToken::End) break;
            std::string_view tok = lx.TokenText();
            if (t != PdfToken::Keyword) {
                if (!acc.empty()) acc.push_back(' ');
                acc.append(tok);
                // Operands of one operator are few; a run without operator
                // (damaged content) must not grow without end.
                if (acc.size() > (size_t{1} << 24)) acc.clear();
                continue;
            }
            if (tok == "endstream") break;
            if (tok == "BI") {
                SkipInlineImage(lx);
                acc.clear();
                continue;
            }
            if (tok == "BT") {
                // Where the last string of the previous text object ended
                // decides whether the next one continues its word: it is
                // measured when the next string comes, if that is on its line.
                bool pending = shown_.active;
                ResetTextMatrix();
                if (pending) {
                    shown_.active = true;
                    shown_.moved = true;
                    shown_.crossed = true;
                }
                inText_ = true;
                newBlock_ = true;
                lineLeft_ = 0;
                lineTop_ = page_.Height;
                lines_.Clear();
                acc.clear();
                continue;
            }
            if (tok == "ET") {
                Flush();
                acc.clear();
                continue;
            }
            if (tok == "BDC" || tok == "BMC") {
                BeginMarked(tok == "BDC" ? std::string_view(acc) : std::string_view());
                acc.clear();
                continue;
            }
            if (tok == "EMC") {
                if (!marked_.empty()) marked_.pop_back();
                acc.clear();
                continue;
            }
            if (tok == "Do") {
                RunForm(acc);
                acc.clear();
                continue;
            }
            if (tok == "q") {
                if (saved_.size() < kMaxSavedStates) {
                    saved_.emplace_back();
                    std::copy(ctm_, ctm_ + 6, saved_.back().begin());
                }
                else ++savedOverflow_;
                acc.clear();
                continue;
            }
            if (tok == "Q") {
                if (savedOverflow_ > 0) {
                    --savedOverflow_;
                } else if (!saved_.empty()) {
                    std::copy(saved_.back().begin(), saved_.back().end(), ctm_);
                    saved_.pop_back();
                }
                acc.clear();
                continue;
            }
            if (tok == "cm") {
                std::vector<double> v = Numbers(acc, 6);
                if (v.size() == 6) {
                    double m[6];
                    for (int i = 0; i < 6; ++i) m[i] = v[static_cast<size_t>(i)];
                    double r[6];
                    Multiply(m, ctm_, r);
                    bool sane = true;
                    for (double x : r) sane = sane && std::isfinite(x) && std::fabs(x) <= kMaxCoordinate;
                    if (sane) std::copy(r, r + 6, ctm_);
                }
                acc.clear();
                continue;
            }
            if (IsListedOperator(tok)) {
                std::string line = acc.empty() ? std::string(tok) : acc + " " + std::string(tok);
                UpdateState(tok, acc);
                if (inText_) {
                    lines_.Add(std::move(line));
                    if (IsTextShowing(tok)) {
                        Flush();
                        inText_ = true;
                    }
                }
            }
            acc.clear();
        }
        // Lines left without a closing text operator make no item.
        lines_.Clear();
    }

private:
    // A form XObject's content is read as if it stood in place of "Do",
    // with the form's own fonts, as a text object of its own.
    void RunForm(std::string_view operands) {
        if (!forms_ || !*forms_ || formDepth_ >= kMaxFormDepth || inText_) return;
        PdfLexer lx(operands);
        if (lx.Next() != PdfToken::Name) return;
        std::shared_ptr<const std::string> content;
        TDTPDFPageFonts fonts;
        if (!(*forms_)(std::string(lx.TokenText()), content, fonts) || !content) return;
        ContentParser inner(page_, &fonts, readerFonts_, forms_, formDepth_ + 1);
        inner.font_ = font_;
        inner.fontSize_ = fontSize_;
        inner.size_ = size_;
        inner.charSpacing_ = charSpacing_;
        inner.wordSpacing_ = wordSpacing_;
        inner.hScale_ = hScale_;
        std::copy(ctm_, ctm_ + 6, inner.ctm_);
        inner.Run(*content);
    }

    // Marked content: a span with /ActualText stands for the glyphs shown
    // inside it (used where the glyphs themselves carry no Unicode).
    struct Marked {
        bool hasActualText = false;
        bool used = false;
        std::u16string actualText;
    };
    void BeginMarked(std::string_view operands) {
        Marked m;
        PdfLexer lx(operands);
        PdfParseObject(lx);  // the tag
        PdfObject props = PdfParseObject(lx);
        if (const PdfObject* at = props.Get("ActualText"); at && at->kind == PdfObject::String) {
            m.hasActualText = true;
            m.actualText = PdfTextString(at->text);
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

    // State that lasts beyond one text object: font, leading, spacing;
    // and the text matrix, which follows every move and every string shown.
    void UpdateState(std::string_view op, std::string_view operands) {
        if (op == "Tf") {
            std::vector<double> n;
            PdfLexer lx(operands);
            if (lx.Next() == PdfToken::Name) {
                font_ = std::string(lx.TokenText());
                std::string_view rest = TrimView(operands.substr(lx.Position()));
                fontSize_ = FontSizeOf(rest, {});
                size_ = Sane(StrToFloatDef(rest, 0), 0);
            }
        } else if (op == "TL") {
            leading_ = StrToFloatDef(operands, leading_);
            textLeading_ = Sane(StrToFloatDef(operands, 0), 0);
        } else if (op == "Tc") {
            charSpacing_ = Sane(StrToFloatDef(operands, 0), 0);
        } else if (op == "Tw") {
            wordSpacing_ = Sane(StrToFloatDef(operands, 0), 0);
        } else if (op == "Tz") {
            hScale_ = Sane(StrToFloatDef(operands, 100), 100) / 100;
        } else if (op == "Td" || op == "TD") {
            std::vector<double> v = Numbers(operands, 2);
            double tx = v.size() > 0 ? v[0] : 0, ty = v.size() > 1 ? v[1] : 0;
            if (op == "TD") textLeading_ = Sane(-ty, 0);
            MoveLine(tx, ty);
        } else if (op == "T*") {
            MoveLine(0, -textLeading_);
        } else if (op == "Tm") {
            std::vector<double> v = Numbers(operands, 6);
            v.resize(6, 0);
            for (int i = 0; i < 6; ++i) tlm_[i] = v[static_cast<size_t>(i)];
            SetTextMatrix();
        } else if (IsTextShowing(op)) {
            if (op == "\"") {
                // aw ac string: word and character spacing, then as "'".
                std::vector<double> v = Numbers(operands, 2);
                if (v.size() == 2) {
                    wordSpacing_ = Sane(v[0], 0);
                    charSpacing_ = Sane(v[1], 0);
                }
            }
            if (op == "'" || op == "\"") MoveLine(0, -textLeading_);
            ShowText();
        }
    }

    static double Sane(double v, double def) {
        return std::isfinite(v) && std::fabs(v) <= kMaxCoordinate ? v : def;
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
    // r := a × b (PDF matrices [a b c d e f], row vectors).
    static void Multiply(const double* a, const double* b, double* r) {
        r[0] = a[0] * b[0] + a[1] * b[2];
        r[1] = a[0] * b[1] + a[1] * b[3];
        r[2] = a[2] * b[0] + a[3] * b[2];
        r[3] = a[2] * b[1] + a[3] * b[3];
        r[4] = a[4] * b[0] + a[5] * b[2] + b[4];
        r[5] = a[4] * b[1] + a[5] * b[3] + b[5];
    }

    // Starts the text matrix at the line matrix, unless damaged values
    // left it unusable.
    void SetTextMatrix() {
        for (double v : tlm_)
            if (!std::isfinite(v) || std::fabs(v) > kMaxCoordinate) {
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

    // A string operator's operands: decides whether its text starts a new
    // word on the line of the previous string. The pen's move past the
    // string is worked out only when another string follows in the same
    // text object (most text objects show one string).
    void ShowText() {
        pendingSpace_ = Gap::None;
        gapMeasured_ = false;
        const TDTPDFFont* font = CurrentFont();
        // Positions are compared on the page: text matrix, then the
        // current transformation.
        double m[6];
        Multiply(tm_, ctm_, m);
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
            Multiply(tm_, ctm_, m);
        }
        double hx = std::sqrt(m[0] * m[0] + m[1] * m[1]);
        double vy = std::sqrt(m[2] * m[2] + m[3] * m[3]);
        double em = std::fabs(size_ * hScale_) * hx;
        // A superscript or subscript in a smaller size stays on the line of
        // the larger text around it.
        double lineHeight = std::fabs(size_) * vy;
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
            if (std::fabs(across) > sameLine) pendingSpace_ = Gap::OtherLine;
            else if (along > kSpaceFraction * space) pendingSpace_ = Gap::Word;
            // A string that starts back over the previous one (a halo
            // drawn under the text, a second column) does not continue it.
            gapMeasured_ = penReliable_ && std::isfinite(along) && std::isfinite(across) &&
                           along >= -kOverprint * em;
        }
        std::copy(m, m + 6, showAt_);
        showEm_ = std::isfinite(em) ? em : 0;
        penLineHeight_ = std::isfinite(lineHeight) ? lineHeight : 0;
        shown_.moved = false;
        shown_.crossed = false;
        shown_.active = inText_;  // Flush keeps the line
        shown_.font = font;
        shown_.size = size_;
        shown_.charSpacing = charSpacing_;
        shown_.wordSpacing = wordSpacing_;
        shown_.hScale = hScale_;
        std::copy(std::begin(tm_), std::end(tm_), shown_.start);
        std::copy(ctm_, ctm_ + 6, shown_.ctm);
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
        return std::fabs(across) <= kSameLine * std::max(height, std::fabs(size_) * std::sqrt(m[2] * m[2] + m[3] * m[3]));
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
        PdfLexer lx(LineOperands(shown_.line));
        int depth = 0;
        while (true) {
            PdfToken t = lx.Next();
            if (t == PdfToken::End) break;
            if (t == PdfToken::ArrayOpen) ++depth;
            else if (t == PdfToken::ArrayClose) --depth;
            else if (t == PdfToken::String || t == PdfToken::HexString) {
                size_t used = 0;
                TDTPDFFont::Advance a = font.MeasureText(PdfDecodeString(lx.TokenText(), used));
                tx += a.width / 1000 * shown_.size + a.glyphs * shown_.charSpacing + a.wordSpaces * shown_.wordSpacing;
            } else if (t == PdfToken::Number && depth > 0) {
                tx -= NumberValue(lx.TokenText()) / 1000 * shown_.size;
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
        if (font_ != currentFontName_) {
            currentFontName_ = font_;
            currentFont_ = FindFont(font_);
        }
        return currentFont_;
    }

    static int32_t FontSizeOf(std::string_view sizeText, std::string_view tl) {
        int64_t v = 0;
        int32_t size = PdfTryToInt(sizeText, v) && v >= 0 && v < 100000 ? static_cast<int32_t>(v) : 8;
        if (size == 8 && !tl.empty()) {
            int64_t l = 0;
            size = (PdfTryToInt(tl, l) && l > -100000 && l < 100000 ? static_cast<int32_t>(l) : 10) - 2;
        }
        return size;
    }

    static std::string Folded(std::string_view s) {
        std::string out(s);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return out;
    }
    const TDTPDFFont* FindFont(const std::string& name) const {
        if (name.empty()) return nullptr;
        if (fonts_) {
            auto it = fonts_->find(name);
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

    void Flush() {
        inText_ = false;
        lines_.RemoveEmptyStrings();
        bool hasText = false;
        for (int i = 0; i < lines_.Count() && !hasText; ++i) hasText = IsTextShowing(PdfLineOperator(lines_[i]));
        if (!hasText) {
            // Moves without text still move the line.
            ApplyMoves();
            lines_.Clear();
            newBlock_ = false;
            return;
        }
        std::string tf = lines_.GetValue("Tf", true);
        std::string fontName;
        int32_t fontSize = 0;
        if (!tf.empty() && tf[0] == '/') {
            size_t sp = tf.find_first_of(" \t\r\n");
            fontName = tf.substr(0, sp);
            std::string rest = sp == std::string::npos ? std::string() : std::string(TrimView(tf.substr(sp)));
            fontSize = FontSizeOf(rest, lines_.GetValue("TL", true));
        } else if (tf.empty()) {
            fontName = font_;
            fontSize = fontSize_;
        }
        // Character spacing above one unit spaces out the characters of
        // fonts with a ToUnicode CMap.
        std::string tc = lines_.GetValue("Tc", false);
        double spacing = StrToFloatDef(tc, 0);
        const TDTPDFFont* font = FindFont(fontName);
        bool addSpace = spacing > 1.0 && font && !font->CMap().empty();

        std::u16string text;
        for (int i = 0; i < lines_.Count(); ++i) {
            std::string_view line = lines_[i];
            std::string_view op = PdfLineOperator(line);
            if (op == "'" || op == "\"" || op == "T*" || op == "Td" || op == "TD" || op == "Tm") ApplyMove(line);
            if (IsTextShowing(op)) text += PdfShownText(LineOperands(line), font, addSpace);
        }
        if (Marked* span = ActualTextSpan()) {
            text = span->used ? std::u16string() : span->actualText;
            span->used = true;
        }
        if (Overprinted(text)) {
            // The same string drawn again where it was: nothing new to read.
            pendingSpace_ = Gap::None;
            if (shown_.active) lines_.TakeLast(shown_.line);
            lines_.Clear();
            newBlock_ = false;
            return;
        }
        TDTPDFItems& items = page_.Items();
        bool hasLast = lastText_ >= 0;
        std::u16string_view lastText = hasLast ? items.TextOf(lastText_) : std::u16string_view();
        double lastTop = hasLast ? items.TopOf(lastText_) : 0;
        // A string apart from the previous one on its line, or on another
        // line that the page's text would not break at, is a word of its own.
        // A word broken at a hyphen at the end of a line stays one word.
        bool apart = pendingSpace_ == Gap::Word ||
                     (pendingSpace_ == Gap::OtherLine && hasLast && !EndsWithHyphen(lastText) &&
                      std::fabs(lastTop - lineTop_) <= 5);
        if (apart && hasLast && !text.empty() && text[0] != u' ' && lastText.back() != u' ')
            text.insert(text.begin(), u' ');
        // A text object that starts where the previous one's last string
        // ended, on its line, continues its word (glyphs placed one by one).
        bool joinsPrevious = newBlock_ && gapMeasured_ && pendingSpace_ == Gap::None && hasLast &&
                             std::fabs(lastTop - lineTop_) <= 5;
        pendingSpace_ = Gap::None;
        gapMeasured_ = false;
        items.AddText(text, fontName, fontSize, lineLeft_, lineTop_, !newBlock_, joinsPrevious);
        if (!text.empty()) {
            lastText_ = items.Count() - 1;
            lastDrawnAt_[0] = showAt_[4];
            lastDrawnAt_[1] = showAt_[5];
            lastDrawnEm_ = showEm_;
        }
        // The string just shown is measured when the next one comes.
        if (shown_.active) lines_.TakeLast(shown_.line);
        lines_.Clear();
        newBlock_ = false;
    }

    // True when text repeats the last string drawn, at nearly its place.
    bool Overprinted(const std::u16string& text) const {
        if (lastText_ < 0 || text.empty() || text != page_.Items().TextOf(lastText_)) return false;
        if (text.find_first_not_of(u' ') == std::u16string::npos) return false;
        double tolerance = kOverprint * std::max(lastDrawnEm_, showEm_);
        return tolerance > 0 && std::fabs(showAt_[4] - lastDrawnAt_[0]) <= tolerance &&
               std::fabs(showAt_[5] - lastDrawnAt_[1]) <= tolerance;
    }

    void ApplyMoves() {
        for (int i = 0; i < lines_.Count(); ++i) ApplyMove(lines_[i]);
    }

    void ApplyMove(std::string_view line) {
        std::string_view op = PdfLineOperator(line);
        std::string_view operands = LineOperands(line);
        if (op == "Td" || op == "TD") {
            std::vector<double> v = Numbers(operands, 2);
            double tx = v.size() > 0 ? v[0] : 0, ty = v.size() > 1 ? v[1] : 0;
            lineLeft_ += tx;
            lineTop_ -= ty;
            if (op == "TD") leading_ = -ty;
        } else if (op == "Tm") {
            std::vector<double> v = Numbers(operands, 6);
            lineLeft_ = v.size() > 4 ? v[4] : 0;
            lineTop_ = page_.Height - (v.size() > 5 ? v[5] : 0);
        } else if (op == "T*" || op == "'" || op == "\"") {
            lineTop_ += leading_;
        }
        if (!std::isfinite(lineLeft_) || std::fabs(lineLeft_) > 1e9) lineLeft_ = 0;
        if (!std::isfinite(lineTop_) || std::fabs(lineTop_) > 1e9) lineTop_ = 0;
    }

    TDTPDFPage& page_;
    const TDTPDFPageFonts* fonts_;
    mutable std::map<std::string, const TDTPDFFont*> fontsFolded_;  // fonts_ by lower-cased name
    const TDTPDFFonts* readerFonts_;
    TDTWTagValues lines_;
    bool inText_ = false;
    bool newBlock_ = false;
    double lineLeft_ = 0, lineTop_ = 0;
    double leading_ = 0;
    std::string font_;
    int32_t fontSize_ = 0;
    std::vector<Marked> marked_;
    // Text state for the pen position: font size, spacing, horizontal
    // scaling (a fraction), leading; the text and line matrices.
    double size_ = 0, charSpacing_ = 0, wordSpacing_ = 0, hScale_ = 1, textLeading_ = 0;
    double tm_[6] = {1, 0, 0, 1, 0, 0}, tlm_[6] = {1, 0, 0, 1, 0, 0};
    // Where the last string shown in this text object ended.
    double penEnd_[2] = {0, 0};
    double penLineHeight_ = 0;  // font size of the last string, as drawn
    bool hasPenEnd_ = false;
    // The last string shown in this text object, until it is measured, with
    // the state it was shown in; moved once the text matrix was set since.
    struct Shown {
        bool active = false, moved = false;
        std::string line;  // the operator's line, operands first
        const TDTPDFFont* font = nullptr;
        double size = 0, charSpacing = 0, wordSpacing = 0, hScale = 1;
        double start[6] = {1, 0, 0, 1, 0, 0};
        double ctm[6] = {1, 0, 0, 1, 0, 0};
        bool crossed = false;  // shown in an earlier text object
    };
    Shown shown_;
    std::string currentFontName_;
    const TDTPDFFont* currentFont_ = nullptr;
    enum class Gap { None, Word, OtherLine };
    Gap pendingSpace_ = Gap::None;
    // The last item with text on this page.
    int lastText_ = -1;  // index of the last item with text on the page
    // The current transformation matrix and the saved ones (q / Q).
    double ctm_[6] = {1, 0, 0, 1, 0, 0};
    std::vector<std::array<double, 6>> saved_;
    size_t savedOverflow_ = 0;
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
    const TDTPDFFormResolver* forms_;
    int formDepth_;
};

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
        if (IsTextShowing(op)) out += LineOperands(line);
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
    std::u16string out;
    PdfLexer lx(operands);
    int depth = 0;
    bool wordSpace = false;
    while (true) {
        PdfToken t = lx.Next();
        if (t == PdfToken::End) break;
        if (t == PdfToken::ArrayOpen) ++depth;
        else if (t == PdfToken::ArrayClose) --depth;
        else if (t == PdfToken::String || t == PdfToken::HexString) {
            size_t used = 0;
            std::u16string part = DecodeBytes(PdfDecodeString(lx.TokenText(), used), font, addSpace);
            if (part.empty()) continue;
            if ((addSpace || wordSpace) && !out.empty() && out.back() != u' ' && part[0] != u' ') out.push_back(u' ');
            wordSpace = false;
            out += part;
        } else if (t == PdfToken::Number && depth > 0) {
            // Kerning inside TJ: a large negative adjustment moves the pen
            // by a word space.
            double adj = NumberValue(lx.TokenText());
            if (adj < kWordSpaceAdjustment && !out.empty()) wordSpace = true;
        }
    }
    return out;
}

void TDTPDFPages::ParseContents(std::string_view strContent, std::string_view strMediaBox,
                                const TDTPDFPageFonts* fonts, const TDTPDFFormResolver* forms) {
    TDTPDFPage* page = AddPage();
    if (strContent.empty()) return;
    size_t open = strMediaBox.find('['), close = strMediaBox.find(']');
    if (open != std::string_view::npos && close != std::string_view::npos && open < close) {
        std::vector<double> v = Numbers(strMediaBox.substr(open + 1, close - open - 1), 4);
        int32_t* fields[] = {&page->Left, &page->Top, &page->Width, &page->Height};
        for (size_t i = 0; i < v.size(); ++i)
            if (std::isfinite(v[i]) && std::fabs(v[i]) < 1e7) *fields[i] = static_cast<int32_t>(std::lround(v[i]));
    }
    ContentParser parser(*page, fonts, FPDFReader ? &FPDFReader->Fonts() : nullptr, forms);
    parser.Run(strContent);
}

}  // namespace quillmark
