#include "quillmark/readers/wri_records.h"

#include "quillmark/framework/byte_reader.h"

namespace quillmark {

TWRIHeader ParseWRIHeader(std::string_view data) {
    // A short file reads as zeros here; the checks on fcMac and the run pages
    // then reject it with a clear message.
    std::string padded(data.substr(0, kWRIHeaderSize));
    padded.resize(kWRIHeaderSize, '\0');
    ByteReader r(padded);
    TWRIHeader h;
    h.wIdent = r.u16le();
    h.dty = r.u16le();
    h.wTool = r.u16le();
    h.Reserved1 = r.u16le();
    h.Reserved2 = r.u16le();
    h.Reserved3 = r.u16le();
    h.Reserved4 = r.u16le();
    h.fcMac = r.u32le();
    h.pnPara = r.u16le();
    h.pnFntb = r.u16le();
    h.pnSep = r.u16le();
    h.pnSetb = r.u16le();
    h.pnPgtb = r.u16le();
    h.pnFfntb = r.u16le();
    h.szSsht = std::string(r.bytes(66));
    h.pnMac = r.u16le();
    return h;
}

TWRIRunPage ParseWRIRunPage(std::string_view page) {
    ByteReader r(page);
    TWRIRunPage p;
    p.fcFirst = r.at_u32le(0);
    size_t count = r.at_u8(kWRIRunCountByte);
    if (count > kWRIMaxRunEntries) count = kWRIMaxRunEntries;
    p.Count = static_cast<uint8_t>(count);
    for (size_t i = 0; i < count; ++i) {
        size_t at = 4 + i * kWRIRunEntrySize;
        p.Entries[i].fcLim = r.at_u32le(at);
        p.Entries[i].bfprop = r.at_u16le(at + 4);
    }
    return p;
}

std::string_view WRIPropertyBlock(std::string_view page, uint16_t bfprop) {
    if (bfprop == kWRINoProperties || page.size() < kWRIPageSize) return {};
    size_t lengthAt = size_t{4} + bfprop;
    if (lengthAt >= kWRIRunCountByte) return {};
    size_t length = static_cast<uint8_t>(page[lengthAt]);
    size_t room = kWRIRunCountByte - (lengthAt + 1);
    if (length > room) length = room;
    return page.substr(lengthAt + 1, length);
}

namespace {

// Byte k of a property block counting the length byte as byte 0, or
// nothing when the block is shorter (the property keeps its default).
bool BlockByte(std::string_view block, size_t k, uint8_t& value) {
    if (k == 0 || k > block.size()) return false;
    value = static_cast<uint8_t>(block[k - 1]);
    return true;
}

}  // namespace

TWRICharProps DecodeWRICharProps(std::string_view block) {
    TWRICharProps c;
    uint8_t b = 0;
    if (BlockByte(block, 2, b)) {
        c.Bold = (b & 0x01) != 0;
        c.Italic = (b & 0x02) != 0;
        c.FontIndex = static_cast<uint16_t>(b >> 2);
    }
    if (BlockByte(block, 3, b)) c.HalfPoints = b;
    if (BlockByte(block, 4, b)) c.Underline = (b & 0x01) != 0;
    if (BlockByte(block, 5, b)) c.FontIndex = static_cast<uint16_t>(c.FontIndex | ((b & 0x03) << 6));
    if (BlockByte(block, 6, b)) c.Position = b;
    return c;
}

TWRIParaProps DecodeWRIParaProps(std::string_view block) {
    TWRIParaProps p;
    uint8_t b = 0;
    if (BlockByte(block, 17, b)) {
        p.Picture = (b & 0x10) != 0;
        p.RunningHeadFoot = (b & 0x06) != 0;
        p.Foot = (b & 0x01) != 0;
    }
    return p;
}

bool IsWRIPictureHeader(std::string_view bytes) {
    if (bytes.size() < 2) return false;
    unsigned mm = static_cast<uint8_t>(bytes[0]) | (static_cast<unsigned>(static_cast<uint8_t>(bytes[1])) << 8);
    return (mm >= 1 && mm <= 8) || mm == 0xE3 || mm == 0xE4;
}

}  // namespace quillmark
