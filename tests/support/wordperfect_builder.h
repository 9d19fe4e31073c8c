// Builds small WordPerfect documents for the reader's tests: a file header,
// an optional packet index with font descriptors (6.x), and a document area
// written code by code, for both the 6.x and the 5.x code sets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillmark::test {

struct WpFontPacket {
    std::u16string name;
    uint8_t packetType = 0x55;
};

struct WordPerfectBuilder {
    bool version5 = false;
    std::string body;                 // the document area
    std::vector<WpFontPacket> fonts;  // 6.x: packets listed in the index
    // 6.x: text packets (the text of notes), listed after the fonts: packet
    // id = 1 + fonts.size() + position.
    std::vector<std::string> textPackets;
    uint16_t encryption = 0;          // non-zero marks the file password protected
    bool withIndex = false;           // 6.x: write an index (also when no fonts)
    // Overrides applied to the header after layout (-1: computed value).
    int64_t documentPointer = -1;
    int64_t documentEnd = -1;
    int64_t indexPosition = -1;
    int32_t indexCount = -1;          // the count written in the index header

    std::string Build() const;

    // --- document-area pieces ---
    WordPerfectBuilder& Text(const std::string& ascii) { body += ascii; return *this; }
    WordPerfectBuilder& Byte(uint8_t b) { body.push_back(static_cast<char>(b)); return *this; }
    // 6.x variable-length group: code, subfunction, size, flags, data, size, code.
    WordPerfectBuilder& Group6(uint8_t code, uint8_t subfunction, const std::string& data = {});
    // 5.x variable-length group: code, subfunction, length, data, length, subfunction, code.
    WordPerfectBuilder& Group5(uint8_t code, uint8_t subfunction, const std::string& data = {});
    // Extended character in the file's code set (0xF0 or 0xC0 on both sides).
    WordPerfectBuilder& Extended(uint8_t character, uint8_t set);
    WordPerfectBuilder& AttributeOn(uint8_t attribute);
    WordPerfectBuilder& AttributeOff(uint8_t attribute);
    // 6.x undo region boundary (type 0 opens, 1 closes).
    WordPerfectBuilder& Undo(uint8_t type);
    WordPerfectBuilder& HardReturn();
    // 6.x footnote (subfunction 0) or endnote (1) group naming a packet.
    WordPerfectBuilder& Note(uint8_t subfunction, uint16_t packetId);
};

// Little-endian bytes of a 16-bit value.
std::string Le16(uint16_t v);

}  // namespace quillmark::test
