// TWordXmlFile: the Word 2007 (.docx) reader. A .docx is a zip package of
// XML parts; the reader takes the main document, the endnotes, the
// footnotes, every header and every footer into the text lists, and the core
// and application properties into the summary record. It also reads a
// package kept in the "Package" stream of a compound file (how Office embeds
// .docx documents in OLE containers).
//
// Formatting is reduced to paragraphs, tabs and line breaks, plus a font tag
// per run in HTML.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quillmark/framework/compound_file.h"
#include "quillmark/framework/stream.h"
#include "quillmark/package/xml_engine.h"
#include "quillmark/package/zip_archive.h"
#include "quillmark/word/custom_word_file.h"
#include "quillmark/word/docx_numbering.h"

namespace quillmark {

class TDetectionInput;

class TWordXmlFile : public TCustomWordFile {
public:
    TWordXmlFile() = default;

    void InternalLoadFromOLEStream(TStream& stream) override;
    void LoadFromStream(TStream& stream) override;
    void LoadFromFile(const std::string& fileName) override;

    // Parses one XML part and appends its text, framed, to target; nothing
    // happens for a null stream.
    void LoadXMLFilePart(TStream* aStream, TWideStrings& target);

    // True for a zip package with a "word/document.xml" part, or a compound
    // file with a "Package" stream or an encrypted package (the format test).
    static bool IsWordXmlData(std::string_view bytes);
    static bool IsWordXmlData(const TDetectionInput& input);
    // True for a compound file holding a package saved with a password
    // ("EncryptionInfo" and "EncryptedPackage" streams).
    static bool IsEncryptedPackage(const TCompoundStorage& root);

    // The parts that exist in the package, in the order they are read:
    // "word/header1.xml", "word/header2.xml", ... by number (prefix "word/header").
    static std::vector<std::string> NumberedParts(const TZipArchive& zip, std::string_view prefix);

private:
    // The package a compound file carries: its "Package" stream, or its
    // "EncryptedPackage" deciphered with Password(); nullopt for neither.
    std::optional<std::string> EmbeddedPackage(const TCompoundStorage& root) const;

    void LoadPackage(const TZipArchive& zip);
    // The VBA project of a macro-enabled document (when ParseItems has
    // wpiVBA): lists each module's source in MacroText.
    void ReadMacros(const TZipArchive& zip);
    // Frames, then the text of each part in turn, into target.
    void LoadTextParts(const TZipArchive& zip, const std::vector<std::string>& parts, TWideStrings& target);
    // With numbering, numbered paragraphs get their list labels.
    void WalkTree(TDTXMLItem& root, TWideStrings& target, TDocxNumbering* numbering = nullptr);
    void LoadNumbering(const TZipArchive& zip);
    void ReadProperties(TDTXMLEngine& engine);

    TDocxNumbering numbering_;
};

}  // namespace quillmark
