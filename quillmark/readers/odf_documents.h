// The OpenDocument readers: TCustomOpenOfficeDocument and its text,
// spreadsheet and presentation descendants, which differ only in the body
// element they read ("office:text", "office:spreadsheet",
// "office:presentation").
//
// A document is either a zip package (content.xml, styles.xml, meta.xml,
// META-INF/manifest.xml; templates are the same) or a flat single XML file
// whose root "office:document" holds the same elements. The body goes to
// Text; the master pages' headers and footers to HeaderText and
// FooterText; note bodies and speaker notes to NoteText and annotations to
// AnnotationText (both also stay in Text, after their paragraph's line);
// meta.xml to SummaryInformation. In RTF and HTML the automatic styles are
// collected into Styles, and HTML output carries them as a CSS block.
//
// Password-protected packages are decrypted with Password (see
// odf_manifest.h); without one they raise EEncryptedError, with a wrong one
// EPasswordError.
#pragma once

#include <string>
#include <string_view>

#include "quillmark/framework/base_document.h"
#include "quillmark/package/xml_engine.h"
#include "quillmark/readers/odf_styles.h"

namespace quillmark {

class TZipArchive;
class TDetectionInput;

inline constexpr const char* strNotOpenDocument = "File %s is not an OpenDocument file";
inline constexpr const char* strOpenDocumentNoContent = "OpenDocument package has no content.xml";
inline constexpr const char* strOpenDocumentEncrypted =
    "The OpenDocument file is encrypted: a password is needed to open it";

class TCustomOpenOfficeDocument : public TMSWBaseDocument {
public:
    TCustomOpenOfficeDocument() = default;

    // --- virtual operations, in slot order ---
    void ClearInternalLists() override;
    void LoadFromStream(TStream& stream) override;
    void LoadFromFile(const std::string& fileName) override;

    // Parses one content part (a content.xml, or a flat document) and adds
    // its text to target: in RTF and HTML the automatic styles first (HTML:
    // the CSS block), then the body's lines. Nothing for a null stream.
    void LoadXMLFilePart(TStream* aStream, TWideStrings& target);

    TOOStyles& Styles() { return FStyles; }
    const TOOStyles& Styles() const { return FStyles; }
    TWideStrings& HeaderText() { return FHeaderText; }
    const TWideStrings& HeaderText() const { return FHeaderText; }
    TWideStrings& FooterText() { return FFooterText; }
    const TWideStrings& FooterText() const { return FFooterText; }
    TWideStrings& NoteText() { return FNoteText; }
    const TWideStrings& NoteText() const { return FNoteText; }
    TWideStrings& AnnotationText() { return FAnnotationText; }
    const TWideStrings& AnnotationText() const { return FAnnotationText; }

    // Headers, Footers, Notes and Annotations besides the main text.
    const TWideStrings* PartText(TDocumentPart part) const override;

    // The body element this reader reads, below "office:body".
    const std::u16string& XMLTagText() const { return FXMLTagText; }

    // Content tests that inflate nothing: a zip whose stored "mimetype"
    // member names an OpenDocument text, spreadsheet or presentation (or
    // their templates); a flat document whose root is "office:document"
    // with that mime type or that body. Return "odt", "ods", "odp" or "".
    static std::string KindOfPackageMimeType(std::string_view mimeType);
    static std::string KindOfFlatDocument(std::string_view bytes);
    // The kind named by a content.xml's body element.
    static std::string KindOfContent(std::string_view contentXml);
    // The format test of the registry, from what detection may see without
    // inflating: the stored mimetype; without one, a stored content.xml's
    // root and body, else "odt" for a zip with a compressed content.xml and
    // a META-INF/manifest.xml (its reader then reads whichever body the
    // package has); a flat document's root.
    static std::string KindOf(const TDetectionInput& input);

protected:
    explicit TCustomOpenOfficeDocument(std::u16string tagText) : FXMLTagText(std::move(tagText)) {}

    TOOStyles FStyles;
    TWideStrings FHeaderText;
    TWideStrings FFooterText;
    TWideStrings FNoteText;
    TWideStrings FAnnotationText;
    std::u16string FXMLTagRoot = u"office:body";
    std::u16string FXMLTagText = u"office:text";

private:
    void LoadBytes(std::string bytes);
    void LoadPackage(const TZipArchive& zip);
    void LoadFlat(std::string_view bytes);
    // The body's lines (with the styles first) into target; anyBody reads
    // any of the three bodies when the reader's own is missing.
    void ReadContent(TDTXMLEngine& engine, TWideStrings& target, bool anyBody = false);
    // The headers and footers of the master pages below root.
    void ReadMasterPages(TDTXMLItem& root);
    void ReadMeta(TDTXMLItem* root);
    void Walk(TDTXMLItem& node, TWideStrings& target, bool parts);
    std::u16string RenderLine(std::u16string_view text) const;
};

class TOpenOfficeTextDocument : public TCustomOpenOfficeDocument {
public:
    TOpenOfficeTextDocument() : TCustomOpenOfficeDocument(u"office:text") {}
};

class TOpenOfficeSpreadsheet : public TCustomOpenOfficeDocument {
public:
    TOpenOfficeSpreadsheet() : TCustomOpenOfficeDocument(u"office:spreadsheet") {}
};

class TOpenOfficePresentation : public TCustomOpenOfficeDocument {
public:
    TOpenOfficePresentation() : TCustomOpenOfficeDocument(u"office:presentation") {}
};

}  // namespace quillmark
