#include "quillmark/readers/odf_documents.h"

#include <optional>

#include "quillmark/detection_input.h"
#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/markup_escape.h"
#include "quillmark/framework/messages.h"
#include "quillmark/package/zip_archive.h"
#include "quillmark/readers/odf_content_walk.h"
#include "quillmark/readers/odf_manifest.h"
#include "quillmark/readers/odf_meta.h"
#include "quillmark/readers/odf_namespaces.h"

namespace quillmark {

namespace {

constexpr std::string_view kMimeTypePrefix = "application/vnd.oasis.opendocument.";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The first element's name of an XML text (after the declaration, comments
// and processing instructions), or "".
std::string_view FirstElementName(std::string_view bytes) {
    size_t p = 0;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") p = 3;
    for (int guard = 0; guard < 64; ++guard) {
        while (p < bytes.size() && IsBlank(bytes[p])) ++p;
        if (p >= bytes.size() || bytes[p] != '<') return {};
        if (bytes.substr(p, 4) == "<!--") {
            size_t e = bytes.find("-->", p + 4);
            if (e == std::string_view::npos) return {};
            p = e + 3;
            continue;
        }
        if (bytes.substr(p, 2) == "<?" || bytes.substr(p, 2) == "<!") {
            size_t e = bytes.find('>', p + 2);
            if (e == std::string_view::npos) return {};
            p = e + 1;
            continue;
        }
        size_t b = p + 1, e = b;
        while (e < bytes.size() && !IsBlank(bytes[e]) && bytes[e] != '>' && bytes[e] != '/') ++e;
        return bytes.substr(b, e - b);
    }
    return {};
}

std::string KindOfBodyIn(std::string_view xml) {
    // The body element comes after the styles; its tag is enough.
    size_t body = xml.find("<office:body");
    if (body == std::string_view::npos) return {};
    std::string_view rest = xml.substr(body);
    size_t next = rest.find('<', 1);
    if (next == std::string_view::npos) return {};
    rest = rest.substr(next);
    if (rest.substr(0, 12) == "<office:text") return "odt";
    if (rest.substr(0, 19) == "<office:spreadsheet") return "ods";
    if (rest.substr(0, 20) == "<office:presentation") return "odp";
    return {};
}

}  // namespace

std::string TCustomOpenOfficeDocument::KindOfPackageMimeType(std::string_view mimeType) {
    while (!mimeType.empty() && IsBlank(mimeType.back())) mimeType.remove_suffix(1);
    if (mimeType.substr(0, kMimeTypePrefix.size()) != kMimeTypePrefix) return {};
    std::string_view kind = mimeType.substr(kMimeTypePrefix.size());
    if (kind == "text" || kind == "text-template" || kind == "text-master" || kind == "text-web") return "odt";
    if (kind == "spreadsheet" || kind == "spreadsheet-template") return "ods";
    if (kind == "presentation" || kind == "presentation-template") return "odp";
    return {};
}

std::string TCustomOpenOfficeDocument::KindOfFlatDocument(std::string_view bytes) {
    if (FirstElementName(bytes) != "office:document") return {};
    std::string_view head = bytes.substr(0, 4096);
    size_t m = head.find("office:mimetype=\"");
    if (m != std::string_view::npos) {
        std::string_view v = head.substr(m + 17);
        std::string kind = KindOfPackageMimeType(v.substr(0, v.find('"')));
        if (!kind.empty()) return kind;
    }
    return KindOfBodyIn(bytes);
}

std::string TCustomOpenOfficeDocument::KindOfContent(std::string_view contentXml) {
    if (FirstElementName(contentXml) != "office:document-content") return {};
    return KindOfBodyIn(contentXml);
}

std::string TCustomOpenOfficeDocument::KindOf(const TDetectionInput& input) {
    if (!input.IsZip()) return KindOfFlatDocument(input.Bytes());
    if (std::optional<std::string_view> mimeType = input.StoredZipMember("mimetype")) {
        std::string kind = KindOfPackageMimeType(*mimeType);
        // Another package format that keeps a mimetype (EPUB, old StarOffice).
        if (!kind.empty() || !mimeType->empty()) return kind;
    }
    if (!input.HasZipMember("content.xml")) return {};
    // A stored content.xml can be looked at; a compressed one cannot, and
    // then the package's manifest has to be there too.
    if (std::optional<std::string_view> content = input.StoredZipMember("content.xml")) return KindOfContent(*content);
    return input.HasZipMember("META-INF/manifest.xml") ? "odt" : "";
}

void TCustomOpenOfficeDocument::ClearInternalLists() {
    TMSWBaseDocument::ClearInternalLists();
    FStyles.ClearStyles();
    FHeaderText.Clear();
    FFooterText.Clear();
    FNoteText.Clear();
    FAnnotationText.Clear();
}

void TCustomOpenOfficeDocument::LoadFromFile(const std::string& fileName) {
    TMSWBaseDocument::LoadFromFile(fileName);
    std::string bytes = ReadFileBytes(fileName);
    if (!IsZipArchiveData(bytes) && FirstElementName(bytes).empty())
        throw EUnsupportedFormat(FormatMessage(strNotOpenDocument, fileName));
    TMemoryStream stream(std::move(bytes));
    LoadFromStream(stream);
}

void TCustomOpenOfficeDocument::LoadFromStream(TStream& stream) {
    TMSWBaseDocument::LoadFromStream(stream);
    LoadBytes(stream.ReadRest());
}

void TCustomOpenOfficeDocument::LoadBytes(std::string bytes) {
    if (IsZipArchiveData(bytes)) {
        TZipArchive zip;
        zip.LoadFromBytes(std::move(bytes));
        LoadPackage(zip);
    } else if (!FirstElementName(bytes).empty()) {
        LoadFlat(bytes);
    } else {
        throw EUnsupportedFormat("The data is neither an OpenDocument package nor a flat OpenDocument file");
    }
}

std::u16string TCustomOpenOfficeDocument::RenderLine(std::u16string_view text) const {
    switch (TextFormating()) {
        case tfRTF: return EscapeRtf(text) + u"\\par ";
        case tfHTML: return u"<p>" + EscapeHtml(text) + u"</p>";
        default: return std::u16string(text);
    }
}

const TWideStrings* TCustomOpenOfficeDocument::PartText(TDocumentPart part) const {
    switch (part) {
        case TDocumentPart::Headers: return &FHeaderText;
        case TDocumentPart::Footers: return &FFooterText;
        case TDocumentPart::Notes: return &FNoteText;
        case TDocumentPart::Annotations: return &FAnnotationText;
        default: return TMSWBaseDocument::PartText(part);
    }
}

void TCustomOpenOfficeDocument::Walk(TDTXMLItem& node, TWideStrings& target, bool parts) {
    TOpenDocumentWalk walk(
        TextFormating(), [&](std::u16string&& line) { AddText(line, target); },
        [&] { return Cancelled(); });
    if (OnConvertSysChar()) {
        walk.SetRaiseEvent([&](TDTWordSysChar kind, const std::u16string& value) {
            std::u16string result;
            OnConvertSysChar()(*this, kind, value, result);
            return result;
        });
    }
    if (parts) {
        walk.SetEmitPart([&](TOOWalkPart part, const std::u16string& line) {
            AddText(line, part == TOOWalkPart::Notes ? FNoteText : FAnnotationText);
        });
    }
    walk.Walk(node);
}

void TCustomOpenOfficeDocument::ReadContent(TDTXMLEngine& engine, TWideStrings& target, bool anyBody) {
    if (TextFormating() != tfPlainText) {
        if (TDTXMLItem* styles = engine.GetItemByTag(nullptr, u"office:automatic-styles")) {
            CollectOOStyles(*styles, FStyles);
            if (TextFormating() == tfHTML)
                for (auto& line : OOStylesCss(FStyles)) AddText(line, target);
        }
    }
    TDTXMLItem* body = engine.GetItemByTag(nullptr, FXMLTagRoot);
    TDTXMLItem* content = body ? engine.GetItemByTag(body, FXMLTagText) : nullptr;
    // A package that does not declare its kind is read by whatever body it has.
    for (const char16_t* tag : {u"office:text", u"office:spreadsheet", u"office:presentation"}) {
        if (content || !anyBody || !body) break;
        content = engine.GetItemByTag(body, tag);
    }
    if (!content) return;
    Walk(*content, target, &target == text_.get());
    // A presentation's running header and footer texts are declared once
    // in its body and placed by the master pages.
    for (const auto& ref : content->Items) {
        TDTXMLItem& decl = *ref;
        if (decl.Kind != ikProperty) continue;
        bool header = decl.TagName == u"presentation:header-decl";
        if (!header && decl.TagName != u"presentation:footer-decl") continue;
        std::u16string text = TOpenDocumentWalk::InnerText(decl);
        if (!text.empty()) AddText(RenderLine(text), header ? FHeaderText : FFooterText);
    }
}

void TCustomOpenOfficeDocument::ReadMasterPages(TDTXMLItem& root) {
    TDTXMLItem* master = FindItemByTag(&root, u"office:master-styles", true);
    if (!master) return;
    for (const auto& page : master->Items) {
        if (page->Kind != ikProperty || page->TagName != u"style:master-page") continue;
        for (const auto& ref : page->Items) {
            TDTXMLItem& part = *ref;
            if (part.Kind != ikProperty) continue;
            std::u16string_view tag = part.TagName;
            if (tag.substr(0, 12) == u"style:header") Walk(part, FHeaderText, false);
            else if (tag.substr(0, 12) == u"style:footer") Walk(part, FFooterText, false);
            else if (tag == u"draw:frame") {
                // A presentation's master page places its header and footer
                // as frames of those classes (its other frames are layout
                // placeholders, not text).
                std::u16string cls;
                for (const auto& a : part.Items) {
                    if (a->Kind != ikAttribute) break;
                    if (a->TagName == u"presentation:class") cls = a->GetTagValue();
                }
                if (cls == u"header") Walk(part, FHeaderText, false);
                else if (cls == u"footer") Walk(part, FFooterText, false);
            }
        }
    }
}

void TCustomOpenOfficeDocument::ReadMeta(TDTXMLItem* root) {
    FSummaryInformation.Clear();
    if (!root) return;
    if (TDTXMLItem* meta = FindItemByTag(root, u"office:meta", true)) ReadOpenDocumentMeta(*meta, FSummaryInformation);
}

void TCustomOpenOfficeDocument::LoadPackage(const TZipArchive& zip) {
    TOdfManifest manifest;
    manifest.Load(zip.DecompressFileName("META-INF/manifest.xml"));
    // A member's plain bytes: decrypted when the manifest says it is
    // encrypted; nullopt when the package lacks it.
    auto member = [&](const std::string& name) -> std::optional<std::string> {
        int index = zip.GetIndexByFileName(name);
        if (index < 0) return std::nullopt;
        const TOdfEncryptionData* encryption = manifest.Encryption(name);
        if (!encryption) return zip.GetUncompressed(index);
        if (Password().empty()) throw EEncryptedError(strOpenDocumentEncrypted);
        return DecryptOdfMember(*encryption, zip.GetUncompressed(index), Password(), name);
    };
    auto parse = [](TDTXMLEngine& engine, const std::string& bytes) {
        engine.SetKeepTextRuns(true);
        engine.LoadFromBytes(bytes);
        CanonicalizeOdfPrefixes(engine.RootItem());
    };
    if (ParseItems().Contains(wpiText)) {
        // A package whose mimetype names no OpenDocument kind is read by
        // whatever body it has.
        bool declaresKind = false;
        if (zip.GetIndexByFileName("mimetype") >= 0) {
            try {
                declaresKind = !KindOfPackageMimeType(zip.DecompressFileName("mimetype")).empty();
            } catch (const Exception&) {
            }
        }
        std::optional<std::string> content = member("content.xml");
        if (!content) throw EDamagedDocument(strOpenDocumentNoContent);
        WithFrame([&] {
            {
                TDTXMLEngine engine;
                parse(engine, *content);
                content.reset();
                ReadContent(engine, *text_, !declaresKind);
            }
            if (IsCancelExtract) return;
            if (std::optional<std::string> styles = member("styles.xml")) {
                TDTXMLEngine engine;
                parse(engine, *styles);
                ReadMasterPages(engine.RootItem());
            }
        });
    }
    if (ParseItems().Contains(wpiSummaryInformation)) {
        FSummaryInformation.Clear();
        if (std::optional<std::string> meta = member("meta.xml")) {
            TDTXMLEngine engine;
            parse(engine, *meta);
            ReadMeta(&engine.RootItem());
        }
    }
}

void TCustomOpenOfficeDocument::LoadFlat(std::string_view bytes) {
    TDTXMLEngine engine;
    engine.SetKeepTextRuns(true);
    engine.LoadFromBytes(bytes);
    CanonicalizeOdfPrefixes(engine.RootItem());
    if (ParseItems().Contains(wpiText)) {
        WithFrame([&] {
            ReadContent(engine, *text_);
            if (!IsCancelExtract) ReadMasterPages(engine.RootItem());
        });
    }
    if (ParseItems().Contains(wpiSummaryInformation)) ReadMeta(&engine.RootItem());
}

void TCustomOpenOfficeDocument::LoadXMLFilePart(TStream* aStream, TWideStrings& target) {
    if (!aStream) return;
    TDTXMLEngine engine;
    engine.SetKeepTextRuns(true);
    engine.LoadFromStream(*aStream);
    CanonicalizeOdfPrefixes(engine.RootItem());
    ReadContent(engine, target);
}

}  // namespace quillmark
