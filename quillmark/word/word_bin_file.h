// TWordBinFile: the reader of binary Word documents (.doc/.dot) of Word 2,
// Word 6/95 and Word 97 and later, stored as compound files or as plain
// files. It fills the main text with the whole document text and the
// footnote, header, annotation, endnote and text-box lists with the text of
// their own ranges, in plain text, RTF or HTML, and the summary record from
// the compound file's property sets.
//
// The class is split by concern: word_bin_file.cpp opens the containers and
// reads the FIB, piece_table.cpp reads the piece table and decodes text,
// sys_chars.cpp renders control characters and fields.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quillmark/framework/compound_file.h"
#include "quillmark/word/custom_word_file.h"
#include "quillmark/word/doc_lists.h"
#include "quillmark/word/word_records.h"

namespace quillmark {

class TDetectionInput;

inline constexpr const char* strPasswordProtected = "Could not read the password protected file";

// Lets the host choose the language (and so the code page) of 8-bit text.
using TMSWordGetDefaultLanguage = std::function<void(TMSWBaseDocument& sender, uint16_t& docLang)>;

class TWordBinFile : public TCustomWordFile {
public:
    TWordBinFile();
    ~TWordBinFile() override;

    // --- virtual operations, in slot order ---
    void ClearInternalLists() override;
    // Renders control characters and fields (unless ConvertSysCharacters is
    // off), escapes document text for RTF/HTML, then adds one line.
    void AddText(const std::u16string& value, TWideStrings& list) override;
    void LoadFromStream(TStream& stream) override;
    void LoadFromFile(const std::string& fileName) override;
    bool IsPasswordProtected() override { return quillmark::IsPasswordProtected(FIB); }

    bool IsUseTableStream() const { return quillmark::IsUseTableStream(FIB); }
    bool IsFarEastDocument() const { return quillmark::IsFarEastDocument(FIB); }
    bool IsComplexDocument() const { return quillmark::IsComplexDocument(FIB); }

    // True for a compound file with a "WordDocument" stream, or a plain file
    // that starts with the magic number of Word for Windows 1 or 2.
    static bool IsWordBinaryData(std::string_view bytes);
    static bool IsWordBinaryData(const TDetectionInput& input);

    // --- published ---
    int DocVersion() const { return FDocVersion; }
    void SetDocVersion(int v) { FDocVersion = v; }
    void SetOnGetDefaultLanguage(TMSWordGetDefaultLanguage e) { FOnGetDefaultLanguage = std::move(e); }

    // The code page of the document's 8-bit text, from its language (0 = the
    // active ANSI code page). Fires OnGetDefaultLanguage.
    uint16_t DocLangToCodePage();
    // The table lookup alone.
    static uint16_t LanguageToCodePage(uint16_t lid);

    // The replacement of one character (see sys_chars.cpp). IsLast tells
    // whether ch ends the string; nextChar is the following character (0 if
    // none) and may be changed.
    std::u16string ProcessSysCharacter(char16_t ch, bool isLast, char16_t& nextChar);

    const TFIB& Fib() const { return FIB; }
    const TCLX& Clx() const { return CLX; }

    // Piece table access (piece_table.cpp). GetPieceBoundsFC gives -1 when the
    // piece does not exist, else 1 for an 8-bit piece and 0 for UTF-16, with
    // the piece's byte start and start plus character count.
    int GetPieceBoundsFC(uint32_t& startFC, uint32_t& endFC, uint32_t piece) const;
    static uint32_t GetNormFC(uint32_t fc, bool& isCompressed);

    // True when the FIB at the start of a "WordDocument" stream says the
    // document is encrypted or obfuscated.
    static bool IsEncryptedStream(std::string_view word);

    // Reads one document from a compound file's root storage.
    void LoadIStorage(const TCompoundStorage& storage);
    // Reads one "WordDocument" stream (with its table stream, when there is one).
    void ReadDocFromStream(std::string_view stream, std::optional<std::string_view> tableStream);

protected:
    // The "Macros" storage of a document with VBA (read when ParseItems has
    // wpiVBA): lists each module's source in MacroText.
    void ReadMacros(const TCompoundStorage& macros);
    // Reads the FIB and detects the version.
    void ReadFIB(std::string_view stream);
    // Reads the piece table; tableStream may be absent.
    void ReadCLX(std::optional<std::string_view> tableStream, std::string_view wordStream);
    // Decodes characters [first, last) of the document through the pieces.
    std::u16string PieceText(std::string_view stream, uint64_t first, uint64_t last, int codePage);
    // Fills the main list and the sub-document lists from the pieces, 8-bit
    // pieces decoded in codePage (the document language's, DocLangToCodePage).
    void ReadSimpleText(std::string_view stream, int codePage);
    // Word 2: the same ranges as bytes from fcMin on.
    void ReadWord2Text(std::string_view stream);
    void AddSubDocuments(const std::function<std::u16string(uint64_t, uint64_t)>& textOf);
    // Deciphers the "WordDocument" and table streams of an encrypted
    // document with Password() (word_bin_crypto.cpp); keeps the property sets
    // of an "EncryptedSummary" stream for ReadEncryptedSummaryInformation.
    void DecryptStreams(const TCompoundStorage& storage, std::string& word, std::string* table);
    void ReadEncryptedSummaryInformation();
    // Computes the list labels of the document's numbered paragraphs
    // (word_bin_lists.cpp); ReadSimpleText puts them into the text. Word 6
    // labels decode their text in codePage.
    void LoadListLabels(std::string_view stream, std::optional<std::string_view> tableStream, int codePage);

    TFIB FIB;
    TCLX CLX;
    uint32_t wvCHPX_pn_previous = 0;
    int FDocVersion = 0;
    std::u16string FLastFieldCode;
    int intFieldCodeLen = 0;
    TMSWordGetDefaultLanguage FOnGetDefaultLanguage;

private:
    // Conversion of one string (sys_chars.cpp).
    void ConvertInto(std::u16string_view value, std::u16string& out);
    void AppendReplacement(char16_t ch, bool isLast, char16_t& nextChar, std::u16string& out);
    std::u16string FinishField();
    void FlushLongField(std::u16string& out);
    void FireSysChar(TDTWordSysChar kind, const std::u16string& value, std::u16string& result);

    // Set for a Word 6/95 piece table, whose pieces are all 8-bit text at
    // their plain byte position.
    bool piecesAre8Bit_ = false;
    // One made-up piece from fcMin to fcMac: reading stops at fcMac.
    bool madeUpPiece_ = false;
    // The streams of the current document were deciphered.
    bool decrypted_ = false;
    // Property sets from an "EncryptedSummary" stream (document flag, bytes).
    std::vector<std::pair<bool, std::string>> encryptedSummary_;
    TDocListLabels listLabels_;
};

}  // namespace quillmark
