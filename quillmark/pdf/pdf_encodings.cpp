#include "quillmark/pdf/pdf_encodings.h"
#include "quillmark/pdf/pdf_syntax.h"

#include <algorithm>
#include <cstring>

#include "quillmark/framework/code_pages.h"
#include "quillmark/pdf/pdf_glyph_tables.h"

namespace quillmark {

namespace {

std::string_view WithoutSlash(std::string_view name) {
    if (!name.empty() && name[0] == '/') name.remove_prefix(1);
    return name;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reads exactly n hex digits (upper case, as the glyph naming rules ask).
bool ReadHex(std::string_view s, char32_t& value) {
    value = 0;
    if (s.empty()) return false;
    for (char c : s) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
        value = value * 16 + static_cast<char32_t>(HexValue(c));
    }
    return true;
}

bool ValidScalar(char32_t v) { return v <= 0x10FFFF && (v < 0xD800 || v > 0xDFFF); }

// One component of a glyph name (no "_" and no ".").
void ComponentToUnicode(std::string_view name, std::u16string& out) {
    if (name.empty()) return;
    const TGlyphName* first = kGlyphNames;
    const TGlyphName* last = kGlyphNames + kGlyphNameCount;
    const TGlyphName* it = std::lower_bound(first, last, name, [](const TGlyphName& g, std::string_view n) {
        return std::string_view(g.Name) < n;
    });
    if (it != last && std::string_view(it->Name) == name) {
        PdfAppendChar(out, it->Unicode);
        return;
    }
    char32_t v = 0;
    if (name.size() >= 7 && name.substr(0, 3) == "uni" && (name.size() - 3) % 4 == 0) {
        std::u16string part;
        for (size_t i = 3; i < name.size(); i += 4) {
            if (!ReadHex(name.substr(i, 4), v) || !ValidScalar(v)) return;
            PdfAppendChar(part, v);
        }
        out += part;
        return;
    }
    if (name.size() >= 5 && name.size() <= 7 && name[0] == 'u' && ReadHex(name.substr(1), v) && ValidScalar(v))
        PdfAppendChar(out, v);
}

}  // namespace

const char16_t* PdfEncodingTable(std::string_view name) {
    name = WithoutSlash(name);
    if (PdfEqualsIgnoreCase(name, "WinAnsiEncoding")) return kWinAnsiEncoding;
    if (PdfEqualsIgnoreCase(name, "StandardEncoding")) return kStandardEncoding;
    if (PdfEqualsIgnoreCase(name, "MacRomanEncoding")) return kMacRomanEncoding;
    if (PdfEqualsIgnoreCase(name, "PDFDocEncoding")) return kPDFDocEncoding;
    return nullptr;
}

std::u16string PdfEncodingTableLookup(int32_t k, std::string_view encoding) {
    const char16_t* table = PdfEncodingTable(encoding.empty() ? "/WinAnsiEncoding" : encoding);
    std::u16string out;
    if (table && k >= 0 && k < 256 && table[k] != 0) {
        PdfAppendChar(out, table[k]);
        return out;
    }
    out.push_back(static_cast<char16_t>(k & 0xFFFF));
    return out;
}

std::u16string PdfGlyphNameToUnicode(std::string_view name) {
    name = WithoutSlash(name);
    size_t dot = name.find('.');
    if (dot != std::string_view::npos) name = name.substr(0, dot);
    std::u16string out;
    while (!name.empty()) {
        size_t us = name.find('_');
        ComponentToUnicode(name.substr(0, us), out);
        if (us == std::string_view::npos) break;
        name.remove_prefix(us + 1);
    }
    return out;
}

void PdfAppendChar(std::u16string& out, char32_t cp) {
    static const char* const kLigatures[] = {"ff", "fi", "fl", "ffi", "ffl", "st", "st"};
    if (cp >= 0xFB00 && cp <= 0xFB06) {
        for (const char* p = kLigatures[cp - 0xFB00]; *p; ++p) out.push_back(static_cast<char16_t>(*p));
        return;
    }
    AppendCodePoint(out, cp);
}

int PdfCjkCodePage(std::string_view encoding) {
    static const struct {
        const char* name;
        int codePage;
    } kCjk[] = {
        {"/GBK-EUC-H", 936},    {"/GBK-EUC-V", 936},      {"/ETen-B5-H", 950},      {"/ETen-B5-V", 950},
        {"/90ms-RKSJ-H", 932},  {"/90ms-RKSJ-V", 932},    {"/90msp-RKSJ-H", 932},   {"/KSCms-UHC-H", 949},
        {"/KSCms-UHC-HW-H", 949}, {"/KSCms-UHC-HW-V", 949},
        // Further predefined CMaps whose codes are the bytes of the same
        // (or a compatible) multi-byte encoding.
        {"/GB-EUC-H", 936},     {"/GB-EUC-V", 936},       {"/GBpc-EUC-H", 936},     {"/GBpc-EUC-V", 936},
        {"/GBKp-EUC-H", 936},   {"/GBKp-EUC-V", 936},     {"/GBK2K-H", 936},        {"/GBK2K-V", 936},
        {"/B5pc-H", 950},       {"/B5pc-V", 950},         {"/ETenms-B5-H", 950},    {"/ETenms-B5-V", 950},
        {"/HKscs-B5-H", 950},   {"/HKscs-B5-V", 950},     {"/83pv-RKSJ-H", 932},    {"/90pv-RKSJ-H", 932},
        {"/90pv-RKSJ-V", 932},  {"/90msp-RKSJ-V", 932},   {"/Add-RKSJ-H", 932},     {"/Add-RKSJ-V", 932},
        {"/EUC-H", 20932},      {"/EUC-V", 20932},        {"/KSC-EUC-H", 949},      {"/KSC-EUC-V", 949},
        {"/KSCpc-EUC-H", 949},  {"/KSCpc-EUC-V", 949},
    };
    for (const auto& e : kCjk)
        if (encoding == e.name) return e.codePage;
    return 0;
}

bool PdfIsUnicodeCMapName(std::string_view encoding) {
    encoding = WithoutSlash(encoding);
    return encoding.substr(0, 3) == "Uni" &&
           (encoding.find("-UCS2-") != std::string_view::npos || encoding.find("-UTF16-") != std::string_view::npos);
}

std::u16string PdfTextString(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
        static_cast<unsigned char>(bytes[1]) == 0xFF)
        return MultiByteToWide(bytes.substr(2), CP_UTF16BE);
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") return Utf8ToUtf16(bytes.substr(3));
    std::u16string out;
    out.reserve(bytes.size());
    for (unsigned char b : bytes) {
        char16_t c = kPDFDocEncoding[b];
        if (c == 0 && b < 0x20) continue;  // control codes carry no text
        PdfAppendChar(out, c != 0 ? c : static_cast<char16_t>(b));
    }
    return out;
}

}  // namespace quillmark
