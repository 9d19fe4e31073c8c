#include "quillmark/readers/odf_namespaces.h"

#include <gtest/gtest.h>

#include "quillmark/framework/code_pages.h"
#include "quillmark/package/xml_engine.h"
#include "quillmark/readers/odf_documents.h"
#include "support/test_support.h"
#include "support/zip_builder.h"

namespace quillmark {
namespace {

std::u16string Names(TDTXMLItem& node) {
    std::u16string out = node.TagName.str();
    for (const auto& c : node.Items) {
        if (c->Kind == ikText) continue;
        out += u" " + (c->Kind == ikAttribute ? c->TagName.str() : Names(*c));
    }
    return out;
}

std::u16string Canonical(const std::string& xml) {
    TDTXMLEngine engine;
    engine.SetKeepTextRuns(true);
    engine.LoadFromBytes(xml);
    CanonicalizeOdfPrefixes(engine.RootItem());
    return Names(engine.RootItem());
}

TEST(OdfNamespaces, KnownNamespacesGetTheUsualPrefixes) {
    struct {
        const char* xml;
        const char16_t* names;
    } cases[] = {
        // Usual prefixes: untouched.
        {"<office:a xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\"><text:p text:x=\"1\"/></office:a>",
         u"office:a xmlns:office text:p text:x"},
        // A foreign prefix for the office namespace, attributes included.
        {"<d:a xmlns:d=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" d:v=\"1\"><d:b/><x:c/></d:a>",
         u"office:a xmlns:d office:v office:b x:c"},
        // The default namespace names unprefixed elements, not attributes.
        {"<a xmlns=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" v=\"1\"><p/></a>", u"text:a xmlns v text:p"},
        // A declaration further down holds only below its element.
        {"<r><t:p xmlns:t=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><t:s/></t:p><t:q/></r>",
         u"r text:p xmlns:t text:s t:q"},
        // Rebinding a prefix to an unknown namespace ends its renaming.
        {"<d:a xmlns:d=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\"><d:b xmlns:d=\"urn:other\"><d:c/></d:b></d:a>",
         u"office:a xmlns:d d:b xmlns:d d:c"},
    };
    for (const auto& c : cases) EXPECT_EQ(Canonical(c.xml), c.names) << c.xml;
}

TEST(OdfNamespaces, AForeignPrefixDocumentReadsLikeAnyOther) {
    std::string content =
        "<?xml version=\"1.0\"?><o:document-content xmlns:o=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
        " xmlns:t=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><o:body><o:text><t:p>Hello <t:span>there</t:span>"
        "</t:p></o:text></o:body></o:document-content>";
    test::ZipBuilder zip;
    zip.Add("mimetype", "application/vnd.oasis.opendocument.text", 0);
    zip.Add("content.xml", content);
    TOpenOfficeTextDocument reader;
    TMemoryStream s(zip.Build());
    reader.LoadFromStream(s);
    EXPECT_EQ(reader.Text().Text(), u"\r\nHello there\r\n\r\n");
}

}  // namespace
}  // namespace quillmark
