#include "quillmark/framework/code_pages.h"

#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "quillmark/framework/single_byte_tables.h"
#include "quillmark/framework/utf16_scan.h"

namespace quillmark {

namespace {

std::atomic<int> g_acp{1252};

int Resolve(int codePage) { return codePage == CP_ACP ? g_acp.load() : codePage; }

// iconv names of the code pages that are not built in.
const char* IconvName(int cp) {
    switch (cp) {
        case 932: return "CP932";
        case 936: return "CP936";
        case 949: return "CP949";
        case 950: return "CP950";
        case 437: return "CP437";
        case 850: return "CP850";
        case 852: return "CP852";
        case 855: return "CP855";
        case 857: return "CP857";
        case 860: return "CP860";
        case 861: return "CP861";
        case 862: return "CP862";
        case 863: return "CP863";
        case 865: return "CP865";
        case 866: return "CP866";
        case 869: return "CP869";
        case 10000: return "MACINTOSH";
        case 10007: return "MAC-CYRILLIC";
        case 20866: return "KOI8-R";
        case 21866: return "KOI8-U";
        case 20932: return "EUC-JP";
        case 51932: return "EUC-JP";
        case 51936: return "GB2312";
        case 51949: return "EUC-KR";
        case 54936: return "GB18030";
        case 50220: return "ISO-2022-JP";
        case 28591: return "ISO-8859-1";
        case 28592: return "ISO-8859-2";
        case 28593: return "ISO-8859-3";
        case 28594: return "ISO-8859-4";
        case 28595: return "ISO-8859-5";
        case 28596: return "ISO-8859-6";
        case 28597: return "ISO-8859-7";
        case 28598: return "ISO-8859-8";
        case 28599: return "ISO-8859-9";
        case 28603: return "ISO-8859-13";
        case 28605: return "ISO-8859-15";
        default: return nullptr;
    }
}

// One iconv descriptor per (code page, direction), opened on first use. iconv
// descriptors carry state, so each thread keeps its own.
struct IconvCache {
    std::map<std::pair<int, bool>, iconv_t> handles;
    ~IconvCache() {
        for (auto& [key, h] : handles)
            if (h != reinterpret_cast<iconv_t>(-1)) iconv_close(h);
    }
    iconv_t Get(int cp, bool toWide) {
        auto key = std::make_pair(cp, toWide);
        auto it = handles.find(key);
        if (it != handles.end()) return it->second;
        const char* name = IconvName(cp);
        iconv_t h = reinterpret_cast<iconv_t>(-1);
        if (name) h = toWide ? iconv_open("UTF-16LE", name) : iconv_open(name, "UTF-16LE");
        handles.emplace(key, h);
        return h;
    }
};

IconvCache& Cache() {
    thread_local IconvCache cache;
    return cache;
}

std::u16string IconvDecode(iconv_t h, std::string_view bytes) {
    std::u16string out;
    iconv(h, nullptr, nullptr, nullptr, nullptr);
    std::vector<char> buf(bytes.size() * 4 + 16);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* o = buf.data();
        size_t oLeft = buf.size();
        size_t r = iconv(h, &in, &inLeft, &o, &oLeft);
        size_t produced = buf.size() - oLeft;
        for (size_t i = 0; i + 1 < produced; i += 2)
            out.push_back(static_cast<char16_t>(static_cast<uint8_t>(buf[i]) |
                                                (static_cast<uint8_t>(buf[i + 1]) << 8)));
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ or an incomplete sequence at the end: one replacement
            // character, then resynchronise on the next byte.
            out.push_back(u'\uFFFD');
            ++in;
            --inLeft;
            iconv(h, nullptr, nullptr, nullptr, nullptr);
        }
    }
    // Flush any state (stateful encodings).
    char* o = buf.data();
    size_t oLeft = buf.size();
    iconv(h, nullptr, nullptr, &o, &oLeft);
    size_t produced = buf.size() - oLeft;
    for (size_t i = 0; i + 1 < produced; i += 2)
        out.push_back(static_cast<char16_t>(static_cast<uint8_t>(buf[i]) |
                                            (static_cast<uint8_t>(buf[i + 1]) << 8)));
    return out;
}

std::string IconvEncode(iconv_t h, std::u16string_view text) {
    std::string out;
    iconv(h, nullptr, nullptr, nullptr, nullptr);
    std::string in16;
    in16.reserve(text.size() * 2);
    for (char16_t c : text) {
        in16.push_back(static_cast<char>(c & 0xFF));
        in16.push_back(static_cast<char>(c >> 8));
    }
    char* in = in16.data();
    size_t inLeft = in16.size();
    std::vector<char> buf(in16.size() * 2 + 16);
    while (inLeft > 0) {
        char* o = buf.data();
        size_t oLeft = buf.size();
        size_t r = iconv(h, &in, &inLeft, &o, &oLeft);
        out.append(buf.data(), buf.size() - oLeft);
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            out.push_back('?');
            size_t skip = inLeft >= 2 ? 2 : inLeft;
            in += skip;
            inLeft -= skip;
            iconv(h, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

// Reverse tables of the built-in single-byte pages, built on first use.
const std::array<uint8_t, 65536>& ReverseTable(int cp) {
    static std::mutex mu;
    static std::map<int, std::unique_ptr<std::array<uint8_t, 65536>>> tables;
    std::lock_guard<std::mutex> lock(mu);
    auto& slot = tables[cp];
    if (!slot) {
        slot = std::make_unique<std::array<uint8_t, 65536>>();
        slot->fill(0);
        const char16_t* upper = SingleByteUpperHalf(cp);
        for (int b = 0x80; b < 0x100; ++b) {
            char16_t u = upper[b - 0x80];
            if ((*slot)[u] == 0) (*slot)[u] = static_cast<uint8_t>(b);
        }
    }
    return *slot;
}

std::u16string DecodeUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string out;
    out.reserve(bytes.size() / 2 + 1);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint8_t a = static_cast<uint8_t>(bytes[i]), b = static_cast<uint8_t>(bytes[i + 1]);
        out.push_back(static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a));
    }
    if (bytes.size() % 2) out.push_back(u'\uFFFD');
    return out;
}

}  // namespace

int GetACP() { return g_acp.load(); }

void SetActiveAnsiCodePage(int codePage) {
    if (codePage > 0 && IsCodePageSupported(codePage)) g_acp.store(codePage);
}

bool IsCodePageSupported(int codePage) {
    int cp = Resolve(codePage);
    if (cp == CP_UTF8 || cp == CP_UTF16LE || cp == CP_UTF16BE) return true;
    if (SingleByteUpperHalf(cp)) return true;
    return Cache().Get(cp, true) != reinterpret_cast<iconv_t>(-1);
}

std::u16string MultiByteToWide(std::string_view bytes, int codePage) {
    int cp = Resolve(codePage);
    if (cp == CP_UTF8) return Utf8ToUtf16(bytes);
    if (cp == CP_UTF16LE) return DecodeUtf16(bytes, false);
    if (cp == CP_UTF16BE) return DecodeUtf16(bytes, true);
    const char16_t* upper = SingleByteUpperHalf(cp);
    if (!upper) {
        iconv_t h = Cache().Get(cp, true);
        if (h != reinterpret_cast<iconv_t>(-1)) return IconvDecode(h, bytes);
        upper = SingleByteUpperHalf(g_acp.load());
        if (!upper) upper = SingleByteUpperHalf(1252);
    }
    std::u16string out(bytes.size(), u'\0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        uint8_t b = static_cast<uint8_t>(bytes[i]);
        out[i] = b < 0x80 ? static_cast<char16_t>(b) : upper[b - 0x80];
    }
    return out;
}

std::string WideToMultiByte(std::u16string_view text, int codePage) {
    int cp = Resolve(codePage);
    if (cp == CP_UTF8) return Utf16ToUtf8(text);
    if (cp == CP_UTF16LE || cp == CP_UTF16BE) {
        std::string out;
        for (char16_t c : text) {
            char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
            out.push_back(cp == CP_UTF16LE ? lo : hi);
            out.push_back(cp == CP_UTF16LE ? hi : lo);
        }
        return out;
    }
    if (!SingleByteUpperHalf(cp)) {
        iconv_t h = Cache().Get(cp, false);
        if (h != reinterpret_cast<iconv_t>(-1)) return IconvEncode(h, text);
        cp = SingleByteUpperHalf(g_acp.load()) ? g_acp.load() : 1252;
    }
    const auto& rev = ReverseTable(cp);
    std::string out(text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c < 0x80) out[i] = static_cast<char>(c);
        else out[i] = rev[c] ? static_cast<char>(rev[c]) : '?';
    }
    return out;
}

void AppendCodePoint(std::u16string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

size_t Utf8Length(std::u16string_view text, bool dropCrOfCrLf) {
    const size_t n = text.size();
    const char16_t* t = text.data();
    size_t length = 0;
    for (size_t i = 0; i < n; ++i) {
        // ASCII (a byte each) in bulk; a CR to drop stops the run.
        size_t run = AsciiRunLength(text, i, dropCrOfCrLf);
        length += run;
        i += run;
        if (i >= n) break;
        char16_t c = t[i];
        if (c < 0x80) {
            // A CR: dropped when LF follows.
            if (!(i + 1 < n && t[i + 1] == u'\n')) length += 1;
        } else if (c < 0x800) {
            length += 2;
        } else if (IsHighSurrogate(c) && i + 1 < n && IsLowSurrogate(t[i + 1])) {
            length += 4, ++i;
        } else {
            length += 3;  // other BMP characters, and a lone surrogate as U+FFFD
        }
    }
    return length;
}

char* WriteUtf8(char* o, std::u16string_view text, bool dropCrOfCrLf) {
    const size_t n = text.size();
    const char16_t* t = text.data();
    for (size_t i = 0; i < n; ++i) {
        size_t run = AsciiRunLength(text, i, dropCrOfCrLf);
        NarrowAscii(t + i, run, o);
        o += run;
        i += run;
        if (i >= n) break;
        char32_t cp = t[i];
        if (cp < 0x80) {
            // A CR: dropped when LF follows.
            if (!(i + 1 < n && t[i + 1] == u'\n')) *o++ = static_cast<char>(cp);
            continue;
        }
        if (IsHighSurrogate(static_cast<char16_t>(cp)) && i + 1 < n && IsLowSurrogate(t[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (t[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;  // a lone surrogate
        }
        if (cp < 0x800) {
            *o++ = static_cast<char>(0xC0 | (cp >> 6));
            *o++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            *o++ = static_cast<char>(0xE0 | (cp >> 12));
            *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            *o++ = static_cast<char>(0xF0 | (cp >> 18));
            *o++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return o;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    // Two passes: the exact length first, then the bytes written in place
    // (large texts convert without growing the string step by step).
    std::string out(Utf8Length(text), '\0');
    WriteUtf8(out.data(), text);
    return out;
}

std::u16string Utf8ToUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    size_t i = 0, n = s.size();
    while (i < n) {
        uint8_t b = static_cast<uint8_t>(s[i]);
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        int len = b >= 0xF0 && b <= 0xF4 ? 4 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xC2 && b <= 0xDF ? 2 : 0;
        if (len == 0 || i + len > n) {
            // Invalid lead byte or truncated sequence: replace the maximal
            // valid prefix by one U+FFFD.
            size_t j = i + 1;
            if (len > 0)
                while (j < n && j < i + len && (static_cast<uint8_t>(s[j]) & 0xC0) == 0x80) ++j;
            out.push_back(u'\uFFFD');
            i = j;
            continue;
        }
        char32_t cp = b & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
        bool ok = true;
        size_t j = i + 1;
        for (; j < i + len; ++j) {
            uint8_t c = static_cast<uint8_t>(s[j]);
            if ((c & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        if (ok && ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
                   (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))))
            ok = false;
        if (!ok) {
            out.push_back(u'\uFFFD');
            i = j > i + 1 ? j : i + 1;
            continue;
        }
        AppendCodePoint(out, cp);
        i += len;
    }
    return out;
}

std::u16string Latin1ToUtf16(std::string_view text) {
    std::u16string out(text.size(), u'\0');
    for (size_t i = 0; i < text.size(); ++i) out[i] = static_cast<uint8_t>(text[i]);
    return out;
}

char16_t WideUpperCase(char16_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? static_cast<char16_t>(c - 32) : c;
    if (c >= 0xD800 && c <= 0xDFFF) return c;
    static locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (!loc) return c;
    wint_t up = towupper_l(static_cast<wint_t>(c), loc);
    return up <= 0xFFFF ? static_cast<char16_t>(up) : c;
}

int WideCompareText(std::u16string_view s1, std::u16string_view s2) {
    size_t n = s1.size() < s2.size() ? s1.size() : s2.size();
    for (size_t i = 0; i < n; ++i) {
        char16_t a = WideUpperCase(s1[i]), b = WideUpperCase(s2[i]);
        if (a != b) return a < b ? -1 : 1;
    }
    if (s1.size() == s2.size()) return 0;
    return s1.size() < s2.size() ? -1 : 1;
}

}  // namespace quillmark
