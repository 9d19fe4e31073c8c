#include "quillmark/framework/markup_escape.h"

#include <gtest/gtest.h>

#include "quillmark/framework/base_document.h"

namespace quillmark {
namespace {

TEST(MarkupEscape, Html) {
    EXPECT_EQ(EscapeHtml(u"<script>a&b\"c\"</script>"),
              u"&lt;script&gt;a&amp;b&quot;c&quot;&lt;/script&gt;");
    EXPECT_EQ(EscapeHtml(u"plain \u00E9"), u"plain \u00E9");
}

TEST(MarkupEscape, Rtf) {
    EXPECT_EQ(EscapeRtf(u"a\\b{c}"), u"a\\\\b\\{c\\}");
    EXPECT_EQ(EscapeRtf(u"\u00E9"), u"\\u233?");
    EXPECT_EQ(EscapeRtf(u"\u4E2D"), u"\\u20013?");
    EXPECT_EQ(EscapeRtf(u"\uFFFD"), u"\\u-3?");  // signed 16-bit
}

TEST(MarkupEscape, PlainUnchanged) {
    EXPECT_EQ(EscapeText(u"<a>{b}", tfPlainText), u"<a>{b}");
    EXPECT_EQ(EscapeText(u"<a>", tfHTML), u"&lt;a&gt;");
}

}  // namespace
}  // namespace quillmark
