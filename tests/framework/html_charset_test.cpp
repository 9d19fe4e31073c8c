#include "quillmark/framework/html_charset.h"

#include <gtest/gtest.h>

#include <random>

#include "quillmark/framework/base_document.h"
#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/markup_escape.h"

namespace quillmark {
namespace {

class FrameOnly : public TMSWBaseDocument {};

// The frame the readers put around HTML text, as UTF-8.
std::string HtmlFrameStart() {
    FrameOnly d;
    d.SetTextFormating(tfHTML);
    return Utf16ToUtf8(d.GetTextStart());
}

TEST(HtmlCharset, TheFramesCodePageBecomesUtf8AndNothingElseChanges) {
    std::string head = HtmlFrameStart();
    size_t at = head.find("charset=windows-");
    ASSERT_NE(at, std::string::npos);
    size_t valueEnd = head.find('"', at);
    std::string expectedHead = head.substr(0, at) + "charset=utf-8" + head.substr(valueEnd);
    // Document text that looks like a declaration stays as it is.
    std::string body = Utf16ToUtf8(EscapeHtml(u"<meta charset=koi8-r> charset=windows-1252 \u0416"));
    std::string page = head + body + "\r\n</body>\r\n</html>";
    EXPECT_EQ(DeclareUtf8Charset(page), expectedHead + body + "\r\n</body>\r\n</html>");
    // Applying it twice changes nothing more.
    EXPECT_EQ(DeclareUtf8Charset(DeclareUtf8Charset(page)), DeclareUtf8Charset(page));
}

TEST(HtmlCharset, DeclarationsInTheHead) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"<html><head><meta charset=\"koi8-r\"></head>", "<html><head><meta charset=\"utf-8\"></head>"},
        {"<head><meta charset='x'/></head>", "<head><meta charset='utf-8'/></head>"},
        {"<HEAD><META CONTENT=\"text/html; CHARSET=Windows-1251\"></HEAD><BODY>",
         "<HEAD><META CONTENT=\"text/html; CHARSET=utf-8\"></HEAD><BODY>"},
        {"<head><meta charset=latin1><meta http-equiv=x content=\"text/html;charset=iso-8859-2\">",
         "<head><meta charset=utf-8><meta http-equiv=x content=\"text/html;charset=utf-8\">"},
        // A prologue cut short by a maximum length.
        {"<html>\r\n<head>\r\n<meta content=\"text/html; charset=wind", "<html>\r\n<head>\r\n<meta content=\"text/html; charset=utf-8"},
        {"<head><meta charset=", "<head><meta charset=utf-8"},
        {"<head><meta charset=\"", "<head><meta charset=\"utf-8"},
        // A head without a declaration gains one.
        {"<html><head><title>t</title></head><body>x", "<html><head><meta charset=\"utf-8\"><title>t</title></head><body>x"},
        {"<head lang=en>\r\n</head>", "<head lang=en><meta charset=\"utf-8\">\r\n</head>"},
        // Nothing to rewrite: no head, or a declaration after it.
        {"", ""},
        {"charset=windows-1252", "charset=windows-1252"},
        {"<header><p>charset=x</p>", "<header><p>charset=x</p>"},
        {"<body><meta charset=x>", "<body><meta charset=x>"},
        {"<head></head><meta charset=x>", "<head><meta charset=\"utf-8\"></head><meta charset=x>"},
        {"<head><meta name=x></head>charset=y", "<head><meta charset=\"utf-8\"><meta name=x></head>charset=y"},
    };
    for (const auto& c : cases) EXPECT_EQ(DeclareUtf8Charset(c.in), c.out) << c.in;
}

// Whatever follows the head, it comes out byte for byte.
TEST(HtmlCharset, TextAfterTheHeadIsKeptForAnyBytes) {
    std::string head = DeclareUtf8Charset(HtmlFrameStart());
    std::mt19937 rng(12);
    const char alphabet[] = "<>/=\"' ;charsetmetaHEADbody\r\n\xC3\xA9";
    for (int round = 0; round < 300; ++round) {
        std::string tail(rng() % 200, ' ');
        for (char& ch : tail) ch = alphabet[rng() % (sizeof alphabet - 1)];
        std::string out = DeclareUtf8Charset(HtmlFrameStart() + tail);
        ASSERT_EQ(out, head + tail) << tail;
    }
}

}  // namespace
}  // namespace quillmark
