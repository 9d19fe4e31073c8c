#include "support/zip_builder.h"

#include <zlib.h>

#include <stdexcept>

namespace quillmark::test {

namespace {

void Put16(std::string& s, uint32_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}
void Put64(std::string& s, uint64_t v) {
    Put32(s, static_cast<uint32_t>(v));
    Put32(s, static_cast<uint32_t>(v >> 32));
}

}  // namespace

std::string RawDeflate(std::string_view data) {
    z_stream zs{};
    if (deflateInit2(&zs, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&zs, data.size()), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    if (deflate(&zs, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

std::string ZipBuilder::Build() const {
    std::string out = prefix;
    std::string central;
    for (const ZipMember& m : members) {
        std::string stored = m.method == 8 ? RawDeflate(m.data) : m.data;
        uint32_t crc = m.crc ? *m.crc
                             : static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(m.data.data()),
                                                           static_cast<uInt>(m.data.size())));
        uint64_t usize = m.uncompressedSize ? *m.uncompressedSize : m.data.size();
        uint64_t csize = stored.size();
        uint16_t flags = m.flags | (m.dataDescriptor ? 0x0008 : 0);
        uint64_t offset = out.size() - prefix.size();

        std::string localExtra;
        if (m.zip64) {
            Put16(localExtra, 1);
            Put16(localExtra, 16);
            Put64(localExtra, m.dataDescriptor ? 0 : usize);
            Put64(localExtra, m.dataDescriptor ? 0 : csize);
        }
        Put32(out, 0x04034B50);
        Put16(out, m.version);
        Put16(out, flags);
        Put16(out, m.method);
        Put32(out, 0x21);  // 1980-01-01 00:00
        Put32(out, m.dataDescriptor ? 0 : crc);
        Put32(out, m.dataDescriptor ? 0 : m.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(csize));
        Put32(out, m.dataDescriptor ? 0 : m.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(usize));
        Put16(out, static_cast<uint32_t>(m.name.size()));
        Put16(out, static_cast<uint32_t>(localExtra.size()));
        out += m.name;
        out += localExtra;
        out += stored;
        if (m.dataDescriptor) {
            Put32(out, 0x08074B50);
            Put32(out, crc);
            Put32(out, static_cast<uint32_t>(csize));
            Put32(out, static_cast<uint32_t>(usize));
        }

        std::string centralExtra;
        if (m.zip64) {
            Put16(centralExtra, 1);
            Put16(centralExtra, 24);
            Put64(centralExtra, usize);
            Put64(centralExtra, csize);
            Put64(centralExtra, offset);
        }
        Put32(central, m.centralSignature ? *m.centralSignature : 0x02014B50);
        Put16(central, 0x031E);
        Put16(central, m.version);
        Put16(central, flags);
        Put16(central, m.method);
        Put32(central, 0x21);
        Put32(central, crc);
        Put32(central, m.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(csize));
        Put32(central, m.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(usize));
        Put16(central, static_cast<uint32_t>(m.name.size()));
        Put16(central, static_cast<uint32_t>(centralExtra.size()));
        Put16(central, 0);  // comment length
        Put16(central, 0);  // disk
        Put16(central, 0);  // internal attributes
        Put32(central, 0);  // external attributes
        Put32(central, m.localOffset ? *m.localOffset : m.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(offset));
        central += m.name;
        central += centralExtra;
    }
    uint64_t centralOffset = out.size() - prefix.size();
    uint64_t entries = declaredEntries ? *declaredEntries : members.size();
    out += central;
    if (zip64End) {
        uint64_t recordOffset = out.size() - prefix.size();
        Put32(out, 0x06064B50);
        Put64(out, 44);
        Put16(out, 45);
        Put16(out, 45);
        Put32(out, 0);
        Put32(out, 0);
        Put64(out, entries);
        Put64(out, entries);
        Put64(out, central.size());
        Put64(out, centralOffset);
        Put32(out, 0x07064B50);
        Put32(out, 0);
        Put64(out, recordOffset);
        Put32(out, 1);
    }
    Put32(out, 0x06054B50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, zip64End ? 0xFFFF : static_cast<uint32_t>(entries & 0xFFFF));
    Put16(out, zip64End ? 0xFFFF : static_cast<uint32_t>(entries & 0xFFFF));
    Put32(out, zip64End ? 0xFFFFFFFF : static_cast<uint32_t>(central.size()));
    Put32(out, zip64End ? 0xFFFFFFFF : static_cast<uint32_t>(centralOffset));
    Put16(out, static_cast<uint32_t>(comment.size()));
    out += comment;
    return out;
}

std::string DocxOfDocument(std::string documentXml) {
    ZipBuilder z;
    z.Add("[Content_Types].xml",
          "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/"
          "content-types\"><Override PartName=\"/word/document.xml\" ContentType=\"application/"
          "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>");
    z.Add("word/document.xml", std::move(documentXml));
    return z.Build();
}

}  // namespace quillmark::test
