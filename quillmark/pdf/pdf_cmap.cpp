#include "quillmark/pdf/pdf_cmap.h"

#include <algorithm>

#include "quillmark/framework/work_budget.h"

#include "quillmark/pdf/pdf_encodings.h"
#include "quillmark/pdf/pdf_syntax.h"

namespace quillmark {

namespace {

// Mappings (characters plus ranges) kept from one CMap at most.
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
                if (!BytesToCode(src, code, length) || chars_.size() + ranges_.size() >= kMaxEntries) continue;
                noteSource(length);
                chars_.push_back({Key(code, length), line, Store(dst)});
                ChargeWorkItems(1, "CMap ranges");
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
                if (chars_.size() + ranges_.size() >= kMaxEntries) continue;
                ChargeWorkItems(1, "CMap ranges");
                Range r;
                r.low = Key(low, length);
                r.high = Key(high, length);
                r.line = line;
                if (c == PdfToken::HexString) {
                    r.base = Store(PdfCMapDestination(base));
                } else {
                    // One destination per code, as many as both the range
                    // and the array have.
                    uint32_t count = static_cast<uint32_t>(
                        std::min<uint64_t>(uint64_t{high} - low + 1, array.items.size()));
                    if (count == 0) continue;
                    ChargeWorkItems(count, "CMap ranges");
                    r.arrayFirst = static_cast<uint32_t>(arrayTexts_.size());
                    r.arrayCount = count;
                    for (uint32_t k = 0; k < count; ++k) {
                        const PdfObject& item = array.items[k];
                        std::u16string dst;
                        if (item.kind == PdfObject::String) dst = PdfCMapDestination(item.text);
                        else if (item.kind == PdfObject::Name) dst = PdfGlyphNameToUnicode(item.text);
                        arrayTexts_.push_back(Store(dst));
                    }
                    r.high = r.low + count - 1;
                }
                ranges_.push_back(r);
            }
        }
    }
    Finish();
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

TDTPDFCMap::Text TDTPDFCMap::Store(const std::u16string& text) {
    Text t{static_cast<uint32_t>(pool_.size()), static_cast<uint32_t>(text.size())};
    pool_ += text;
    return t;
}

void TDTPDFCMap::Finish() {
    // The first line of each code wins: a stable sort keeps lines in order
    // within a key, and the later duplicates go.
    std::stable_sort(chars_.begin(), chars_.end(), [](const Char& a, const Char& b) { return a.key < b.key; });
    chars_.erase(std::unique(chars_.begin(), chars_.end(), [](const Char& a, const Char& b) { return a.key == b.key; }),
                 chars_.end());
    std::stable_sort(ranges_.begin(), ranges_.end(), [](const Range& a, const Range& b) { return a.low < b.low; });
    std::fill(std::begin(oneByte_), std::end(oneByte_), -1);
    for (size_t i = 0; i < chars_.size() && chars_[i].key <= Key(0xFF, 1); ++i)
        if (chars_[i].key >= Key(0, 1)) oneByte_[chars_[i].key & 0xFF] = static_cast<int32_t>(i);
    reach_.resize(ranges_.size());
    for (size_t i = 0; i < ranges_.size(); ++i) reach_[i] = i ? std::max(reach_[i - 1], ranges_[i].high) : ranges_[i].high;
    chars_.shrink_to_fit();
    ranges_.shrink_to_fit();
    pool_.shrink_to_fit();
}

const TDTPDFCMap::Char* TDTPDFCMap::FindChar(uint32_t code, uint8_t length) const {
    if (chars_.empty()) return nullptr;  // also before the table is filled
    if (length == 1 && code <= 0xFF) return oneByte_[code] < 0 ? nullptr : &chars_[static_cast<size_t>(oneByte_[code])];
    uint64_t key = Key(code, length);
    auto it = std::lower_bound(chars_.begin(), chars_.end(), key, [](const Char& c, uint64_t k) { return c.key < k; });
    return it != chars_.end() && it->key == key ? &*it : nullptr;
}

const TDTPDFCMap::Range* TDTPDFCMap::FindRange(uint32_t code, uint8_t length) const {
    uint64_t key = Key(code, length);
    // Ranges starting at or before the code, from the last one back; the
    // scan ends where no earlier range reaches the code. Ranges that do not
    // overlap (the usual CMap) need one step.
    auto it = std::upper_bound(ranges_.begin(), ranges_.end(), key, [](uint64_t k, const Range& r) { return k < r.low; });
    const Range* best = nullptr;
    for (size_t i = static_cast<size_t>(it - ranges_.begin()); i > 0 && reach_[i - 1] >= key; --i) {
        const Range& r = ranges_[i - 1];
        if (r.high >= key && (!best || r.line < best->line)) best = &r;
    }
    return best;
}

void TDTPDFCMap::Append(const Range& r, uint32_t code, std::u16string& out) const {
    uint32_t offset = static_cast<uint32_t>(Key(code, 0) - Key(static_cast<uint32_t>(r.low), 0));
    if (r.arrayCount) {
        const Text& t = arrayTexts_[r.arrayFirst + offset];
        out.append(pool_, t.offset, t.size);
        return;
    }
    if (r.base.size == 0) return;
    out.append(pool_, r.base.offset, r.base.size);
    out.back() = static_cast<char16_t>(out.back() + offset);
}

bool TDTPDFCMap::Lookup(uint32_t code, uint8_t length, std::u16string& out) const {
    if (const Char* c = FindChar(code, length)) {
        out.append(pool_, c->text.offset, c->text.size);
        return true;
    }
    if (const Range* r = FindRange(code, length)) {
        Append(*r, code, out);
        return true;
    }
    return false;
}

bool TDTPDFCMap::LookupUnit(char16_t unit, std::u16string& out) const {
    // The unit as a one-byte and as a two-byte source: the earlier line
    // wins, characters before ranges.
    const Char* a = unit <= 0xFF ? FindChar(unit, 1) : nullptr;
    const Char* b = FindChar(unit, 2);
    if (a || b) {
        const Char* c = a && b ? (a->line < b->line ? a : b) : (a ? a : b);
        out.append(pool_, c->text.offset, c->text.size);
        return true;
    }
    const Range* ra = unit <= 0xFF ? FindRange(unit, 1) : nullptr;
    const Range* rb = FindRange(unit, 2);
    if (ra || rb) {
        const Range* r = ra && rb ? (ra->line < rb->line ? ra : rb) : (ra ? ra : rb);
        Append(*r, unit, out);
        return true;
    }
    return false;
}

bool TDTPDFCMap::FindCodeOf(char16_t unit, uint32_t& code) const {
    bool found = false;
    auto take = [&](uint32_t c) {
        if (!found || c < code) code = c;
        found = true;
    };
    for (const Char& c : chars_)
        if (c.text.size == 1 && pool_[c.text.offset] == unit) take(static_cast<uint32_t>(c.key & 0xFFFFFFFFu));
    for (const Range& r : ranges_) {
        uint32_t low = static_cast<uint32_t>(r.low & 0xFFFFFFFFu);
        uint32_t span = static_cast<uint32_t>(r.high - r.low);
        if (r.arrayCount) {
            for (uint32_t k = 0; k < r.arrayCount; ++k) {
                const Text& t = arrayTexts_[r.arrayFirst + k];
                if (t.size == 1 && pool_[t.offset] == unit) take(low + k);
            }
        } else if (r.base.size == 1) {
            char16_t first = pool_[r.base.offset];
            if (first <= unit && uint32_t{unit} - first <= span) take(low + (uint32_t{unit} - first));
        }
    }
    return found;
}

}  // namespace quillmark
