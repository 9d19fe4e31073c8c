#include "quillmark/pdf/pdf_cmap.h"

#include "quillmark/pdf/pdf_encodings.h"
#include "quillmark/pdf/pdf_syntax.h"

namespace quillmark {

namespace {

// Ranges up to this many codes go into the lookup table.
constexpr uint32_t kExpandLimit = 4096;
// Mappings kept from one CMap at most (a hostile CMap cannot exhaust memory).
constexpr size_t kMaxEntries = size_t{1} << 20;

bool BytesToCode(std::string_view bytes, uint32_t& code, uint8_t& length) {
    if (bytes.empty() || bytes.size() > 4) return false;
    code = 0;
    for (unsigned char b : bytes) code = (code << 8) | b;
    length = static_cast<uint8_t>(bytes.size());
    return true;
}

std::string HexBytes(PdfLexer& lexer, PdfToken t) {
    if (t != PdfToken::HexString) return {};
    PdfLexer one(lexer.TokenText());
    return PdfParseObject(one).text;
}

}  // namespace

std::u16string PdfCMapDestination(std::string_view bytes, uint32_t offset) {
    std::u16string out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        out.push_back(static_cast<char16_t>((static_cast<unsigned char>(bytes[i]) << 8) |
                                            static_cast<unsigned char>(bytes[i + 1])));
    if (bytes.size() % 2 == 1) out.push_back(static_cast<unsigned char>(bytes.back()));
    if (!out.empty()) out.back() = static_cast<char16_t>(out.back() + offset);
    return out;
}

void TDTPDFCMap::Clear() { *this = TDTPDFCMap(); }

void TDTPDFCMap::Parse(std::string_view text) {
    Clear();
    PdfLexer lexer(text);
    uint32_t line = 0;
    auto noteSource = [&](uint8_t length) { sourceLengths_ |= static_cast<uint8_t>(1u << (length - 1)); };
    while (true) {
        PdfToken t = lexer.Next();
        if (t == PdfToken::End) break;
        if (t != PdfToken::Keyword) continue;
        std::string_view kw = lexer.TokenText();
        if (kw == "begincodespacerange") {
            while (true) {
                PdfToken a = lexer.Next();
                if (a != PdfToken::HexString) break;
                std::string lo = HexBytes(lexer, a);
                PdfToken b = lexer.Next();
                if (b != PdfToken::HexString) break;
                std::string hi = HexBytes(lexer, b);
                if (lo.empty() || lo.size() != hi.size() || lo.size() > 4 || codeSpace_.size() >= 256) continue;
                CodeSpace cs{static_cast<uint8_t>(lo.size()), {}, {}};
                for (size_t i = 0; i < lo.size(); ++i) {
                    cs.low[i] = static_cast<uint8_t>(lo[i]);
                    cs.high[i] = static_cast<uint8_t>(hi[i]);
                }
                codeSpace_.push_back(cs);
            }
        } else if (kw == "beginbfchar") {
            while (true) {
                PdfToken a = lexer.Next();
                if (a != PdfToken::HexString) break;
                std::string src = HexBytes(lexer, a);
                PdfToken b = lexer.Next();
                std::u16string dst;
                if (b == PdfToken::HexString) dst = PdfCMapDestination(HexBytes(lexer, b));
                else if (b == PdfToken::Name) dst = PdfGlyphNameToUnicode(PdfDecodeName(lexer.TokenText()));
                else break;
                uint32_t code;
                uint8_t length;
                ++line;
                if (!BytesToCode(src, code, length) || chars_.size() >= kMaxEntries) continue;
                noteSource(length);
                chars_.emplace(Key(code, length), Target{std::move(dst), line});
            }
        } else if (kw == "beginbfrange") {
            while (true) {
                PdfToken a = lexer.Next();
                if (a != PdfToken::HexString) break;
                std::string lo = HexBytes(lexer, a);
                PdfToken b = lexer.Next();
                if (b != PdfToken::HexString) break;
                std::string hi = HexBytes(lexer, b);
                size_t save = lexer.Position();
                PdfToken c = lexer.Next();
                ++line;
                std::string base;
                PdfObject array;
                if (c == PdfToken::HexString) {
                    base = HexBytes(lexer, c);
                } else if (c == PdfToken::ArrayOpen) {
                    lexer.SetPosition(save);
                    array = PdfParseObject(lexer);
                } else {
                    break;
                }
                uint32_t low, high;
                uint8_t length, length2;
                if (!BytesToCode(lo, low, length) || !BytesToCode(hi, high, length2) || high < low) continue;
                noteSource(length);
                uint32_t count = high - low + 1;
                if (c == PdfToken::HexString && count > kExpandLimit) {
                    if (bigRanges_.size() < 4096)
                        bigRanges_.push_back({length, low, high, base, line});
                    continue;
                }
                if (c == PdfToken::ArrayOpen) count = std::min<uint32_t>(count, static_cast<uint32_t>(array.items.size()));
                for (uint32_t k = 0; k < count && ranges_.size() < kMaxEntries; ++k) {
                    std::u16string dst;
                    if (c == PdfToken::HexString) {
                        dst = PdfCMapDestination(base, k);
                    } else {
                        const PdfObject& item = array.items[k];
                        if (item.kind == PdfObject::String) dst = PdfCMapDestination(item.text);
                        else if (item.kind == PdfObject::Name) dst = PdfGlyphNameToUnicode(item.text);
                    }
                    ranges_.emplace(Key(low + k, length), Target{std::move(dst), line});
                }
            }
        }
    }
    minLength_ = maxLength_ = 0;
    if (!codeSpace_.empty()) {
        minLength_ = 4;
        for (const auto& cs : codeSpace_) {
            minLength_ = std::min(minLength_, cs.length);
            maxLength_ = std::max(maxLength_, cs.length);
        }
    } else {
        for (uint8_t n = 1; n <= 4; ++n)
            if (sourceLengths_ & (1u << (n - 1))) {
                if (minLength_ == 0) minLength_ = n;
                maxLength_ = n;
            }
    }
}

void TDTPDFCMap::SplitCodes(std::string_view bytes, std::vector<Code>& out) const {
    out.clear();
    size_t i = 0, n = bytes.size();
    auto byteAt = [&](size_t k) { return static_cast<uint8_t>(bytes[k]); };
    while (i < n) {
        uint8_t length = 0;
        if (!codeSpace_.empty()) {
            // The shortest code space range that the next bytes fall in.
            for (uint8_t len = 1; len <= 4 && !length && i + len <= n; ++len) {
                for (const auto& cs : codeSpace_) {
                    if (cs.length != len) continue;
                    bool in = true;
                    for (uint8_t k = 0; k < len && in; ++k)
                        in = byteAt(i + k) >= cs.low[k] && byteAt(i + k) <= cs.high[k];
                    if (in) {
                        length = len;
                        break;
                    }
                }
            }
            if (!length) length = minLength_;
        } else {
            length = minLength_ ? minLength_ : 1;
        }
        if (i + length > n) length = static_cast<uint8_t>(n - i);
        uint32_t code = 0;
        for (uint8_t k = 0; k < length; ++k) code = (code << 8) | byteAt(i + k);
        out.push_back({code, length});
        i += length;
    }
}

bool TDTPDFCMap::Find(const std::unordered_map<uint64_t, Target>& map, uint32_t code, uint8_t length,
                      const Target*& found) const {
    auto it = map.find(Key(code, length));
    if (it == map.end()) return false;
    found = &it->second;
    return true;
}

const TDTPDFCMap::BigRange* TDTPDFCMap::FindBig(uint32_t code, uint8_t length) const {
    for (const auto& r : bigRanges_)
        if (r.length == length && code >= r.low && code <= r.high) return &r;
    return nullptr;
}

bool TDTPDFCMap::Lookup(uint32_t code, uint8_t length, std::u16string& out) const {
    const Target* t = nullptr;
    if (Find(chars_, code, length, t) || Find(ranges_, code, length, t)) {
        out += t->text;
        return true;
    }
    if (const BigRange* r = FindBig(code, length)) {
        out += PdfCMapDestination(r->base, code - r->low);
        return true;
    }
    return false;
}

bool TDTPDFCMap::FindCodeOf(char16_t unit, uint32_t& code) const {
    bool found = false;
    for (const auto* map : {&chars_, &ranges_})
        for (const auto& [key, target] : *map)
            if (target.text.size() == 1 && target.text[0] == unit) {
                uint32_t c = static_cast<uint32_t>(key & 0xFFFFFFFFu);
                if (!found || c < code) code = c;
                found = true;
            }
    for (const auto& r : bigRanges_) {
        std::u16string low = PdfCMapDestination(r.base);
        if (low.size() == 1 && low[0] <= unit && uint32_t{unit} - low[0] <= r.high - r.low) {
            uint32_t c = r.low + (uint32_t{unit} - low[0]);
            if (!found || c < code) code = c;
            found = true;
        }
    }
    return found;
}

bool TDTPDFCMap::LookupUnit(char16_t unit, std::u16string& out) const {
    const Target* best = nullptr;
    for (const auto* map : {&chars_, &ranges_}) {
        const Target* a = nullptr;
        const Target* b = nullptr;
        if (unit <= 0xFF) Find(*map, unit, 1, a);
        Find(*map, unit, 2, b);
        if (a && b) best = a->line < b->line ? a : b;
        else best = a ? a : b;
        if (map == &ranges_ && best) {
            // A wide range listed before the table's match wins.
            for (uint8_t len : {uint8_t{1}, uint8_t{2}})
                if (const BigRange* r = FindBig(unit, len); r && r->line < best->line) {
                    out += PdfCMapDestination(r->base, unit - r->low);
                    return true;
                }
        }
        if (best) {
            out += best->text;
            return true;
        }
    }
    for (uint8_t len : {uint8_t{1}, uint8_t{2}})
        if (const BigRange* r = FindBig(unit, len)) {
            out += PdfCMapDestination(r->base, unit - r->low);
            return true;
        }
    return false;
}

}  // namespace quillmark
