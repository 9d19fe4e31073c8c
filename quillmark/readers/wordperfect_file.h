// TWordPerfectFile: WordPerfect documents of version 5.0 and later, plain or
// wrapped in a compound file (stream "PerfectOffice_MAIN").
//
// The file header gives the document area; version 6 and later also keep an
// index of header packets, from which the font descriptors are read. The
// document area is one byte loop: characters, one-byte function codes, and
// groups of function codes whose layout differs between version 5 and
// version 6. The loop turns them into one text in the chosen rendering.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "quillmark/framework/base_document.h"
#include "quillmark/framework/byte_reader.h"
#include "quillmark/readers/wordperfect_records.h"

namespace quillmark {

class TCompoundStorage;

inline constexpr const char* strWPDPasswordProtected = "Could not read the password protected file";
inline constexpr const char* strWPDIncorrectNumPIDs = "Incorrect value for numPIDs";
inline constexpr const char* strWPDIncorrectExtendedChar =
    "Incorrect character instead WP_TOP_EXTENDED_CHARACTER";
inline constexpr const char* strWPDNotWordPerfect =
    "Not a WordPerfect document: the data does not start with FF 57 50 43 (\"\\xFFWPC\")";

class TWordPerfectFile : public TMSWBaseDocument {
public:
    TWordPerfectFile() = default;
    ~TWordPerfectFile() override;

    void ClearInternalLists() override;
    void LoadFromStream(TStream& stream) override;
    void LoadFromFile(const std::string& fileName) override;
    bool IsPasswordProtected() override;
    // Footnotes and endnotes, one note a line (they also follow their
    // paragraph, or the document, in the main text).
    const TWideStrings* PartText(TDocumentPart part) const override;
    const TWideStrings& FootNoteText() const { return footNoteText_; }
    const TWideStrings& EndNoteText() const { return endNoteText_; }

    const TWPDFileHeader& Header() const { return header_; }
    const THeaderPacketList& HeaderPacketList() const { return headerPacketList_; }
    const TWPDFontDescriptorList& FontDescriptorList() const { return fontDescriptorList_; }
    bool UndoOn() const { return undoOn_; }
    bool FontChanged() const { return fontChanged_; }
    const std::string& LastJustify() const { return lastJustify_; }
    // WordPerfect 5.x (major version 0) has its own code set.
    bool IsVersion5() const { return header_.MajorVersion == kWordPerfect5Major; }

    // True when the bytes start with the WordPerfect signature.
    static bool IsWordPerfectData(std::string_view bytes);

protected:
    // Reads one WordPerfect file held in memory: header, index, text.
    void ReadDocFromStream(std::string_view data);
    // Reads the "PerfectOffice_MAIN" stream of a compound file, if any.
    void LoadIStorage(const TCompoundStorage& storage);
    void ParseFontDescriptor(const ByteReader& data, uint16_t packetID, uint32_t dataPacketSize,
                             uint32_t dataPointer);
    // Handles the function code just read from `doc` (version 6 codes),
    // appending its rendering to `out`. False ends the byte loop: the code's
    // group runs outside the document area.
    bool ProcessSysCharacter(ByteReader& doc, uint8_t code, std::u16string& out);
    // The same for the version 5 codes.
    bool ProcessSysCharacter5(ByteReader& doc, uint8_t code, std::u16string& out);

private:
    void LoadBytes(const std::string& bytes);
    void ReadIndex(const ByteReader& data);
    void ReadText(std::string_view data);
    void ReadText6(ByteReader& doc, std::u16string& out);
    void ReadText5(ByteReader& doc, std::u16string& out);

    // Version 6 groups, read from a reader fenced to the group.
    void ProcessGroup6(uint8_t code, uint8_t subfunction, ByteReader& group, std::u16string& out);
    void ProcessGroup5(uint8_t code, uint8_t subfunction, ByteReader& group, std::u16string& out);

    // Renderings shared by both code sets.
    void AppendCharacter(std::u16string& out, std::u16string_view text) const;
    void AppendExtendedCharacter(std::u16string& out, uint8_t character, uint8_t set) const;
    void AppendLineBreak(std::u16string& out) const;
    void AppendParagraphEnd(std::u16string& out);
    // Reads the text of the note a note group refers to, for the end of
    // the paragraph (footnotes) or of the document (endnotes).
    void AppendNoteReference(uint8_t subfunction, ByteReader& group);
    void AppendPageBreak(std::u16string& out) const;
    void AppendGroupBreak(std::u16string& out) const;
    void AppendTab(std::u16string& out) const;
    void AppendAttribute(std::u16string& out, uint8_t attribute, bool on) const;
    void AppendJustification(std::u16string& out, uint8_t justification);
    void AppendFontChange(std::u16string& out, uint16_t fontNumber, uint16_t size);
    void AppendIndent(std::u16string& out, uint8_t subfunction, uint16_t value) const;
    void CloseOpenElements(std::u16string& out);

    TWPDFileHeader header_;
    THeaderPacketList headerPacketList_;
    TWPDFontDescriptorList fontDescriptorList_;
    // Text packets of the index (by packet id - 1): the text of notes.
    struct TextPacket {
        std::string_view Data;
        bool Shown = false;
    };
    std::vector<TextPacket> textPackets_;
    int noteDepth_ = 0;
    int footnoteCount_ = 0, endnoteCount_ = 0;
    std::u16string pendingFootnotes_, pendingEndnotes_;
    TWideStrings footNoteText_, endNoteText_;
    bool undoOn_ = false;
    bool fontChanged_ = false;
    std::string lastJustify_;
};

}  // namespace quillmark
