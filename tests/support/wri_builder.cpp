#include "support/wri_builder.h"

#include <stdexcept>

namespace quillmark::test {

namespace {

constexpr size_t kPage = 128;

void Put16(std::string& s, size_t at, uint16_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}

void Put32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string U16(uint16_t v) {
    std::string s(2, '\0');
    Put16(s, 0, v);
    return s;
}

void PadToPage(std::string& s) {
    if (s.size() % kPage) s.resize((s.size() / kPage + 1) * kPage, '\0');
}

// Packs the runs onto pages: entries grow from byte 4, property blocks are
// placed downwards from byte 127 and shared by runs with equal properties.
std::vector<std::string> RunPages(const std::vector<WriRun>& runs, size_t perPage,
                                  const std::map<size_t, uint32_t>& fcFirst,
                                  const std::map<size_t, uint8_t>& count) {
    std::vector<std::string> pages;
    size_t i = 0;
    uint32_t first = 128;
    while (i < runs.size()) {
        std::string page(kPage, '\0');
        size_t n = 0, top = 127;
        std::map<std::string, uint16_t> placed;
        while (i < runs.size() && n < perPage) {
            const WriRun& r = runs[i];
            size_t entryEnd = 4 + 6 * (n + 1);
            uint16_t bfprop = 0xFFFF;
            if (!r.props.empty()) {
                auto it = placed.find(r.props);
                if (it != placed.end()) {
                    bfprop = it->second;
                } else {
                    size_t need = 1 + r.props.size();
                    if (top < need || top - need < entryEnd) break;
                    top -= need;
                    page[top] = static_cast<char>(r.props.size());
                    page.replace(top + 1, r.props.size(), r.props);
                    bfprop = static_cast<uint16_t>(top - 4);
                    placed[r.props] = bfprop;
                }
            }
            if (entryEnd > top) break;
            Put32(page, 4 + 6 * n, r.end);
            Put16(page, 8 + 6 * n, bfprop);
            ++n;
            ++i;
        }
        if (n == 0) throw std::logic_error("a run does not fit on a page");
        size_t index = pages.size();
        Put32(page, 0, fcFirst.count(index) ? fcFirst.at(index) : first);
        page[127] = static_cast<char>(count.count(index) ? count.at(index) : n);
        first = runs[i - 1].end;
        pages.push_back(page);
    }
    return pages;
}

}  // namespace

std::string WriChar(bool bold, bool italic, unsigned font, uint8_t halfPoints, bool underline,
                    uint8_t position, size_t length) {
    std::string s(6, '\0');
    s[1] = static_cast<char>((bold ? 1 : 0) | (italic ? 2 : 0) | ((font & 0x3F) << 2));
    s[2] = static_cast<char>(halfPoints);
    s[3] = static_cast<char>(underline ? 1 : 0);
    s[4] = static_cast<char>((font >> 6) & 3);
    s[5] = static_cast<char>(position);
    s.resize(length);
    return s;
}

std::string WriPara(uint8_t byte17) {
    std::string s(17, '\0');
    s[16] = static_cast<char>(byte17);
    return s;
}

WriBuilder WriParagraphs(const std::vector<std::string>& paragraphs) {
    WriBuilder b;
    for (const auto& p : paragraphs) b.text += p + "\r\n";
    return b;
}

std::string WriBuilder::Build(WriLayout* layout) const {
    WriLayout l;
    std::string out(kPage, '\0');
    out += text;
    PadToPage(out);
    l.pnChar = static_cast<uint32_t>(out.size() / kPage);

    const uint32_t textEnd = static_cast<uint32_t>(128 + text.size());
    std::vector<WriRun> chars = charRuns, paras = paraRuns;
    if (chars.empty() && !text.empty()) chars.push_back({textEnd, ""});
    if (paras.empty()) {
        size_t from = 0;
        while (from < text.size()) {
            size_t crlf = text.find("\r\n", from);
            size_t end = crlf == std::string::npos ? text.size() : crlf + 2;
            paras.push_back({static_cast<uint32_t>(128 + end), ""});
            from = end;
        }
    }
    for (const auto& p : RunPages(chars, runsPerPage, charFcFirst, charCount)) out += p;
    l.pnPara = static_cast<uint32_t>(out.size() / kPage);
    for (const auto& p : RunPages(paras, runsPerPage, paraFcFirst, paraCount)) out += p;

    // A section page. Its first bytes would read as a one-font table named
    // "SEP", which a reader looking for fonts in the wrong place would show.
    l.pnSep = static_cast<uint32_t>(out.size() / kPage);
    out += U16(1) + U16(5) + std::string("\0SEP\0", 5);
    PadToPage(out);

    l.pnFfntb = static_cast<uint32_t>(out.size() / kPage);
    if (fontTable) {
        std::string table = U16(static_cast<uint16_t>(fonts.size()));
        for (const auto& [family, name] : fonts) {
            std::string entry = U16(static_cast<uint16_t>(name.size() + 2)) +
                                std::string(1, static_cast<char>(family)) + name + '\0';
            // Keep room for the "next page" marker after the entry.
            if (table.size() % kPage + entry.size() + 2 > kPage) {
                table += U16(0xFFFF);
                PadToPage(table);
            }
            table += entry;
        }
        PadToPage(table);
        out += table;
    }
    l.pages = static_cast<uint32_t>(out.size() / kPage);

    Put16(out, 0, ident);
    Put16(out, 4, 0xAB00);
    Put32(out, 14, fcMac >= 0 ? static_cast<uint32_t>(fcMac) : textEnd);
    Put16(out, 18, static_cast<uint16_t>(l.pnPara));
    Put16(out, 20, static_cast<uint16_t>(l.pnSep));  // no footnote table
    Put16(out, 22, static_cast<uint16_t>(l.pnSep));
    Put16(out, 24, static_cast<uint16_t>(l.pnSep + 1));
    Put16(out, 26, static_cast<uint16_t>(l.pnSep + 1));
    Put16(out, 28, static_cast<uint16_t>(fontTable ? l.pnFfntb : l.pages));
    Put16(out, 96, static_cast<uint16_t>(pnMac >= 0 ? pnMac : l.pages));
    if (layout) *layout = l;
    return out;
}

}  // namespace quillmark::test
