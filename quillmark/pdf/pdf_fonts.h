// Fonts of a PDF document as the text extraction needs them: how a string's
// bytes split into character codes and what text each code stands for
// (the ToUnicode CMap first, then the font's encoding with its
// /Differences, then the code pages of predefined CJK CMaps).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "quillmark/pdf/pdf_cmap.h"
#include "quillmark/pdf/pdf_truetype.h"

namespace quillmark {

struct PdfObject;

class TDTPDFFont {
public:
    // Resource name with its "/" as the page's /Font dictionary writes it.
    std::string FontName;
    // The raw text of the font object.
    std::string Content;
    // The /Encoding value: "/WinAnsiEncoding", "/Identity-H", the number of
    // an encoding object ...; empty when the font has none.
    std::string Encoding;
    // The decoded ToUnicode CMap, empty when the font has none.
    const std::string& CMap() const { return FCMap; }
    void SetCMap(const std::string& text);
    // Decoded data of the descendant font's embedded font file (or its
    // CID-to-GID map when it has no descriptor). Font programs are large and
    // rarely needed, so this is read on first use: by a text step that needs
    // the glyph map, or by this call while the document's streams can still
    // be read (during its load). Empty when there is none.
    const std::string& CID() const;
    // True for fonts whose codes are CIDs in Identity order.
    bool Identity = false;
    // The lines of every bfrange and bfchar section of the CMap.
    std::vector<std::string> lstBFRange, lstBFChars;
    // Object number of the font dictionary (-1 for an inline dictionary).
    int32_t ObjNumber = -1;

    // Maps every code unit of value through the CMap (each unit tried as a
    // one- and a two-byte code); unmapped units pass through. With addSpace,
    // a space goes between the results. isUnicode does not change the result.
    std::u16string ConvertCMap(bool isUnicode, bool addSpace, std::u16string_view value) const;

    // Codes that give no text (a space glyph the ToUnicode CMap maps to
    // nothing, the glyphs of a shaped word whose text one other glyph
    // carries) still move the pen: a run of them, its width in thousandths
    // of the font size and where in the decoded text it stands.
    struct BlankRun {
        size_t at = 0;
        double width = 0;
    };
    // The text of a string's bytes shown in this font. With blanks, the
    // runs of codes without text are listed there (only for fonts that
    // give their widths: a guessed width says nothing about a gap).
    std::u16string DecodeText(std::string_view bytes, bool addSpace = false,
                              std::vector<BlankRun>* blanks = nullptr) const;

    // Sets up the encoding from the parsed font dictionary: the base
    // encoding, /Differences, composite-font code widths and CJK code
    // pages, and where the descendant font's streams are. resolve fetches
    // an indirect object's parsed value.
    void SetupEncoding(const PdfObject& font, const std::function<PdfObject(const PdfObject&)>& resolve);
    // How the descendant font's streams (font program, CID-to-GID map) are
    // decoded, by object number, when a text step first needs them. The
    // reader drops it (null) when the document's load ends.
    using StreamDecoder = std::function<std::string(int32_t)>;
    void SetStreamDecoder(StreamDecoder decode) { decode_ = std::move(decode); }
    // The CIDSystemInfo of a composite font: "Adobe-Identity", "Adobe-Japan1"...
    const std::string& CharacterCollection() const { return collection_; }
    // The width of the font's space in thousandths of the font size: the
    // width of the code that stands for U+0020, else of code 32 (simple
    // fonts), else a typical space (250).
    double SpaceWidth() const;

    // What a string's glyphs add to the pen position, before the font size,
    // character and word spacing and horizontal scaling apply.
    struct Advance {
        double width = 0;    // sum of glyph widths, thousandths of the font size
        int glyphs = 0;      // codes shown (each takes the character spacing)
        int wordSpaces = 0;  // one-byte codes 32 (each takes the word spacing)
    };
    Advance MeasureText(std::string_view bytes) const;
    // The width of one code in thousandths of the font size: /Widths from
    // /FirstChar (simple fonts) or the descendant's /W (composite fonts);
    // for other codes /MissingWidth (simple fonts with /Widths) or /DW
    // (1000 when absent); a default of 600 for simple fonts without
    // /Widths, such as the standard fonts.
    double GlyphWidth(uint32_t code) const;
    // True when the font dictionary gave widths of its own.
    bool HasWidths() const { return !widthRanges_.empty(); }

private:
    // How a string's bytes split into codes for this font.
    void SplitCodes(std::string_view bytes, std::vector<TDTPDFCMap::Code>& codes) const;
    void SetupDescendant(const PdfObject& font, const std::function<PdfObject(const PdfObject&)>& resolve);
    void SetupWidths(const PdfObject& font, const std::function<PdfObject(const PdfObject&)>& resolve);

    // Codes first..last have width `width` (widthIndex < 0) or the widths
    // from widths_[widthIndex] on. Sorted by first.
    struct WidthRange {
        uint32_t first = 0, last = 0;
        float width = 0;
        int32_t widthIndex = -1;
    };
    std::vector<WidthRange> widthRanges_;
    std::vector<float> widths_;
    double missingWidth_ = -1;  // < 0: none given
    double widthScale_ = 1;     // Type3: the font matrix turns glyph units into thousandths

    std::string FCMap;
    TDTPDFCMap cmap_;
    bool composite_ = false;       // Type0
    int cjkCodePage_ = 0;          // predefined CJK CMap: the Windows code page
    bool unicodeCMap_ = false;     // predefined UCS-2 / UTF-16 CMap
    mutable std::vector<std::u16string> codeText_;  // simple fonts: 256 entries

    // A Type 1 font program carries its own encoding, which stands in for
    // the standard one when the font dictionary names no base encoding;
    // its /Differences still win. Read from the program on first use.
    void LoadBuiltinEncoding() const;
    int32_t type1Ref_ = -1;                 // FontFile whose encoding is pending
    std::vector<bool> differed_;            // codes set by /Differences
    mutable bool builtinLoaded_ = true;

    // Composite fonts without a ToUnicode CMap: a code is a CID; through
    // the CID-to-GID map and the font program's own character map (read
    // backwards) it gives a character, or (Identity collection, no such
    // map) is one itself when printable. 0: nothing.
    char32_t FallbackCharacter(uint32_t cid) const;
    void LoadGlyphMap() const;
    std::string collection_;         // Registry-Ordering
    int32_t cidRef_ = -1;            // what CID() holds
    int32_t programRef_ = -1;        // FontFile2 / FontFile3
    int32_t cidToGidRef_ = -1;       // a CIDToGIDMap stream (else Identity)
    StreamDecoder decode_;
    mutable bool cidLoaded_ = false, glyphMapLoaded_ = false;
    mutable std::string cid_;
    mutable std::string cidToGid_;   // two bytes per CID
    mutable TPdfGlyphUnicodeMap glyphMap_;
    mutable double spaceWidth_ = -1;
};

class TDTPDFFonts {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    TDTPDFFont* GetItem(int index) const;
    TDTPDFFont* AddItem();
    // The first font whose FontName equals name ignoring ASCII case.
    TDTPDFFont* FindFontByName(std::string_view name) const;
    // The font loaded from object objNumber, or null.
    TDTPDFFont* FindFontByObject(int32_t objNumber) const;
    void Clear() {
        items_.clear();
        byObject_.clear();
        byName_.clear();
        named_ = 0;
    }
    // Records that font was loaded from object objNumber.
    void SetObject(TDTPDFFont* font, int32_t objNumber);
    // Drops every font's stream decoder (the document's data goes away).
    void DropStreamDecoders() {
        for (auto& f : items_) f->SetStreamDecoder(nullptr);
    }

private:
    std::vector<std::unique_ptr<TDTPDFFont>> items_;
    std::unordered_map<int32_t, TDTPDFFont*> byObject_;
    // Fonts by ASCII-lower-cased name (the first of each name); fonts from
    // named_ on are not indexed yet (a font's name is set after AddItem).
    mutable std::unordered_map<std::string, TDTPDFFont*> byName_;
    mutable size_t named_ = 0;
};

}  // namespace quillmark
