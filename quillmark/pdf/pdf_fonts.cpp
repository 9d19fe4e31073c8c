#include "quillmark/pdf/pdf_fonts.h"

#include <functional>

#include "quillmark/framework/code_pages.h"
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
    PdfObject enc = font.Get("Encoding") ? resolve(*font.Get("Encoding")) : PdfObject();
    if (const PdfObject* raw = font.Get("Encoding")) {
        if (raw->kind == PdfObject::Name) Encoding = "/" + raw->text;
        else if (raw->kind == PdfObject::Reference) Encoding = std::to_string(raw->ref);
    }
    if (composite_) {
        std::string name = enc.kind == PdfObject::Name ? "/" + enc.text : std::string();
        Identity = name == "/Identity-H" || name == "/Identity-V";
        cjkCodePage_ = PdfCjkCodePage(name);
        unicodeCMap_ = PdfIsUnicodeCMapName(name);
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
    if (!base) base = subtype && subtype->IsName("Type1") ? kStandardEncoding : kWinAnsiEncoding;
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
                    if (!text.empty()) codeText_[static_cast<size_t>(code)] = std::move(text);
                }
                ++code;
            }
        }
    }
}

std::u16string TDTPDFFont::DecodeText(std::string_view bytes, bool addSpace) const {
    bool hasCMap = !cmap_.Empty();
    if (!hasCMap && cjkCodePage_) return MultiByteToWide(bytes, cjkCodePage_);
    if (!hasCMap && unicodeCMap_) return MultiByteToWide(bytes, CP_UTF16BE);
    std::u16string out;
    out.reserve(bytes.size());
    std::vector<TDTPDFCMap::Code> codes;
    if (!composite_) {
        // Simple fonts always take one byte per code, whatever code space
        // their ToUnicode CMap declares.
        codes.reserve(bytes.size());
        for (unsigned char b : bytes) codes.push_back({b, 1});
    } else if (hasCMap && !Identity && cmap_.HasCodeSpace()) {
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
        }
        // Composite fonts without a way to Unicode give nothing for the code
        // rather than the glyph number as a character.
        if (out.size() == mark && mark != before) out.resize(before);
    }
    return out;
}

TDTPDFFont* TDTPDFFonts::GetItem(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return items_[static_cast<size_t>(index)].get();
}

TDTPDFFont* TDTPDFFonts::AddItem() {
    items_.push_back(std::make_unique<TDTPDFFont>());
    return items_.back().get();
}

TDTPDFFont* TDTPDFFonts::FindFontByName(std::string_view name) const {
    for (const auto& f : items_)
        if (PdfEqualsIgnoreCase(f->FontName, name)) return f.get();
    return nullptr;
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
