#include "support/vba_builder.h"

namespace quillmark::test {

namespace {

void Put16(std::string& s, uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
}

void Put32(std::string& s, uint32_t v) {
    Put16(s, static_cast<uint16_t>(v & 0xFFFF));
    Put16(s, static_cast<uint16_t>(v >> 16));
}

std::string Utf16Bytes(std::u16string_view text) {
    std::string s;
    for (char16_t c : text) Put16(s, c);
    return s;
}

// Length bits of a copy token at position p of a chunk, as the format's
// table gives them.
unsigned LengthBits(size_t p) {
    if (p <= 16) return 12;
    if (p <= 32) return 11;
    if (p <= 64) return 10;
    if (p <= 128) return 9;
    if (p <= 256) return 8;
    if (p <= 512) return 7;
    if (p <= 1024) return 6;
    if (p <= 2048) return 5;
    return 4;
}

std::string CompressChunkBody(std::string_view chunk) {
    std::string out;
    size_t pos = 0;
    while (pos < chunk.size()) {
        size_t flagAt = out.size();
        out += '\0';
        uint8_t flags = 0;
        for (int bit = 0; bit < 8 && pos < chunk.size(); ++bit) {
            unsigned lengthBits = LengthBits(pos);
            size_t maxLength = (size_t{1} << lengthBits) + 2;
            size_t maxOffset = size_t{1} << (16 - lengthBits);
            size_t bestLength = 0, bestOffset = 0;
            for (size_t offset = 1; offset <= pos && offset <= maxOffset; ++offset) {
                size_t n = 0;
                while (pos + n < chunk.size() && n < maxLength && chunk[pos + n] == chunk[pos - offset + n]) ++n;
                if (n > bestLength) bestLength = n, bestOffset = offset;
            }
            if (bestLength >= 3) {
                flags |= static_cast<uint8_t>(1u << bit);
                Put16(out, static_cast<uint16_t>((bestOffset - 1) << lengthBits | (bestLength - 3)));
                pos += bestLength;
            } else {
                out += chunk[pos++];
            }
        }
        out[flagAt] = static_cast<char>(flags);
    }
    return out;
}

void PutRecord(std::string& s, uint16_t id, std::string_view data) {
    Put16(s, id);
    Put32(s, static_cast<uint32_t>(data.size()));
    s += data;
}

void PutU32Record(std::string& s, uint16_t id, uint32_t v) {
    std::string d;
    Put32(d, v);
    PutRecord(s, id, d);
}

}  // namespace

std::string StoredChunk(std::string_view data4096) {
    std::string s;
    Put16(s, 0x3FFF);  // size 4098, signature 0b011, not compressed
    s += data4096;
    return s;
}

std::string LiteralChunk(std::string_view data) {
    std::string body;
    for (size_t i = 0; i < data.size(); i += 8) {
        body += '\0';
        body += data.substr(i, 8);
    }
    std::string s;
    Put16(s, static_cast<uint16_t>(0xB000 | (body.size() + 2 - 3)));
    return s + body;
}

std::string CompressVBA(std::string_view data) {
    std::string out(1, '\x01');
    for (size_t at = 0; at < data.size(); at += 4096) {
        std::string_view chunk = data.substr(at, 4096);
        std::string body = CompressChunkBody(chunk);
        if (chunk.size() == 4096 && body.size() + 2 > 4098) {
            out += StoredChunk(chunk);
            continue;
        }
        Put16(out, static_cast<uint16_t>(0xB000 | (body.size() + 2 - 3)));
        out += body;
    }
    return out;
}

std::string VbaDirBuilder::Build() const {
    std::string s;
    PutU32Record(s, 0x0001, 1);         // system kind: 32-bit Windows
    PutU32Record(s, 0x0002, 0x0409);    // LCID
    PutU32Record(s, 0x0014, 0x0409);    // LCID used to invoke
    std::string cp;
    Put16(cp, codePage);
    PutRecord(s, 0x0003, cp);
    PutRecord(s, 0x0004, "Project");
    PutRecord(s, 0x0005, "");
    PutRecord(s, 0x0040, "");
    PutRecord(s, 0x0006, "");
    PutRecord(s, 0x003D, "");
    PutU32Record(s, 0x0007, 0);
    PutU32Record(s, 0x0008, 0);
    // Version: the size field says 4, six bytes follow.
    Put16(s, 0x0009);
    Put32(s, 4);
    Put32(s, 0x5A3B1F2C);
    Put16(s, 17);
    PutRecord(s, 0x000C, "");
    PutRecord(s, 0x003C, "");
    // One registered reference.
    PutRecord(s, 0x0016, "stdole");
    PutRecord(s, 0x003E, Utf16Bytes(u"stdole"));
    std::string libid = "*\\G{00020430-0000-0000-C000-000000000046}#2.0#0#stdole2.tlb#OLE Automation";
    std::string registered;
    Put32(registered, static_cast<uint32_t>(libid.size()));
    registered += libid + std::string(6, '\0');
    PutRecord(s, 0x000D, registered);
    std::string count;
    Put16(count, static_cast<uint16_t>(modules.size()));
    PutRecord(s, 0x000F, count);
    PutRecord(s, 0x0013, "\xFF\xFF");
    for (const VbaDirModule& m : modules) {
        PutRecord(s, 0x0019, m.name);
        if (!m.unicodeName.empty()) PutRecord(s, 0x0047, Utf16Bytes(m.unicodeName));
        PutRecord(s, 0x001A, m.streamName);
        PutRecord(s, 0x0032, Utf16Bytes(m.unicodeStreamName));
        PutRecord(s, 0x001C, "");
        PutRecord(s, 0x0048, "");
        PutU32Record(s, 0x0031, m.offset);
        PutU32Record(s, 0x001E, 0);
        PutRecord(s, 0x002C, "\xFF\xFF");
        PutRecord(s, 0x0021, "");
        PutRecord(s, 0x002B, "");
    }
    PutRecord(s, 0x0010, "");
    Put32(s, 0);  // reserved after the terminator
    return s;
}

std::string VbaProjectTable(const std::vector<std::u16string>& references,
                            const std::vector<VbaProjectTableModule>& modules) {
    std::string s(34, '\x11');
    for (const std::u16string& r : references) {
        Put16(s, static_cast<uint16_t>(r.size() * 2));
        s += Utf16Bytes(r);
        std::u16string_view head = std::u16string_view(r).substr(0, 3);
        if (head == u"*\\G" || head == u"*\\H") s += std::string(12, '\x22');
    }
    // The 132 bytes start with the 2-byte length below 6 that ends the references.
    s += std::string(132, '\0');
    Put16(s, static_cast<uint16_t>(modules.size()));
    for (const VbaProjectTableModule& m : modules) {
        Put16(s, static_cast<uint16_t>(m.name.size() * 2));
        s += Utf16Bytes(m.name);
        Put16(s, static_cast<uint16_t>(m.id.size() * 2));
        s += Utf16Bytes(m.id);
        Put16(s, 3);                    // W: W + 2 bytes follow
        s += std::string(5, '\x33');
        s += std::string(8, '\x44');
        s += '\x02';                    // C: C * 8 + 6 bytes follow
        s += std::string(22, '\x55');
        Put32(s, m.offset);
        s += std::string(2, '\x66');
    }
    return s;
}

std::string ModuleStream(std::string_view source, size_t cacheBytes) {
    return std::string(cacheBytes, '\x7E') + CompressVBA(source);
}

}  // namespace quillmark::test
