#include "quillmark/pdf/pdf_filters.h"

#include <zlib.h>

#include <vector>

#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "quillmark/framework/work_budget.h"
#include "quillmark/pdf/lzw_decoder.h"
#include "quillmark/pdf/pdf_objects.h"

namespace quillmark {

namespace {

size_t Cap(size_t limit) { return limit == 0 ? MaxOutputBytes() : limit; }

// Decoded bytes the load may still produce (no bound outside a load).
size_t BudgetRoom() {
    const TWorkBudget* b = CurrentWorkBudget();
    if (!b) return SIZE_MAX;
    uint64_t room = b->MaxDecoded() > b->Decoded() ? b->MaxDecoded() - b->Decoded() : 0;
    return room > SIZE_MAX ? SIZE_MAX : static_cast<size_t>(room);
}

// Charges a decoder's output to the load's budget in blocks, so a filter
// that writes a byte at a time does not pay a call per byte.
class TDecodeCharge {
public:
    explicit TDecodeCharge(const char* what) : what_(what) {}
    void Add(size_t n) {
        pending_ += n;
        if (pending_ >= kBlock) Flush();
    }
    void Flush() {
        size_t n = pending_;
        pending_ = 0;
        if (n) ChargeDecodedBytes(n, what_);
    }

private:
    static constexpr size_t kBlock = 64 * 1024;
    const char* what_;
    size_t pending_ = 0;
};

[[noreturn]] void TooLarge(const char* filter) {
    throw Exception(std::string("PDF stream data decoded by ") + filter +
                    " is larger than the output limit");
}

// An integer after key in a lower-cased dictionary text; def when absent.
int32_t DictInt(std::string_view lower, std::string_view key, int32_t def) {
    size_t p = PdfFindKey(lower, key);
    if (p == std::string_view::npos) return def;
    size_t i = p + key.size();
    while (i < lower.size() && PdfIsWhite(lower[i])) ++i;
    size_t start = i;
    if (i < lower.size() && (lower[i] == '-' || lower[i] == '+')) ++i;
    while (i < lower.size() && lower[i] >= '0' && lower[i] <= '9') ++i;
    int64_t v = 0;
    if (!PdfTryToInt(lower.substr(start, i - start), v)) return def;
    if (v > INT32_MAX) v = INT32_MAX;
    if (v < INT32_MIN) v = INT32_MIN;
    return static_cast<int32_t>(v);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

uint8_t Paeth(int left, int up, int upLeft) {
    int p = left + up - upLeft;
    int pa = p > left ? p - left : left - p;
    int pb = p > up ? p - up : up - p;
    int pc = p > upLeft ? p - upLeft : upLeft - p;
    if (pa <= pb && pa <= pc) return static_cast<uint8_t>(left);
    if (pb <= pc) return static_cast<uint8_t>(up);
    return static_cast<uint8_t>(upLeft);
}

std::string PngPredictor(std::string_view data, size_t bpp, size_t rowBytes) {
    // A row longer than the data is only ever filled as far as the data
    // goes: the row buffers are sized by what is there, not by /Columns.
    rowBytes = std::min(rowBytes, data.size());
    std::string out;
    out.reserve(data.size());
    std::vector<uint8_t> prev(rowBytes, 0), cur(rowBytes, 0);
    size_t pos = 0;
    while (pos < data.size()) {
        uint8_t type = static_cast<uint8_t>(data[pos++]);
        size_t n = std::min(rowBytes, data.size() - pos);
        for (size_t i = 0; i < n; ++i) cur[i] = static_cast<uint8_t>(data[pos + i]);
        pos += n;
        for (size_t i = 0; i < n; ++i) {
            int left = i >= bpp ? cur[i - bpp] : 0;
            int up = prev[i];
            int upLeft = i >= bpp ? prev[i - bpp] : 0;
            switch (type) {
                case 1: cur[i] = static_cast<uint8_t>(cur[i] + left); break;
                case 2: cur[i] = static_cast<uint8_t>(cur[i] + up); break;
                case 3: cur[i] = static_cast<uint8_t>(cur[i] + (left + up) / 2); break;
                case 4: cur[i] = static_cast<uint8_t>(cur[i] + Paeth(left, up, upLeft)); break;
                default: break;
            }
        }
        out.append(reinterpret_cast<const char*>(cur.data()), n);
        std::swap(prev, cur);
    }
    ChargeDecodedBytes(out.size(), "PDF predictor");
    return out;
}

// TIFF predictor 2: each component is stored as the difference from the
// same component of the pixel to its left, within a row.
std::string TiffPredictor(std::string_view data, int colors, int bpc, size_t columns,
                          size_t rowBytes) {
    if (rowBytes == 0) return std::string(data);
    std::string out(data);
    for (size_t row = 0; row * rowBytes < out.size(); ++row) {
        size_t base = row * rowBytes;
        size_t n = std::min(rowBytes, out.size() - base);
        auto* p = reinterpret_cast<uint8_t*>(&out[base]);
        if (bpc == 8) {
            for (size_t i = static_cast<size_t>(colors); i < n; ++i)
                p[i] = static_cast<uint8_t>(p[i] + p[i - static_cast<size_t>(colors)]);
        } else if (bpc == 16) {
            size_t step = static_cast<size_t>(colors) * 2;
            for (size_t i = step; i + 1 < n; i += 2) {
                unsigned v = (unsigned(p[i]) << 8 | p[i + 1]) +
                             (unsigned(p[i - step]) << 8 | p[i + 1 - step]);
                p[i] = static_cast<uint8_t>(v >> 8);
                p[i + 1] = static_cast<uint8_t>(v);
            }
        } else {
            // 1, 2 or 4 bits per component, most significant bits first.
            const unsigned mask = (1u << bpc) - 1;
            size_t comps = columns * static_cast<size_t>(colors);
            auto get = [&](size_t k) {
                size_t bit = k * static_cast<size_t>(bpc);
                return (p[bit / 8] >> (8 - bpc - bit % 8)) & mask;
            };
            auto put = [&](size_t k, unsigned v) {
                size_t bit = k * static_cast<size_t>(bpc);
                unsigned shift = static_cast<unsigned>(8 - bpc - bit % 8);
                p[bit / 8] = static_cast<uint8_t>((p[bit / 8] & ~(mask << shift)) | ((v & mask) << shift));
            };
            size_t limit = std::min(comps, n * 8 / static_cast<size_t>(bpc));
            for (size_t k = static_cast<size_t>(colors); k < limit; ++k)
                put(k, get(k) + get(k - static_cast<size_t>(colors)));
        }
    }
    ChargeDecodedBytes(out.size(), "PDF predictor");
    return out;
}

}  // namespace

TDTPDFDecodeParms ParseDecodeParms(std::string_view dictText) {
    std::string lower = PdfLower(dictText);
    TDTPDFDecodeParms p;
    p.Predictor = DictInt(lower, "/predictor", 1);
    p.Colors = DictInt(lower, "/colors", 1);
    p.BitsPerComponent = DictInt(lower, "/bitspercomponent", 8);
    p.Columns = DictInt(lower, "/columns", 1);
    p.EarlyChange = DictInt(lower, "/earlychange", 1);
    return p;
}

std::string PdfFlateDecode(std::string_view data, size_t limit) {
    limit = Cap(limit);
    std::string out;
    if (data.empty()) return out;
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) return out;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    size_t remaining = data.size();
    char buf[65536];
    TDecodeCharge charge("PDF Flate stream");
    int rc = Z_OK;
    while (rc == Z_OK) {
        uInt chunk = remaining > (1u << 30) ? (1u << 30) : static_cast<uInt>(remaining);
        zs.avail_in = chunk;
        zs.next_out = reinterpret_cast<Bytef*>(buf);
        zs.avail_out = sizeof buf;
        rc = inflate(&zs, Z_NO_FLUSH);
        remaining -= chunk - zs.avail_in;
        size_t got = sizeof buf - zs.avail_out;
        if (got > limit - out.size()) {
            inflateEnd(&zs);
            TooLarge("FlateDecode");
        }
        try {
            charge.Add(got);
        } catch (...) {
            inflateEnd(&zs);
            throw;
        }
        out.append(buf, got);
        if (rc == Z_BUF_ERROR && remaining == 0) break;  // data ends early: keep what we have
        if (got == 0 && zs.avail_in == 0 && remaining == 0) break;
    }
    // A damaged stream keeps the bytes inflated before the damage.
    inflateEnd(&zs);
    charge.Flush();
    return out;
}

std::string PdfApplyPredictor(std::string_view data, const TDTPDFDecodeParms& parms) {
    int predictor = parms.Predictor;
    if (predictor != 2 && (predictor < 10 || predictor > 15)) return std::string(data);
    int colors = parms.Colors, bpc = parms.BitsPerComponent;
    int64_t columns = parms.Columns;
    if (colors < 1 || colors > 32 || columns < 1 || columns > (int64_t{1} << 24)) return std::string(data);
    if (bpc != 1 && bpc != 2 && bpc != 4 && bpc != 8 && bpc != 16) return std::string(data);
    size_t bitsPerPixel = static_cast<size_t>(colors) * static_cast<size_t>(bpc);
    size_t rowBytes = (bitsPerPixel * static_cast<size_t>(columns) + 7) / 8;
    if (predictor == 2) return TiffPredictor(data, colors, bpc, static_cast<size_t>(columns), rowBytes);
    size_t bpp = std::max<size_t>(1, (bitsPerPixel + 7) / 8);
    return PngPredictor(data, bpp, rowBytes);
}

std::string PdfASCIIHexDecode(std::string_view data) {
    std::string out;
    out.reserve(data.size() / 2);
    int pending = -1;
    for (char c : data) {
        if (c == '>') break;
        if (PdfIsWhite(c)) continue;
        int d = HexValue(c);
        if (d < 0) throw EConvertError(std::string("'") + c + "' is not a valid hexadecimal digit");
        if (pending < 0) {
            pending = d;
        } else {
            out.push_back(static_cast<char>(pending * 16 + d));
            pending = -1;
        }
    }
    if (pending >= 0) out.push_back(static_cast<char>(pending * 16));
    ChargeDecodedBytes(out.size(), "PDF ASCIIHex stream");
    return out;
}

std::string PdfASCII85Decode(std::string_view data) {
    std::string out;
    out.reserve(data.size() / 5 * 4 + 4);
    size_t i = 0;
    if (data.substr(0, 2) == "<~") i = 2;
    uint64_t group = 0;
    int n = 0;
    for (; i < data.size(); ++i) {
        char c = data[i];
        if (c == '~') break;  // "~>" end mark
        if (PdfIsWhite(c)) continue;
        if (c == 'z' && n == 0) {
            out.append(4, '\0');
            continue;
        }
        if (c < '!' || c > 'u') continue;  // not part of the alphabet
        group = group * 85 + static_cast<uint64_t>(c - '!');
        if (++n == 5) {
            for (int k = 3; k >= 0; --k) out.push_back(static_cast<char>((group >> (8 * k)) & 0xFF));
            group = 0;
            n = 0;
        }
    }
    // A final group of n (2..4) characters is padded with "u" and gives
    // n - 1 bytes.
    if (n >= 2) {
        for (int k = n; k < 5; ++k) group = group * 85 + 84;
        for (int k = 0; k < n - 1; ++k) out.push_back(static_cast<char>((group >> (8 * (3 - k))) & 0xFF));
    }
    ChargeDecodedBytes(out.size(), "PDF ASCII85 stream");
    return out;
}

std::string PdfRunLengthDecode(std::string_view data, size_t limit) {
    limit = Cap(limit);
    std::string out;
    TDecodeCharge charge("PDF RunLength stream");
    size_t i = 0;
    while (i < data.size()) {
        uint8_t len = static_cast<uint8_t>(data[i++]);
        if (len == 128) break;
        if (len < 128) {
            size_t n = std::min<size_t>(len + 1u, data.size() - i);
            if (n > limit - out.size()) TooLarge("RunLengthDecode");
            charge.Add(n);
            out.append(data.substr(i, n));
            i += n;
        } else {
            if (i >= data.size()) break;
            size_t n = 257u - len;
            if (n > limit - out.size()) TooLarge("RunLengthDecode");
            charge.Add(n);
            out.append(n, data[i++]);
        }
    }
    charge.Flush();
    return out;
}

std::string PdfLZWDecode(std::string_view data, int32_t earlyChange, size_t limit) {
    limit = Cap(limit);
    TDTWLZWDecoder decoder;
    // The decoded size is not known in advance: start with a guess and
    // decode again into a larger buffer while the output fills it. No
    // buffer is larger than what the load may still decode (plus one byte,
    // to tell a full buffer from a finished stream).
    size_t room = BudgetRoom();
    if (room < limit) limit = room + 1;
    size_t guess = std::min(limit, std::max<size_t>(4096, data.size() * 4));
    while (true) {
        std::string out(guess, '\0');
        size_t n = decoder.DecodeTIFF(reinterpret_cast<const uint8_t*>(data.data()),
                                      reinterpret_cast<uint8_t*>(out.data()), data.size(), guess,
                                      earlyChange != 0);
        // Every attempt is decoding work, the abandoned ones too.
        ChargeDecodedBytes(n, "PDF LZW stream");
        if (n < guess) {
            out.resize(n);
            return out;
        }
        if (guess >= limit) TooLarge("LZWDecode");
        guess = guess > limit / 4 ? limit : guess * 4;
    }
}

std::string PdfApplyFilter(std::string_view name, std::string_view data,
                           const TDTPDFDecodeParms& parms, bool* known) {
    std::string n = PdfLower(name);
    if (!n.empty() && n[0] == '/') n.erase(0, 1);
    if (known) *known = true;
    // Most streams have no predictor: their decoded data is returned as it
    // is (moved, not copied: a conditional expression would copy it).
    bool predicted = parms.Predictor == 2 || (parms.Predictor >= 10 && parms.Predictor <= 15);
    if (n == "flatedecode" || n == "fl") {
        std::string out = PdfFlateDecode(data);
        if (predicted) return PdfApplyPredictor(out, parms);
        return out;
    }
    if (n == "lzwdecode" || n == "lzw") {
        std::string out = PdfLZWDecode(data, parms.EarlyChange);
        if (predicted) return PdfApplyPredictor(out, parms);
        return out;
    }
    if (n == "asciihexdecode" || n == "ahx") return PdfASCIIHexDecode(data);
    if (n == "ascii85decode" || n == "a85") return PdfASCII85Decode(data);
    if (n == "runlengthdecode" || n == "rl") return PdfRunLengthDecode(data);
    if (known) *known = false;
    return std::string(data);
}

}  // namespace quillmark
