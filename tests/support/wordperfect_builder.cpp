#include "support/wordperfect_builder.h"

namespace quillmark::test {

std::string Le16(uint16_t v) {
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

namespace {

std::string Le32(uint32_t v) { return Le16(static_cast<uint16_t>(v)) + Le16(static_cast<uint16_t>(v >> 16)); }

void Put16(std::string& s, size_t at, uint16_t v) { s.replace(at, 2, Le16(v)); }
void Put32(std::string& s, size_t at, uint32_t v) { s.replace(at, 4, Le32(v)); }

// A font descriptor packet: metrics and family bytes, then the name.
std::string FontPacket(const std::u16string& name) {
    std::string p(22, '\0');
    std::string bytes;
    for (char16_t c : name) bytes += Le16(static_cast<uint16_t>(c));
    bytes += Le16(0);
    return p + Le16(static_cast<uint16_t>(bytes.size())) + bytes;
}

}  // namespace

WordPerfectBuilder& WordPerfectBuilder::Group6(uint8_t code, uint8_t subfunction, const std::string& data) {
    const auto size = static_cast<uint16_t>(1 + 1 + 2 + 1 + data.size() + 2 + 1);
    body.push_back(static_cast<char>(code));
    body.push_back(static_cast<char>(subfunction));
    body += Le16(size);
    body.push_back('\0');
    body += data;
    body += Le16(size);
    body.push_back(static_cast<char>(code));
    return *this;
}

WordPerfectBuilder& WordPerfectBuilder::Group5(uint8_t code, uint8_t subfunction, const std::string& data) {
    const auto length = static_cast<uint16_t>(data.size() + 4);
    body.push_back(static_cast<char>(code));
    body.push_back(static_cast<char>(subfunction));
    body += Le16(length);
    body += data;
    body += Le16(length);
    body.push_back(static_cast<char>(subfunction));
    body.push_back(static_cast<char>(code));
    return *this;
}

WordPerfectBuilder& WordPerfectBuilder::Extended(uint8_t character, uint8_t set) {
    const char code = static_cast<char>(version5 ? 0xC0 : 0xF0);
    body += std::string{code, static_cast<char>(character), static_cast<char>(set), code};
    return *this;
}

WordPerfectBuilder& WordPerfectBuilder::AttributeOn(uint8_t attribute) {
    const char code = static_cast<char>(version5 ? 0xC3 : 0xF2);
    body += std::string{code, static_cast<char>(attribute), code};
    return *this;
}

WordPerfectBuilder& WordPerfectBuilder::AttributeOff(uint8_t attribute) {
    const char code = static_cast<char>(version5 ? 0xC4 : 0xF3);
    body += std::string{code, static_cast<char>(attribute), code};
    return *this;
}

WordPerfectBuilder& WordPerfectBuilder::Undo(uint8_t type) {
    body += std::string{'\xF1', static_cast<char>(type), '\0', '\0', '\xF1'};
    return *this;
}

WordPerfectBuilder& WordPerfectBuilder::Note(uint8_t subfunction, uint16_t packetId) {
    // flags 0x80: a packet-id list (count, ids) starts the group's data.
    const uint16_t size = 5 + 1 + 2 + 2 + 1;
    body += std::string{'\xD7', static_cast<char>(subfunction)} + Le16(size) + "\x80" + "\x01" +
            Le16(packetId) + Le16(size) + "\xD7";
    return *this;
}

WordPerfectBuilder& WordPerfectBuilder::HardReturn() { return Byte(version5 ? 0x0A : 0xCC); }

std::string WordPerfectBuilder::Build() const {
    std::string out = "\xFFWPC";
    out += std::string(20, '\0');
    out[8] = 1;                           // WordPerfect
    out[9] = 10;                          // document
    out[10] = version5 ? 0 : 2;           // major version
    out[11] = 1;
    Put16(out, 12, encryption);
    if (version5) out.resize(16);         // 5.x prefix packets would start here

    size_t indexPos = 0;
    if (!version5 && (withIndex || !fonts.empty() || !textPackets.empty())) {
        indexPos = out.size();
        const size_t entries = 1 + fonts.size() + textPackets.size();
        std::string index(14 * entries, '\0');
        Put16(index, 2, static_cast<uint16_t>(indexCount >= 0 ? indexCount : static_cast<int32_t>(entries)));
        out += index;
        for (size_t i = 0; i < fonts.size(); ++i) {
            std::string packet = FontPacket(fonts[i].name);
            const size_t entry = indexPos + 14 * (i + 1);
            out[entry + 1] = static_cast<char>(fonts[i].packetType);
            Put32(out, entry + 6, static_cast<uint32_t>(packet.size()));
            Put32(out, entry + 10, static_cast<uint32_t>(out.size()));
            out += packet;
        }
        for (size_t i = 0; i < textPackets.size(); ++i) {
            // One block: its offset in the packet and its length.
            std::string packet = Le16(1) + Le32(10) + Le32(static_cast<uint32_t>(textPackets[i].size())) + textPackets[i];
            const size_t entry = indexPos + 14 * (1 + fonts.size() + i);
            out[entry + 1] = 0x08;
            Put32(out, entry + 6, static_cast<uint32_t>(packet.size()));
            Put32(out, entry + 10, static_cast<uint32_t>(out.size()));
            out += packet;
        }
    }
    const size_t docPos = out.size();
    out += body;
    Put32(out, 4, static_cast<uint32_t>(documentPointer >= 0 ? documentPointer : static_cast<int64_t>(docPos)));
    if (!version5) {
        Put16(out, 14, static_cast<uint16_t>(indexPosition >= 0 ? indexPosition : static_cast<int64_t>(indexPos)));
        Put32(out, 16, 5);
        Put32(out, 20, static_cast<uint32_t>(documentEnd >= 0 ? documentEnd : static_cast<int64_t>(out.size())));
    }
    return out;
}

}  // namespace quillmark::test
