#include "support/odf_builder.h"

#include "support/zip_builder.h"

namespace quillmark::test {

const char* OdfNamespaces() {
    return " xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
           " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
           " xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\""
           " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\""
           " xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\""
           " xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\""
           " xmlns:xlink=\"http://www.w3.org/1999/xlink\""
           " xmlns:dc=\"http://purl.org/dc/elements/1.1/\""
           " xmlns:meta=\"urn:oasis:names:tc:opendocument:xmlns:meta:1.0\""
           " xmlns:presentation=\"urn:oasis:names:tc:opendocument:xmlns:presentation:1.0\""
           " office:version=\"1.2\"";
}

namespace {

std::string Body(const OdfBuilder& b) {
    return "<office:body><" + b.bodyTag + ">" + b.body + "</" + b.bodyTag + "></office:body>";
}

std::string AutomaticStyles(const OdfBuilder& b) {
    return b.automaticStyles.empty() ? "" : "<office:automatic-styles>" + b.automaticStyles + "</office:automatic-styles>";
}

}  // namespace

std::string OdfBuilder::ContentXml() const {
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content") + OdfNamespaces() + ">" +
           AutomaticStyles(*this) + Body(*this) + "</office:document-content>";
}

std::string OdfBuilder::StylesXml() const {
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-styles") + OdfNamespaces() +
           "><office:styles/><office:master-styles>" + masterStyles + "</office:master-styles></office:document-styles>";
}

std::string OdfBuilder::MetaXml() const {
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-meta") + OdfNamespaces() +
           "><office:meta>" + meta + "</office:meta></office:document-meta>";
}

std::string OdfBuilder::ManifestXml() const {
    if (!manifest.empty()) return manifest;
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
           "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" manifest:version=\"1.2\">"
           "<manifest:file-entry manifest:full-path=\"/\" manifest:media-type=\"" + mimeType + "\"/>"
           "<manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>"
           "</manifest:manifest>";
}

std::string OdfBuilder::Package() const {
    ZipBuilder zip;
    zip.Add("mimetype", mimeType, 0);
    zip.Add("content.xml", ContentXml());
    zip.Add("styles.xml", StylesXml());
    if (!meta.empty()) zip.Add("meta.xml", MetaXml());
    zip.Add("META-INF/manifest.xml", ManifestXml());
    return zip.Build();
}

std::string OdfBuilder::Flat() const {
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document") + OdfNamespaces() +
           " office:mimetype=\"" + mimeType + "\">" + (meta.empty() ? "" : "<office:meta>" + meta + "</office:meta>") +
           AutomaticStyles(*this) + "<office:master-styles>" + masterStyles + "</office:master-styles>" + Body(*this) +
           "</office:document>";
}

}  // namespace quillmark::test
