#include "quillmark/pdf/pdf_fonts.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/pdf/pdf_cid_collections.h"
#include "quillmark/pdf/pdf_encodings.h"
#include "quillmark/pdf/pdf_glyph_tables.h"
#include "quillmark/pdf/pdf_syntax.h"

namespace quillmark {

namespace {

// The lines between every begin and the following end keyword.
void SectionLines(std::string_view text, std::string_view begin, std::string_view end,
                  std::vector<std::string>& out) {
    out.clear();
    size_t pos = 0;
    while (true) {
        size_t b = text.find(begin, pos);
        if (b == std::string_view::npos) return;
        b += begin.size();
        size_t e = text.find(end, b);
        std::string_view body = text.substr(b, e == std::string_view::npos ? std::string_view::npos : e - b);
        size_t s = 0;
        while (s < body.size()) {
            size_t nl = body.find_first_of("\r\n", s);
            std::string_view line = body.substr(s, nl == std::string_view::npos ? std::string_view::npos : nl - s);
            if (!line.empty()) out.emplace_back(line);
            if (nl == std::string_view::npos) break;
            s = nl + 1;
        }
        if (e == std::string_view::npos) return;
        pos = e + end.size();
    }
}

// Widths read from a font dictionary are capped: a composite font's /W
// array may not describe more entries than this, nor widths larger than
// kMaxWidth thousandths (a glyph ten times the font size).
constexpr size_t kMaxWidthEntries = 1 << 17;
constexpr double kMaxWidth = 10000;
// Width of a glyph of a font that gives no widths (the standard fonts
// without /Widths). Somewhat wider than the average letter, so that words
// shown in pieces are not taken apart; a gap between words is wider still.
constexpr double kDefaultWidth = 600;

// The encoding a Type 1 font program sets up in its clear-text part
// ("/Encoding 256 array ... dup 12 /fi put ... readonly def"): the glyph
// name of each code it lists. A program that uses the standard encoding
// ("/Encoding StandardEncoding def") lists none.
void Type1Encoding(std::string_view program, std::vector<std::string>& names) {
    names.assign(256, std::string());
    // The encoding comes before the encrypted part.
    size_t end = std::min(program.find("eexec"), program.size());
    size_t at = program.substr(0, end).find("/Encoding");
    if (at == std::string_view::npos) return;
    PdfLexer lx(program.substr(at + 9, end - at - 9));
    // Tokens "dup CODE /NAME put", until the definition ends.
    std::string_view window[4];
    int seen = 0;
    for (PdfToken t = lx.Next(); t != PdfToken::End; t = lx.Next()) {
        std::string_view tok = lx.TokenText();
        if (t == PdfToken::Keyword && (tok == "def" || tok == "readonly" || tok == "StandardEncoding")) return;
        for (int i = 0; i < 3; ++i) window[i] = window[i + 1];
        window[3] = t == PdfToken::Name || t == PdfToken::Number || t == PdfToken::Keyword ? tok : std::string_view();
        if (++seen >= 4 && window[0] == "dup" && window[3] == "put" && window[2].size() > 1 && window[2][0] == '/') {
            double code = StrToFloatDef(window[1], -1);
            if (code >= 0 && code < 256 && code == std::floor(code))
                names[static_cast<size_t>(code)] = std::string(window[2].substr(1));
        }
    }
}

float SaneWidth(double w) {
    if (!std::isfinite(w) || w < 0) return 0;
    return static_cast<float>(std::min(w, kMaxWidth));
}

}  // namespace

void TDTPDFFont::SetCMap(const std::string& text) {
    FCMap = text;
    if (text.empty()) {
        lstBFRange.clear();
        lstBFChars.clear();
        cmap_.Clear();
        return;
    }
    SectionLines(text, "beginbfrange", "endbfrange", lstBFRange);
    SectionLines(text, "beginbfchar", "endbfchar", lstBFChars);
    cmap_.Parse(text);
}

std::u16string TDTPDFFont::ConvertCMap(bool, bool addSpace, std::u16string_view value) const {
    std::u16string out;
    out.reserve(value.size() * (addSpace ? 2 : 1));
    for (char16_t v : value) {
        if (addSpace && !out.empty()) out.push_back(u' ');
        if (!cmap_.LookupUnit(v, out)) out.push_back(v);
    }
    return out;
}

void TDTPDFFont::SetupEncoding(const PdfObject& font, const std::function<PdfObject(const PdfObject&)>& resolve) {
    const PdfObject* subtype = font.Get("Subtype");
    composite_ = subtype && subtype->IsName("Type0");
    type1Ref_ = -1;
    builtinLoaded_ = true;
    PdfObject enc = font.Get("Encoding") ? resolve(*font.Get("Encoding")) : PdfObject();
    SetupWidths(font, resolve);
    if (const PdfObject* raw = font.Get("Encoding")) {
        if (raw->kind == PdfObject::Name) Encoding = "/" + raw->text;
        else if (raw->kind == PdfObject::Reference) Encoding = std::to_string(raw->ref);
    }
    if (composite_) {
        std::string name = enc.kind == PdfObject::Name ? "/" + enc.text : std::string();
        Identity = name == "/Identity-H" || name == "/Identity-V";
        cjkCodePage_ = PdfCjkCodePage(name);
        unicodeCMap_ = PdfIsUnicodeCMapName(name);
        SetupDescendant(font, resolve);
        return;
    }
    // Simple font: a base encoding, then the /Differences over it. Without
    // an encoding, TrueType fonts are taken as WinAnsi and others as the
    // standard encoding.
    const char16_t* base = nullptr;
    const PdfObject* diffs = nullptr;
    if (enc.kind == PdfObject::Name) {
        base = PdfEncodingTable(enc.text);
    } else if (enc.kind == PdfObject::Dictionary) {
        if (const PdfObject* b = enc.Get("BaseEncoding"); b && b->kind == PdfObject::Name)
            base = PdfEncodingTable(b->text);
        diffs = enc.Get("Differences");
    }
    bool type1 = subtype && (subtype->IsName("Type1") || subtype->IsName("MMType1"));
    if (!base) base = type1 ? kStandardEncoding : kWinAnsiEncoding;
    if (type1 && enc.kind != PdfObject::Name && !(enc.kind == PdfObject::Dictionary && enc.Get("BaseEncoding"))) {
        // Without a base encoding of its own, an embedded Type 1 program's
        // encoding applies (TeX fonts put their ligatures at 11 to 15).
        if (const PdfObject* fd = font.Get("FontDescriptor")) {
            PdfObject descriptor = resolve(*fd);
            const PdfObject* file = descriptor.Get("FontFile");
            if (file && file->kind == PdfObject::Reference) {
                type1Ref_ = file->ref;
                builtinLoaded_ = false;
            }
        }
    }
    differed_.assign(256, false);
    codeText_.assign(256, std::u16string());
    for (int c = 0; c < 256; ++c)
        if (base[c]) PdfAppendChar(codeText_[static_cast<size_t>(c)], base[c]);
    if (diffs && diffs->kind == PdfObject::Array) {
        int64_t code = -1;
        for (const PdfObject& item : diffs->items) {
            if (item.kind == PdfObject::Number) {
                code = item.AsInt(-1);
            } else if (item.kind == PdfObject::Name && code >= 0) {
                if (code < 256) {
                    std::u16string text = PdfGlyphNameToUnicode(item.text);
                    // Unknown names (glyph numbers of subset fonts) keep the base.
                    if (!text.empty()) {
                        codeText_[static_cast<size_t>(code)] = std::move(text);
                        differed_[static_cast<size_t>(code)] = true;
                    }
                }
                ++code;
            }
        }
    }
}

void TDTPDFFont::SetupDescendant(const PdfObject& font, const std::function<PdfObject(const PdfObject&)>& resolve) {
    // Only where the streams are is noted here; they are decoded when a
    // text step needs them.
    const PdfObject* d = font.Get("DescendantFonts");
    if (!d) return;
    PdfObject kids = resolve(*d);
    PdfObject cidFont = kids.kind == PdfObject::Array && !kids.items.empty() ? resolve(kids.items[0]) : kids;
    if (cidFont.kind != PdfObject::Dictionary) return;
    if (const PdfObject* info = cidFont.Get("CIDSystemInfo")) {
        PdfObject si = resolve(*info);
        const PdfObject* reg = si.Get("Registry");
        const PdfObject* ord = si.Get("Ordering");
        if (reg && ord && reg->kind == PdfObject::String && ord->kind == PdfObject::String)
            collection_ = reg->text.substr(0, 64) + "-" + ord->text.substr(0, 64);
    }
    const PdfObject* map = cidFont.Get("CIDToGIDMap");
    if (map && map->kind == PdfObject::Reference) cidToGidRef_ = map->ref;
    if (const PdfObject* fd = cidFont.Get("FontDescriptor")) {
        PdfObject descriptor = resolve(*fd);
        const PdfObject* file = descriptor.Get("FontFile2");
        if (!file) file = descriptor.Get("FontFile3");
        if (file && file->kind == PdfObject::Reference) programRef_ = cidRef_ = file->ref;
    } else {
        cidRef_ = cidToGidRef_;
    }
}

void TDTPDFFont::LoadBuiltinEncoding() const {
    builtinLoaded_ = true;
    if (!decode_ || type1Ref_ < 0 || codeText_.size() != 256) return;
    std::vector<std::string> names;
    try {
        Type1Encoding(decode_(type1Ref_), names);
    } catch (const ELimitError&) {
        throw;  // the load's work limit ends the load
    } catch (const Exception&) {
        return;  // a damaged program keeps the standard encoding
    }
    for (size_t c = 0; c < 256; ++c) {
        if (names[c].empty() || differed_[c]) continue;
        // Unknown names (glyph numbers of subset fonts) keep the standard
        // encoding's character.
        std::u16string text = PdfGlyphNameToUnicode(names[c]);
        if (!text.empty()) codeText_[c] = std::move(text);
    }
}

const std::string& TDTPDFFont::CID() const {
    if (!cidLoaded_ && decode_ && cidRef_ >= 0) {
        cidLoaded_ = true;
        // A damaged stream leaves the data empty, not the text unread.
        try {
            cid_ = decode_(cidRef_);
        } catch (const ELimitError&) {
            throw;  // the load's work limit ends the load
        } catch (const Exception&) {
        }
    }
    return cid_;
}

void TDTPDFFont::LoadGlyphMap() const {
    glyphMapLoaded_ = true;
    if (!decode_) return;
    try {
        if (programRef_ >= 0) glyphMap_.Parse(programRef_ == cidRef_ ? std::string_view(CID()) : decode_(programRef_));
        if (cidToGidRef_ >= 0 && !glyphMap_.Empty())
            cidToGid_ = cidToGidRef_ == cidRef_ ? CID() : decode_(cidToGidRef_);
    } catch (const ELimitError&) {
        throw;
    } catch (const Exception&) {
    }
}

char32_t TDTPDFFont::FallbackCharacter(uint32_t cid) const {
    if (!glyphMapLoaded_) LoadGlyphMap();
    if (!glyphMap_.Empty()) {
        uint32_t gid = cid;
        if (cidToGidRef_ >= 0) {
            size_t at = size_t{cid} * 2;
            gid = at + 1 < cidToGid_.size()
                      ? (static_cast<uint32_t>(static_cast<unsigned char>(cidToGid_[at])) << 8) |
                            static_cast<unsigned char>(cidToGid_[at + 1])
                      : 0;
        }
        return glyphMap_.Lookup(gid);
    }
    // Codes of the Identity collection without any map: producers that
    // write Unicode values as codes are the common case.
    bool identity = collection_.size() >= 9 && collection_.compare(collection_.size() - 9, 9, "-Identity") == 0;
    bool printable = cid >= 0x20 && !(cid >= 0x7F && cid < 0xA0) && !(cid >= 0xD800 && cid < 0xF900) &&
                     cid != 0xFFFE && cid != 0xFFFF && !(cid >= 0xFDD0 && cid <= 0xFDEF);
    return identity && printable ? cid : 0;
}

double TDTPDFFont::SpaceWidth() const {
    if (spaceWidth_ >= 0) return spaceWidth_;
    if (!builtinLoaded_) LoadBuiltinEncoding();
    double w = 0;
    uint32_t code = 0;
    // Only a width the font gives for its space counts, not a default.
    auto listed = [this](uint32_t c) {
        auto it = std::upper_bound(widthRanges_.begin(), widthRanges_.end(), c,
                                   [](uint32_t v, const WidthRange& r) { return v < r.first; });
        return it != widthRanges_.begin() && c <= (it - 1)->last;
    };
    if (!composite_) {
        if (listed(32) && codeText_.size() > 32 && codeText_[32] == u" ") w = GlyphWidth(32);
    } else if (cmap_.FindCodeOf(u' ', code) && listed(code)) {
        w = GlyphWidth(code);
    }
    // A zero or tiny space (fonts that draw no space glyph) says nothing.
    spaceWidth_ = w >= 100 ? w : 250;
    return spaceWidth_;
}

std::u16string TDTPDFFont::DecodeText(std::string_view bytes, bool addSpace, std::vector<BlankRun>* blanks) const {
    bool hasCMap = !cmap_.Empty();
    if (!builtinLoaded_) LoadBuiltinEncoding();
    if (!hasCMap && cjkCodePage_) return MultiByteToWide(bytes, cjkCodePage_);
    if (!hasCMap && unicodeCMap_) return MultiByteToWide(bytes, CP_UTF16BE);
    std::u16string out;
    out.reserve(bytes.size());
    std::vector<TDTPDFCMap::Code> codes;
    SplitCodes(bytes, codes);
    for (const auto& c : codes) {
        size_t before = out.size();
        if (addSpace && hasCMap && !out.empty()) out.push_back(u' ');
        size_t mark = out.size();
        if (hasCMap && (cmap_.Lookup(c.value, c.length, out) || (!composite_ && cmap_.Lookup(c.value, 2, out)))) {
            // A mapping to nothing or to control codes carries no text.
        } else if (!codeText_.empty() && c.length == 1) {
            out += codeText_[c.value];
        } else if (!composite_ && c.length == 1 && c.value >= 0x20) {
            out.push_back(static_cast<char16_t>(c.value));
        } else if (composite_ && cjkCodePage_) {
            std::string raw;
            for (int k = c.length - 1; k >= 0; --k) raw.push_back(static_cast<char>((c.value >> (8 * k)) & 0xFF));
            out += MultiByteToWide(raw, cjkCodePage_);
        } else if (composite_ && !hasCMap) {
            // Codes that are CIDs of one of Adobe's CJK collections read as
            // the collection's own map says; others through the font program.
            std::u16string_view known = Identity ? PdfCollectionText(collection_, c.value) : std::u16string_view();
            if (!known.empty()) out += known;
            else if (char32_t u = FallbackCharacter(c.value)) PdfAppendChar(out, u);
        }
        // Composite fonts without a way to Unicode give nothing for the code
        // rather than the glyph number as a character.
        if (out.size() == mark && mark != before) out.resize(before);
        if (blanks && out.size() == before && HasWidths()) {
            double w = GlyphWidth(c.value);
            if (!blanks->empty() && blanks->back().at == out.size()) blanks->back().width += w;
            else blanks->push_back({out.size(), w});
        }
    }
    return out;
}

void TDTPDFFont::SplitCodes(std::string_view bytes, std::vector<TDTPDFCMap::Code>& codes) const {
    codes.clear();
    if (!composite_) {
        // Simple fonts always take one byte per code, whatever code space
        // their ToUnicode CMap declares.
        codes.reserve(bytes.size());
        for (unsigned char b : bytes) codes.push_back({b, 1});
    } else if (!cmap_.Empty() && !Identity && cmap_.HasCodeSpace()) {
        cmap_.SplitCodes(bytes, codes);
    } else {
        for (size_t i = 0; i < bytes.size(); i += 2) {
            uint32_t code = static_cast<unsigned char>(bytes[i]);
            uint8_t len = 1;
            if (i + 1 < bytes.size()) {
                code = (code << 8) | static_cast<unsigned char>(bytes[i + 1]);
                len = 2;
            }
            codes.push_back({code, len});
        }
    }
}

void TDTPDFFont::SetupWidths(const PdfObject& font, const std::function<PdfObject(const PdfObject&)>& resolve) {
    widthRanges_.clear();
    widths_.clear();
    missingWidth_ = -1;
    widthScale_ = 1;
    auto get = [&](const PdfObject& dict, std::string_view key) {
        const PdfObject* v = dict.Get(key);
        return v ? resolve(*v) : PdfObject();
    };
    const PdfObject* subtype = font.Get("Subtype");
    if (subtype && subtype->IsName("Type0")) {
        // The widths of a composite font are in its descendant CIDFont:
        // /DW for every CID, /W listing exceptions either as
        // "first [w1 w2 ...]" or as "first last w".
        PdfObject kids = get(font, "DescendantFonts");
        PdfObject cidFont;
        if (kids.kind == PdfObject::Array && !kids.items.empty()) cidFont = resolve(kids.items[0]);
        else if (kids.kind == PdfObject::Dictionary) cidFont = kids;
        if (cidFont.kind != PdfObject::Dictionary) return;
        PdfObject dw = get(cidFont, "DW");
        missingWidth_ = dw.kind == PdfObject::Number ? SaneWidth(dw.number) : 1000;
        PdfObject w = get(cidFont, "W");
        if (w.kind != PdfObject::Array) return;
        const auto& items = w.items;
        for (size_t i = 0; i + 1 < items.size();) {
            if (items[i].kind != PdfObject::Number) break;
            double first = items[i].number;
            if (!(first >= 0 && first <= UINT32_MAX)) break;
            PdfObject next = resolve(items[i + 1]);
            if (next.kind == PdfObject::Array) {
                size_t n = next.items.size();
                if (n == 0 || widths_.size() + n > kMaxWidthEntries) {
                    i += 2;
                    continue;
                }
                WidthRange r;
                r.first = static_cast<uint32_t>(first);
                r.last = static_cast<uint32_t>(std::min<double>(first + static_cast<double>(n) - 1, UINT32_MAX));
                r.widthIndex = static_cast<int32_t>(widths_.size());
                for (const PdfObject& v : next.items)
                    widths_.push_back(v.kind == PdfObject::Number ? SaneWidth(v.number) : 0);
                widthRanges_.push_back(r);
                i += 2;
            } else if (next.kind == PdfObject::Number && i + 2 < items.size()) {
                double last = next.number;
                PdfObject value = resolve(items[i + 2]);
                if (last >= first && last <= UINT32_MAX && value.kind == PdfObject::Number)
                    widthRanges_.push_back(
                        {static_cast<uint32_t>(first), static_cast<uint32_t>(last), SaneWidth(value.number), -1});
                i += 3;
            } else {
                break;
            }
            if (widthRanges_.size() >= kMaxWidthEntries) break;
        }
    } else {
        // Simple fonts: /Widths[i] is the width of code /FirstChar + i;
        // codes outside take the descriptor's /MissingWidth.
        PdfObject desc = get(font, "FontDescriptor");
        if (desc.kind == PdfObject::Dictionary) {
            PdfObject mw = get(desc, "MissingWidth");
            if (mw.kind == PdfObject::Number) missingWidth_ = SaneWidth(mw.number);
        }
        if (subtype && subtype->IsName("Type3")) {
            // Type3 widths are in glyph space; the font matrix's first entry
            // scales glyph space to text space (usually 0.001).
            PdfObject m = get(font, "FontMatrix");
            if (m.kind == PdfObject::Array && !m.items.empty() && m.items[0].kind == PdfObject::Number) {
                double a = std::fabs(m.items[0].number) * 1000;
                widthScale_ = std::isfinite(a) && a > 0 && a < 1000 ? a : 1;
            }
        }
        PdfObject fc = get(font, "FirstChar");
        PdfObject w = get(font, "Widths");
        if (w.kind != PdfObject::Array || w.items.empty()) return;
        int64_t first = fc.kind == PdfObject::Number ? fc.AsInt(0) : 0;
        if (first < 0 || first > 255) return;
        size_t n = std::min<size_t>(w.items.size(), static_cast<size_t>(256 - first));
        WidthRange r;
        r.first = static_cast<uint32_t>(first);
        r.last = static_cast<uint32_t>(first + static_cast<int64_t>(n) - 1);
        r.widthIndex = 0;
        for (size_t i = 0; i < n; ++i) {
            PdfObject v = resolve(w.items[i]);
            widths_.push_back(v.kind == PdfObject::Number ? SaneWidth(v.number * widthScale_) : 0);
        }
        widthRanges_.push_back(r);
    }
    std::stable_sort(widthRanges_.begin(), widthRanges_.end(),
                     [](const WidthRange& a, const WidthRange& b) { return a.first < b.first; });
}

double TDTPDFFont::GlyphWidth(uint32_t code) const {
    // The last range starting at or before code; ranges of a damaged /W may
    // overlap, and then one of them answers.
    auto it = std::upper_bound(widthRanges_.begin(), widthRanges_.end(), code,
                               [](uint32_t c, const WidthRange& r) { return c < r.first; });
    if (it != widthRanges_.begin()) {
        const WidthRange& r = *(it - 1);
        if (code <= r.last) {
            if (r.widthIndex < 0) return r.width;
            size_t k = static_cast<size_t>(r.widthIndex) + (code - r.first);
            if (k < widths_.size()) return widths_[k];
        }
    }
    // A /MissingWidth alone (often 0, meaning "unknown") says nothing
    // about the glyphs of a font without /Widths.
    if (missingWidth_ >= 0 && (HasWidths() || composite_)) return missingWidth_;
    return kDefaultWidth;
}

TDTPDFFont::Advance TDTPDFFont::MeasureText(std::string_view bytes) const {
    Advance a;
    if (!composite_) {
        for (unsigned char b : bytes) {
            a.width += GlyphWidth(b);
            if (b == 32) ++a.wordSpaces;
        }
        a.glyphs = static_cast<int>(bytes.size());
        return a;
    }
    std::vector<TDTPDFCMap::Code> codes;
    SplitCodes(bytes, codes);
    for (const auto& c : codes) {
        a.width += GlyphWidth(c.value);
        ++a.glyphs;
        if (c.length == 1 && c.value == 32) ++a.wordSpaces;
    }
    return a;
}

TDTPDFFont* TDTPDFFonts::GetItem(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return items_[static_cast<size_t>(index)].get();
}

TDTPDFFont* TDTPDFFonts::AddItem() {
    items_.push_back(std::make_unique<TDTPDFFont>());
    return items_.back().get();
}

namespace {
std::string AsciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}
}  // namespace

TDTPDFFont* TDTPDFFonts::FindFontByName(std::string_view name) const {
    for (; named_ < items_.size(); ++named_)
        byName_.emplace(AsciiLower(items_[named_]->FontName), items_[named_].get());
    auto it = byName_.find(AsciiLower(name));
    return it == byName_.end() ? nullptr : it->second;
}

TDTPDFFont* TDTPDFFonts::FindFontByObject(int32_t objNumber) const {
    auto it = byObject_.find(objNumber);
    return it == byObject_.end() ? nullptr : it->second;
}

void TDTPDFFonts::SetObject(TDTPDFFont* font, int32_t objNumber) {
    font->ObjNumber = objNumber;
    if (objNumber >= 0) byObject_.emplace(objNumber, font);
}

}  // namespace quillmark
