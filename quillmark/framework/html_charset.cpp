#include "quillmark/framework/html_charset.h"

#include <string_view>

namespace quillmark {

namespace {

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Position of needle (lower-case ASCII) in text[from, to), ignoring case; npos when absent.
size_t FindNoCase(std::string_view text, std::string_view needle, size_t from, size_t to) {
    if (to > text.size()) to = text.size();
    if (needle.size() > to) return std::string_view::npos;
    for (size_t i = from; i + needle.size() <= to; ++i) {
        size_t k = 0;
        while (k < needle.size() && AsciiLower(text[i + k]) == needle[k]) ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

// The end of the head: the first "</head" or "<body", or the end of the text.
size_t HeadEnd(std::string_view html) {
    size_t end = html.size();
    size_t close = FindNoCase(html, "</head", 0, end);
    if (close != std::string_view::npos) end = close;
    size_t body = FindNoCase(html, "<body", 0, end);
    return body != std::string_view::npos ? body : end;
}

bool EndsValue(char c) {
    return c == '"' || c == '\'' || c == ';' || c == '>' || c == '/' || c == ' ' || c == '\t' ||
           c == '\r' || c == '\n';
}

}  // namespace

std::string DeclareUtf8Charset(std::string html) {
    constexpr std::string_view kUtf8 = "utf-8";
    size_t headEnd = HeadEnd(html);
    bool declared = false;
    size_t pos = 0;
    while ((pos = FindNoCase(html, "<meta", pos, headEnd)) != std::string::npos) {
        size_t tagEnd = html.find('>', pos);
        if (tagEnd == std::string::npos || tagEnd > headEnd) tagEnd = headEnd;
        size_t at = FindNoCase(html, "charset=", pos, tagEnd);
        if (at == std::string::npos) {
            pos = tagEnd;
            continue;
        }
        size_t begin = at + 8, end = begin;
        if (begin < tagEnd && (html[begin] == '"' || html[begin] == '\'')) {
            char quote = html[begin++];
            end = begin;
            while (end < tagEnd && html[end] != quote) ++end;
        } else {
            while (end < tagEnd && !EndsValue(html[end])) ++end;
        }
        html.replace(begin, end - begin, kUtf8);
        // The head's end moves with the replacement.
        size_t grown = kUtf8.size(), shrunk = end - begin;
        headEnd = headEnd + grown - shrunk;
        pos = begin + kUtf8.size();
        declared = true;
    }
    if (!declared) {
        size_t head = FindNoCase(html, "<head", 0, headEnd);
        // "<header" is not a head.
        if (head != std::string::npos && head + 5 < headEnd &&
            (html[head + 5] == '>' || html[head + 5] == ' ' || html[head + 5] == '\t' ||
             html[head + 5] == '\r' || html[head + 5] == '\n')) {
            size_t close = html.find('>', head);
            if (close != std::string::npos && close < headEnd)
                html.insert(close + 1, "<meta charset=\"utf-8\">");
        }
    }
    return html;
}

}  // namespace quillmark
