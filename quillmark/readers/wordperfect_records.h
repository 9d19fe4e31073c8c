// WordPerfect file records: the file header, the index of header packets and
// the font descriptor packet, with the codes of the document area.
//
// A WordPerfect file (5.0 and later) starts with the bytes FF 'W' 'P' 'C',
// the offset of its document area and a product/version block. Version 6
// and later follow with an index of "header packets" (fonts, styles, printer
// data ...) and record where the document area ends; version 5 keeps its
// prefix packets in another layout that the text does not need. The document
// area is a stream of single-byte characters and function codes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillmark {

inline constexpr const char* kWordPerfectSignature = "\xFFWPC";
inline constexpr const char16_t* kWordPerfectStreamName = u"PerfectOffice_MAIN";

// File header, 24 bytes at offset 0 (version 5 uses the first 16).
struct TWPDFileHeader {
    uint8_t Ident[4] = {};              // FF 'W' 'P' 'C'
    uint32_t DocumentPointerPosition = 0;  // offset of the document area
    uint8_t ProductID = 0;              // 1 = WordPerfect
    uint8_t FileType = 0;               // 10 = document
    uint8_t MajorVersion = 0;           // 0 = 5.x, 2 = 6.x and later
    uint8_t MinorVersion = 0;
    uint16_t EncryptionPosition = 0;    // non-zero: the document is encrypted
    uint16_t IndexHeaderPosition = 0;   // 6.x: offset of the packet index, 0 = none
    uint32_t Reserved = 0;
    uint32_t DocumentEnd = 0;           // 6.x: offset just past the document area
};
inline constexpr size_t kWPDFileHeaderSize = 24;
inline constexpr size_t kWPD5FileHeaderSize = 16;
// The major version byte of WordPerfect 5.x files.
inline constexpr uint8_t kWordPerfect5Major = 0;

// The index header is one 14-byte entry whose 16-bit count (at offset 2)
// includes itself; the entries follow it.
inline constexpr size_t kWPDIndexEntrySize = 14;
inline constexpr size_t kWPDIndexCountOffset = 2;

struct TWPDIndexItem {
    uint8_t Flags = 0;        // bit 0: the packet has child packets
    uint8_t PacketType = 0;   // 0x20 / 0x55: font descriptor packets
    uint16_t UseCount = 0;
    uint16_t HiddenCount = 0;
    uint32_t DataPacketSize = 0;
    uint32_t DataPointer = 0;
};

inline constexpr uint8_t kFontDescriptorPacket = 0x20;
inline constexpr uint8_t kFontDescriptorPacketAlt = 0x55;
// A packet holding text in the document-area code set (notes, ...).
inline constexpr uint8_t kTextPacket = 0x08;

struct TWPDHeaderPacket {
    uint16_t PID = 0;             // entry number in the index, from 1
    uint8_t PacketType = 0;
    uint32_t PacketPosition = 0;  // the entry's DataPointer
    bool HasChildren = false;
};

// A font descriptor packet: metrics, family and the font's name (UTF-16).
struct TWPDFontDescriptor {
    uint16_t PacketID = 0;
    uint16_t CharacterWidth = 0;
    uint16_t AscenderHeight = 0;
    uint16_t xHeight = 0;
    uint16_t DescenderHeight = 0;
    uint16_t ItalicsAdjust = 0;
    uint8_t PrimaryFamilyId = 0;
    uint8_t PrimaryFamilyMemberId = 0;
    uint8_t ScriptingSystem = 0;
    uint8_t PrimaryCharacterSet = 0;
    uint8_t Width = 0;
    uint8_t Weight = 0;
    uint8_t Attributes = 0;
    uint8_t GeneralCharacteristics = 0;
    uint8_t Classification = 0;
    uint8_t FillByte = 0;
    uint8_t FontType = 0;
    uint8_t FontSourceFileType = 0;
    std::u16string FontName;
};
// The fixed part before the 16-bit name length.
inline constexpr size_t kWPDFontDescriptorFixedSize = 22;

using THeaderPacketList = std::vector<std::unique_ptr<TWPDHeaderPacket>>;
using TWPDFontDescriptorList = std::vector<std::unique_ptr<TWPDFontDescriptor>>;

// Document-area codes of WordPerfect 6 and later.
namespace wp6 {
inline constexpr uint8_t SoftSpace = 0x80;
inline constexpr uint8_t HardSpace = 0x81;
inline constexpr uint8_t SoftHyphen = 0x82;
inline constexpr uint8_t SoftHyphenEol = 0x83;
inline constexpr uint8_t HardHyphen = 0x84;
inline constexpr uint8_t DormantHardReturn = 0x87;
inline constexpr uint8_t HardEol = 0xCC;
inline constexpr uint8_t SoftEol = 0xCF;
inline constexpr uint8_t EolGroup = 0xD0;
inline constexpr uint8_t ColumnGroup = 0xD2;     // paragraph indents
inline constexpr uint8_t ParagraphGroup = 0xD3;  // justification ...
inline constexpr uint8_t CharacterGroup = 0xD4;  // font change ...
inline constexpr uint8_t NoteGroup = 0xD7;      // footnote / endnote
inline constexpr uint8_t BoxGroup = 0xDB;
inline constexpr uint8_t TableGroup = 0xDC;
inline constexpr uint8_t StyleGroup = 0xDF;      // carries a count of packet ids
inline constexpr uint8_t TabGroup = 0xE0;
inline constexpr uint8_t ExtendedCharacter = 0xF0;
inline constexpr uint8_t UndoGroup = 0xF1;
inline constexpr uint8_t AttributeOn = 0xF2;
inline constexpr uint8_t AttributeOff = 0xF3;
// A variable-length group: code, subfunction, 16-bit size, flags.
inline constexpr size_t GroupHeaderSize = 5;
}  // namespace wp6

// Document-area codes of WordPerfect 5.x.
namespace wp5 {
inline constexpr uint8_t Tab = 0x09;
inline constexpr uint8_t HardReturn = 0x0A;
inline constexpr uint8_t SoftPage = 0x0B;
inline constexpr uint8_t HardPage = 0x0C;
inline constexpr uint8_t SoftReturn = 0x0D;
inline constexpr uint8_t Space = 0x20;
inline constexpr uint8_t HardReturnSoftPage = 0x8C;
inline constexpr uint8_t DeletableReturn = 0x90;
inline constexpr uint8_t DormantHardReturn = 0x99;
inline constexpr uint8_t HardSpace = 0xA0;
inline constexpr uint8_t ExtendedCharacter = 0xC0;
inline constexpr uint8_t TabAlign = 0xC1;
inline constexpr uint8_t Indent = 0xC2;
inline constexpr uint8_t AttributeOn = 0xC3;
inline constexpr uint8_t AttributeOff = 0xC4;
inline constexpr uint8_t FirstFixed = 0xC0;
inline constexpr uint8_t FirstVariable = 0xD0;
// Sizes of the fixed-length functions 0xC0..0xCF, both code bytes included.
inline constexpr uint8_t FixedLength[16] = {4, 9, 11, 3, 3, 5, 6, 7, 4, 5, 6, 6, 8, 10, 10, 12};
// A variable-length function: code, subfunction, 16-bit length of what follows.
inline constexpr size_t GroupHeaderSize = 4;
}  // namespace wp5

}  // namespace quillmark
