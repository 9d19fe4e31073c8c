// The XML engine's tokenizer rules, the fixes to them (text after closing
// tags, CDATA, character references, declared encodings, depth), lookups,
// and the entity decoding checked against a direct transcription of the
// restart-from-the-start rule.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/date_time.h"
#include "quillmark/package/xml_engine.h"
#include "quillmark/package/xml_entities.h"

namespace quillmark {
namespace {

// Element children only (attributes and comments left out).
std::vector<TDTXMLItem*> Elements(TDTXMLItem& node) {
    std::vector<TDTXMLItem*> out;
    for (const auto& c : node.Items)
        if (c->Kind == ikProperty) out.push_back(c.get());
    return out;
}

struct Parsed {
    TDTXMLEngine engine;
    explicit Parsed(std::string_view xml) { engine.LoadFromBytes(xml); }
    TDTXMLItem& root() { return engine.RootItem(); }
    TDTXMLItem* find(std::u16string_view tag) { return engine.GetItemByTag(nullptr, tag); }
};

TEST(XmlEngine, TextRunsGoToTheCurrentElement) {
    Parsed a("<a>x</a>");
    EXPECT_EQ(a.root().TagName, u"a");
    EXPECT_EQ(a.root().Value, u"x");
    EXPECT_EQ(a.root().Items.Count(), 0);
    EXPECT_EQ(a.root().Level, 0);

    Parsed b("<a>x<b>y</b>z<c/></a>");
    EXPECT_EQ(b.root().Value, u"xz");
    auto kids = Elements(b.root());
    ASSERT_EQ(kids.size(), 2u);
    EXPECT_EQ(kids[0]->TagName, u"b");
    EXPECT_EQ(kids[0]->Value, u"y");
    EXPECT_EQ(kids[0]->Level, 1);
    EXPECT_EQ(kids[1]->TagName, u"c");
    EXPECT_EQ(kids[1]->ParentItem, &b.root());
}

TEST(XmlEngine, TextAfterAClosingTagBelongsToTheElementThenCurrent) {
    Parsed p("<p>Hello <s>World</s>!</p>");
    EXPECT_EQ(p.root().Value, u"Hello !");
    EXPECT_EQ(p.find(u"s")->Value, u"World");
    // Between two closing tags, and after a self-closing tag.
    Parsed q("<a><b><c>1</c>2</b>3</a>");
    EXPECT_EQ(q.find(u"b")->Value, u"2");
    EXPECT_EQ(q.find(u"a")->Value, u"3");
    Parsed r("<a><br/>tail</a>");
    EXPECT_EQ(r.root().Value, u"tail");
    EXPECT_EQ(r.find(u"br")->Value, u"");
}

TEST(XmlEngine, ChildrenRecordWhereTheyStandInTheParentsText) {
    // Cutting the parent's text at its children's offsets gives mixed
    // content back in document order.
    Parsed a("<p>Hello <em>big</em> wide <b/>world<!--c-->end</p>");
    TDTXMLItem& p = a.root();
    EXPECT_EQ(p.Value, u"Hello  wide worldend");
    ASSERT_EQ(p.Items.Count(), 3);
    EXPECT_EQ(p.Items[0]->ValueOffset, 6u);
    EXPECT_EQ(p.Items[1]->ValueOffset, 12u);
    EXPECT_EQ(p.Items[2]->ValueOffset, 17u);  // the comment
    Parsed b("<p a=\"1\">x<i>y<b>z</b></i></p>");
    EXPECT_EQ(b.root().Items[0]->ValueOffset, 0u);  // attributes stand nowhere
    EXPECT_EQ(b.find(u"i")->ValueOffset, 1u);
    EXPECT_EQ(b.find(u"b")->ValueOffset, 1u);
}

TEST(XmlEngine, ClosingTagsCloseOneLevelEachWhateverTheirName) {
    Parsed p("<a><b></x><c/></a>");
    auto kids = Elements(p.root());
    ASSERT_EQ(kids.size(), 2u);
    EXPECT_EQ(kids[1]->TagName, u"c");
}

TEST(XmlEngine, DeclarationsAreUnclosedElementsAboveTheDocument) {
    Parsed p("<?xml version=\"1.0\"?><!DOCTYPE x><w:document><w:body>t</w:body></w:document>");
    EXPECT_EQ(p.root().TagName, u"?xml");
    TDTXMLItem* attr = p.root().Items[0];
    EXPECT_EQ(attr->Kind, ikAttribute);
    EXPECT_EQ(attr->TagName, u"version");
    EXPECT_EQ(attr->Value, u"\"1.0\"?");
    EXPECT_EQ(attr->GetTagXMLValue(), u"1.0\"?");  // the "?" stops the stripping
    TDTXMLItem* body = p.engine.GetItemByTag(nullptr, u"W:BODY");
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->TagName, u"w:body");
    EXPECT_EQ(body->Level, 3);
    EXPECT_EQ(p.root().GetChild(u"W:BODY"), nullptr);
    EXPECT_EQ(p.root().GetChild(u"w:body"), body);
    EXPECT_EQ(p.engine.GetItemByTag(body, u"w:document"), nullptr);  // starts at the given node
}

TEST(XmlEngine, AttributesFollowTheirSplittingRules) {
    Parsed p("<a href=\"x/y\" b = \"no\" c=\"1\"d='2' e=\"v w\">t</a>");
    std::vector<std::pair<std::u16string, std::u16string>> attrs;
    for (const auto& c : p.root().Items)
        if (c->Kind == ikAttribute) attrs.emplace_back(c->TagName, c->Value);
    ASSERT_EQ(attrs.size(), 3u);
    EXPECT_EQ(attrs[0].first, u"href");
    EXPECT_EQ(attrs[0].second, u"\"x/y\" ");
    EXPECT_EQ(p.root().Items[0]->GetTagXMLValue(), u"x/y");
    // "b = ..." is not recorded; c's value runs on into d's text.
    EXPECT_EQ(attrs[1].first, u"c");
    EXPECT_EQ(attrs[1].second, u"\"1\"d'2' ");
    EXPECT_EQ(attrs[2].first, u"e");
    EXPECT_EQ(attrs[2].second, u"\"v w\"");
    EXPECT_EQ(p.root().Value, u"t");
}

TEST(XmlEngine, AttributeValuesDoubleEncodedAsUtf8AreRepaired) {
    // "é" written as the two UTF-8 bytes, read back as 1252 text "Ã©".
    Parsed p("<a v=\"\xC3\x83\xC2\xA9t\xC3\x83\xC2\xA9\" w=\"\xE4\xB8\xAD\" x=\"M\xC3\xBCller\"/>");
    EXPECT_EQ(p.root().Items[0]->GetTagValue(), u"\u00E9t\u00E9");
    EXPECT_EQ(p.root().Items[1]->GetTagValue(), u"\u4E2D");     // outside 1252: kept
    EXPECT_EQ(p.root().Items[2]->GetTagValue(), u"M\u00FCller");  // not UTF-8 in 1252: kept
}

TEST(XmlEngine, CommentsAreNodesAndBeforeTheFirstElementOccupyTheRoot) {
    Parsed p("<!-- note --><a>x<!--inner-->y</a>");
    EXPECT_EQ(p.root().TagName, u"a");
    EXPECT_EQ(p.root().Value.substr(0, 10), u"!-- note -");
    TDTXMLItem* c = p.root().Items[0];
    EXPECT_EQ(c->Kind, ikComment);
    EXPECT_EQ(c->TagName, u"Comment");
    EXPECT_EQ(c->Value, u"!--inner--");
    EXPECT_TRUE(p.root().Value.ends_with(u"xy"));
    Parsed open("<a><!-- never closed");
    EXPECT_EQ(open.root().Items[0]->Value, u"!--");
}

TEST(XmlEngine, CdataIsTextOfTheCurrentElement) {
    Parsed p("<a>x<![CDATA[<b>not a tag</b> & ]]>y</a>");
    EXPECT_EQ(p.root().Value, u"x<b>not a tag</b> & y");
    EXPECT_EQ(p.root().Items.Count(), 0);
}

TEST(XmlEngine, KeptTextRunsStayInPlaceAmongTheChildren) {
    TDTXMLEngine engine;
    engine.SetKeepTextRuns(true);
    engine.LoadFromBytes("<p a=\"1\">Hello <s>World</s>!<![CDATA[<x>]]><e/></p>");
    TDTXMLItem& p = engine.RootItem();
    EXPECT_EQ(p.Value, u"");
    std::vector<std::pair<TDTXMLItemKind, std::u16string>> children;
    for (const auto& c : p.Items) children.emplace_back(c->Kind, c->Kind == ikText ? c->Value : c->TagName);
    EXPECT_EQ(children, (std::vector<std::pair<TDTXMLItemKind, std::u16string>>{
                            {ikAttribute, u"a"}, {ikText, u"Hello "}, {ikProperty, u"s"}, {ikText, u"!"},
                            {ikText, u"<x>"}, {ikProperty, u"e"}}));
    EXPECT_EQ(p.Items[2]->Items[0]->Value, u"World");
    // Off again: the element's runs are its value, as before.
    engine.SetKeepTextRuns(false);
    engine.LoadFromBytes("<p>Hello <s>World</s>!</p>");
    EXPECT_EQ(engine.RootItem().Value, u"Hello !");
    EXPECT_EQ(engine.RootItem().Items.Count(), 1);
}

TEST(XmlEngine, NulEndsTheParseAndAFinalEscapeIsDropped) {
    Parsed p(std::string("<a>x\0<b/></a>", 13));
    EXPECT_EQ(p.root().Value, u"x");
    EXPECT_EQ(p.root().Items.Count(), 0);
    Parsed q("<a>x</a>\x1B");
    EXPECT_EQ(q.root().Value, u"x");
}

TEST(XmlEngine, EncodingsFromTheMarkOrTheDeclaration) {
    struct Case {
        std::string bytes;
        std::u16string value;
    } cases[] = {
        {"\xEF\xBB\xBF<a>\xC3\xA9</a>", u"\u00E9"},
        {std::string("\xFF\xFE<\0a\0>\0\xE9\0<\0/\0a\0>\0", 18), u"\u00E9"},
        {std::string("\xFE\xFF\0<\0a\0>\0\xE9\0<\0/\0a\0>", 18), u"\u00E9"},
        {"<?xml version=\"1.0\" encoding=\"windows-1251\"?><a>\xCF\xF0\xE8</a>", u"\u041F\u0440\u0438"},
        {"<?xml version=\"1.0\" encoding=\"KOI8-R\"?><a>\xF0\xD2\xC9</a>", u"\u041F\u0440\u0438"},
        {"<?xml version='1.0' encoding='ISO-8859-2'?><a>\xB1</a>", u"\u0105"},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\xC3\xA9</a>", u"\u00E9"},
        {"<?xml version=\"1.0\"?><a>\xC3\xA9</a>", u"\u00E9"},
        {std::string("<\0?\0x\0m\0l\0?\0>\0<\0a\0>\0\xE9\0<\0/\0a\0>\0", 30), u"\u00E9"},
    };
    for (const Case& c : cases) {
        Parsed p(c.bytes);
        TDTXMLItem* a = p.find(u"a");
        ASSERT_NE(a, nullptr) << c.bytes;
        EXPECT_EQ(a->Value, c.value) << c.bytes;
    }
    EXPECT_EQ(CodePageOfXmlEncoding("Windows-1252"), 1252);
    EXPECT_EQ(CodePageOfXmlEncoding("iso-8859-5"), 28595);
    EXPECT_EQ(CodePageOfXmlEncoding("no-such-charset"), 0);
}

TEST(XmlEngine, FastUtf8DecodingEqualsTheGeneralDecoder) {
    std::mt19937 rng(23);
    const unsigned char pool[] = {'a', '<', ' ', 0xC3, 0xA9, 0xE4, 0xB8, 0xAD, 0xF0, 0x9F, 0x98, 0x80, 0x80, 0xFF, 0xC0};
    for (int round = 0; round < 5000; ++round) {
        std::string s(rng() % 40, 'x');
        for (char& c : s) c = static_cast<char>(pool[rng() % sizeof pool]);
        if (s.size() >= 2 && (static_cast<unsigned char>(s[0]) >= 0xEF)) s[0] = 'a';  // no marks
        ASSERT_EQ(DecodeXmlBytes(s), Utf8ToUtf16(s)) << s;
    }
}

TEST(XmlEngine, QuoteRemovalAndEntitiesInValues) {
    Parsed p("<a>\"quoted\" </a>");
    EXPECT_EQ(p.root().GetTagXMLValue(), u"quoted");
    Parsed q("<a>'single'</a>");
    EXPECT_EQ(q.root().GetTagValue(), u"'single'");
    Parsed r("<a>A &amp;amp; B, 1&lt;2, &eacute;</a>");
    EXPECT_EQ(r.root().GetTagValue(), u"A & B, 1<2, &eacute;");
    Parsed s("<a>&#233;t&#xE9; &#x4E2D; &#x1F600; &#0; &#x110000; &#xD800;</a>");
    EXPECT_EQ(s.root().GetTagValue(), u"\u00E9t\u00E9 \u4E2D \U0001F600 &#0; &#x110000; &#xD800;");
}

TEST(XmlEngine, DeepNestingIsFlattenedAtTheLimitAndFreedWithoutRecursion) {
    const int depth = 200000;
    std::string xml;
    for (int i = 0; i < depth; ++i) xml += "<d>";
    xml += "deep";
    for (int i = 0; i < depth; ++i) xml += "</d>";
    xml += "<after/>";
    {
        Parsed p(xml);
        int maxLevel = 0;
        for (TDTXMLItem* n = &p.root(); n;) {
            maxLevel = std::max(maxLevel, n->Level);
            n = n->Items.Count() ? n->Items[n->Items.Count() - 1] : nullptr;
        }
        EXPECT_LE(maxLevel, kMaxXmlDepth);
        EXPECT_NE(p.engine.GetItemByTag(nullptr, u"after"), nullptr);
        EXPECT_EQ(p.root().GetChild(u"nothing"), nullptr);  // walks the whole tree
    }
    // Never-closed elements (markup like <br> in a loose dialect).
    std::string loose = "<a>";
    for (int i = 0; i < 100000; ++i) loose += "<br>x";
    Parsed q(loose);
    EXPECT_NE(q.find(u"br"), nullptr);
}

TEST(XmlEngine, ANewLoadReplacesTheTree) {
    TDTXMLEngine engine;
    engine.LoadFromBytes("<a><b/></a>");
    engine.LoadFromBytes("<c>t</c>");
    EXPECT_EQ(engine.RootItem().TagName, u"c");
    EXPECT_EQ(engine.RootItem().Value, u"t");
    EXPECT_EQ(engine.GetItemByTag(nullptr, u"b"), nullptr);
    engine.LoadFromBytes("");
    EXPECT_EQ(engine.RootItem().Items.Count(), 0);
}

// Nodes come from blocks owned by their tree (the leak check sees the rest):
// emptying a list only unlinks its subtree, a list grows however its adds
// are interleaved with other lists', and loads of different sizes in a row
// reuse the engine's tree.
TEST(XmlEngine, TreesOwnTheirNodesThroughTheTopList) {
    TDTXMLTree tree;
    TDTXMLItem& top = tree.Root();
    TDTXMLItem* a = top.Items.AddItem(&top);
    TDTXMLItem* b = a->Items.AddItem(a);
    for (int i = 0; i < 5000; ++i) {
        b->Items.AddItem(b)->SetTagName(u"leaf" + std::u16string(i % 50, u'x'));
        if (i % 7 == 0) a->Items.AddItem(a)->AppendValue(u"v");
    }
    EXPECT_EQ(a->Items.Count(), 1 + 715);
    EXPECT_EQ(b->Level, 2);
    ASSERT_EQ(b->Items.Count(), 5000);
    EXPECT_EQ(b->Items[4999]->ParentItem, b);
    EXPECT_EQ(b->Items[4999]->Level, 3);
    EXPECT_EQ(b->Items[4999]->TagName, u"leaf" + std::u16string(49, u'x'));
    a->Items.Clear();
    EXPECT_EQ(a->Items.Count(), 0);
    EXPECT_EQ(FindItemByTag(&top, u"leaf"), nullptr);
    a->Items.AddItem(a)->SetTagName(u"again");
    EXPECT_NE(FindItemByTag(&top, u"again"), nullptr);
    top.Items.Clear();
    EXPECT_EQ(top.Items.Count(), 0);
    EXPECT_EQ(top.Items.AddItem(&top)->Level, 1);

    TDTXMLEngine engine;
    for (int round = 0; round < 4; ++round) {
        const int n = round % 2 ? 3 : 20000;
        std::string xml = "<r>";
        for (int i = 0; i < n; ++i) xml += "<p a=\"" + std::to_string(i) + "\">t</p>";
        engine.LoadFromBytes(xml + "</r>");
        ASSERT_EQ(engine.RootItem().Items.Count(), n);
        EXPECT_EQ(engine.RootItem().Items[n - 1]->Items[0]->GetTagValue(), Utf8ToUtf16(std::to_string(n - 1)));
        EXPECT_EQ(engine.RootItem().Items[n - 1]->Value, u"t");
    }
}

// The whole tree as text: kind, name, value and offset of every node.
std::u16string Dump(TDTXMLItem& root) {
    std::u16string out;
    std::vector<TDTXMLItem*> stack{&root};
    while (!stack.empty()) {
        TDTXMLItem* n = stack.back();
        stack.pop_back();
        out += std::u16string(n->Level, u' ') + char16_t(u'0' + n->Kind) + n->TagName.str() + u"=" +
               n->Value.str() + u"@" + Utf8ToUtf16(std::to_string(n->ValueOffset)) + u"\n";
        for (int i = n->Items.Count(); i-- > 0;) stack.push_back(n->Items[i]);
    }
    return out;
}

// Random markup (with multi-byte and malformed UTF-8, NULs and a trailing
// ESC) never hangs or crashes, and a part read straight from its UTF-8 bytes
// gives the same tree as the same part decoded to UTF-16 first.
TEST(XmlEngine, MalformedInputNeverHangsOrCrashes) {
    std::mt19937 rng(5);
    const std::string pieces[] = {"<", ">", "/", "=", "\"", "'", "!", "-", "?", "a", "b", "w:", " ", "\n", "&",
                                  ";", "[", "]", "CDATA", "\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80",
                                  "\xC3", "\xA9", "\xFF", std::string(1, '\0'), "\x1B"};
    for (int round = 0; round < 3000; ++round) {
        std::string s;
        for (int i = rng() % 120; i > 0; --i) s += pieces[rng() % std::size(pieces)];
        TDTXMLEngine direct, decoded;
        direct.LoadFromBytes(s);
        direct.GetItemByTag(nullptr, u"w:t");
        std::u16string text = DecodeXmlBytes(s);
        if (!text.empty() && text.back() == u'\x1B') text.pop_back();
        decoded.ParseXMLFromString(text);
        ASSERT_EQ(Dump(direct.RootItem()), Dump(decoded.RootItem())) << s;
    }
}

TEST(SameStrings, ComparesExactlyOrIgnoringAsciiCase) {
    EXPECT_TRUE(SameStrings(false, u"W:Body", u"w:bODY"));
    EXPECT_FALSE(SameStrings(true, u"W:Body", u"w:body"));
    EXPECT_FALSE(SameStrings(false, u"\u00C9", u"\u00E9"));
    EXPECT_FALSE(SameStrings(false, u"ab", u"abc"));
}

TEST(XMLStringToDateTime, TakesFixedPositionsAndRejectsInvalidStamps) {
    TCalendarTime t = DecodeDateTime(XMLStringToDateTime(u"2009-03-17T10:22:05Z"));
    EXPECT_EQ(t.Year, 2009);
    EXPECT_EQ(t.Month, 3);
    EXPECT_EQ(t.Day, 17);
    EXPECT_EQ(t.Hour, 10);
    EXPECT_EQ(t.Minute, 22);
    EXPECT_EQ(t.Second, 5);
    EXPECT_EQ(XMLStringToDateTime(u"2009-03-17T10:22:05.123+02:00"), XMLStringToDateTime(u"2009-03-17T10:22:05Z"));
    for (const char16_t* bad : {u"", u"no date", u"2009-03-17", u"2009-02-30T00:00:00Z", u"2009-13-01T00:00:00Z",
                                u"2009-03-17T24:00:00Z", u"2009-03-17T10:60:00Z", u"20x9-03-17T10:22:05Z"})
        EXPECT_EQ(XMLStringToDateTime(bad), 0) << Utf16ToUtf8(bad);
    EXPECT_NE(XMLStringToDateTime(u"2008-02-29T00:00:00Z"), 0);
}

// The table rule written the slow way: for each entity in order, find the
// first occurrence from the start, replace, and search again from the start.
std::u16string RestartingOracle(std::u16string s) {
    size_t count = 0;
    const TXmlEntity* table = XmlEntityTable(count);
    for (size_t i = 0; i < count; ++i) {
        std::u16string name(table[i].Name);
        for (;;) {
            size_t at = s.find(name);
            if (at == std::u16string::npos) break;
            size_t len = name.size();
            if (at + len < s.size() && s[at + len] == u';') ++len;
            s.replace(at, len, table[i].Replacement);
        }
    }
    return s;
}

TEST(XmlEntities, LinearDecodingEqualsTheRestartingRule) {
    EXPECT_EQ(DecodeNamedEntities(u"&amp;lt;"), u"<");
    EXPECT_EQ(DecodeNamedEntities(u"&amp;amp;amp;"), u"&");
    EXPECT_EQ(DecodeNamedEntities(u"&ltx &amp"), u"<x &");
    EXPECT_EQ(DecodeNamedEntities(u"&nb&nbsp;sp;x"), u"x");
    EXPECT_EQ(DecodeXmlEntities(u"&#176 &deg;&copy;&trade;"), u"\u00B0 \u00B0cT");
    // Fragments of entity names, so that replacements often form new ones.
    const std::u16string pieces[] = {u"&", u"amp", u";", u"lt", u"gt", u"nb", u"sp", u"&#", u"x9", u"xa",
                                     u"34", u"39", u"0", u"quot", u"a", u"deg", u"#176", u"&nbsp", u"&amp",
                                     u"&amp;", u"&lt;", u"&quot;", u"&apos;", u"copy", u"&copy;", u"x", u" "};
    std::mt19937 rng(17);
    for (int round = 0; round < 40000; ++round) {
        std::u16string s;
        int n = static_cast<int>(rng() % 16);
        for (int i = 0; i < n; ++i) s += pieces[rng() % std::size(pieces)];
        ASSERT_EQ(DecodeNamedEntities(s), RestartingOracle(s)) << Utf16ToUtf8(s);
    }
}

TEST(XmlEntities, NumericReferencesAreReadWhole) {
    // Short numbers that are prefixes of longer ones must not be taken as
    // the short reference.
    EXPECT_EQ(DecodeXmlEntities(u"a&#xa0;b"), u"a\u00A0b");
    EXPECT_EQ(DecodeXmlEntities(u"&#345;&#3900;&#1760;&#x9F;&#xd7;"), u"\u0159\u0F3C\u06E0\u009F\u00D7");
    EXPECT_EQ(DecodeXmlEntities(u"&#009;&#x9;&#010;&#xA;&#013;&#xd;&#034;&#39;&#176;"), u"\t\t\n\n\r\r\"'\u00B0");
    EXPECT_EQ(DecodeXmlEntities(u"&#x1F600;"), u"\U0001F600");
}

TEST(XmlEntities, DecodingALongTextIsLinear) {
    // "&amp;amp;amp;...lt;": 200 000 levels of escaping collapse to "<"
    // through the restart rule, which searches again from the start after
    // every replacement; the linear version does it in one pass.
    std::u16string s = u"&";
    for (int i = 0; i < 200000; ++i) s += u"amp;";
    s += u"lt;";
    EXPECT_TRUE(DecodeNamedEntities(s) == u"<");
    std::u16string flat;
    for (int i = 0; i < 200000; ++i) flat += u"&amp;";
    EXPECT_TRUE(DecodeNamedEntities(flat) == std::u16string(200000, u'&'));
}

}  // namespace
}  // namespace quillmark
