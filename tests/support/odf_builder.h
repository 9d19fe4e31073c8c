// Builds small OpenDocument packages and flat documents for the ODF reader
// tests: the body, the automatic styles, styles.xml and meta.xml are the
// test's, the namespaces and the package layout are filled in.
#pragma once

#include <string>

namespace quillmark::test {

struct OdfBuilder {
    std::string mimeType = "application/vnd.oasis.opendocument.text";
    std::string bodyTag = "office:text";  // element inside office:body
    std::string body;                     // its content
    std::string automaticStyles;          // content of office:automatic-styles ("" = none written)
    std::string masterStyles;             // content of styles.xml's office:master-styles
    std::string meta;                     // content of office:meta ("" = no meta.xml)
    std::string manifest;                 // META-INF/manifest.xml as it stands ("" = a plain one)

    std::string ContentXml() const;
    std::string StylesXml() const;
    std::string MetaXml() const;
    std::string ManifestXml() const;
    // The zip package: mimetype stored first, then the parts.
    std::string Package() const;
    // The single-XML form (root office:document).
    std::string Flat() const;
};

// The namespace declarations every ODF root element carries.
const char* OdfNamespaces();

}  // namespace quillmark::test
