// Where documents keep their VBA project: a storage of a compound file, the
// "vbaProject.bin" part of a zip package, or a compressed compound file inside
// a PowerPoint presentation's record stream.
#include <optional>

#include "quillmark/framework/byte_reader.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "quillmark/package/raw_inflate.h"
#include "quillmark/package/zip_archive.h"
#include "quillmark/word/vba_project.h"

namespace quillmark {

namespace {

constexpr std::string_view kVbaPartName = "vbaProject.bin";

// PowerPoint records: a 2-byte version/instance word (version 0xF marks a
// container whose body is more records), a 2-byte type and a 4-byte length.
constexpr uint16_t kPptContainerVersion = 0xF;
// An OLE object stored as a compound file; instance 1 means zlib-compressed
// after a 4-byte decompressed size. The VBA project is one of them.
constexpr uint16_t kPptExOleObjStg = 0x1011;

bool EndsWithIgnoringCase(std::string_view s, std::string_view suffix) {
    if (s.size() < suffix.size()) return false;
    s = s.substr(s.size() - suffix.size());
    for (size_t i = 0; i < suffix.size(); ++i) {
        char a = s[i], b = suffix[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a + 32);
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b + 32);
        if (a != b) return false;
    }
    return true;
}

// The zip member that holds the project: "word/vbaProject.bin",
// "xl/vbaProject.bin", "ppt/vbaProject.bin" (the first one, by name).
int FindVbaPart(const TZipArchive& zip) {
    for (int i = 0; i < zip.Count(); ++i) {
        const std::string& name = zip.Files()[i].DisplayName();
        if (EndsWithIgnoringCase(name, kVbaPartName) &&
            (name.size() == kVbaPartName.size() || name[name.size() - kVbaPartName.size() - 1] == '/'))
            return i;
    }
    return -1;
}

// The compressed compound files a PowerPoint record stream embeds whose
// root is a VBA project storage; calls `found` with each decompressed file
// until it returns true. The walk steps into containers instead of recursing,
// so it is linear and needs no depth limit.
bool ForEachPptVbaStorage(std::string_view stream, const std::function<bool(std::string)>& found) {
    ByteReader r(stream);
    while (r.remaining() >= 8) {
        const uint16_t verInstance = r.u16le();
        const uint16_t type = r.u16le();
        const uint32_t length = r.u32le();
        if ((verInstance & 0xF) == kPptContainerVersion) continue;  // its children follow
        if (!r.can_read(length)) break;
        std::string_view body = r.bytes(length);
        if (type != kPptExOleObjStg) continue;
        std::string file;
        if ((verInstance >> 4) == 1) {
            // A zlib stream: skip its 2-byte header (no preset dictionary).
            if (body.size() < 6) continue;
            const uint32_t declared = ByteReader(body).u32le();
            const uint8_t cmf = static_cast<uint8_t>(body[4]), flg = static_cast<uint8_t>(body[5]);
            if ((cmf & 0x0F) != 8 || ((cmf << 8) | flg) % 31 != 0 || (flg & 0x20)) continue;
            size_t limit = declared < MaxOutputBytes() ? declared : MaxOutputBytes();
            try {
                file = InflateRaw(body.substr(6), limit, "PowerPoint OLE object");
            } catch (const Exception&) {
                continue;  // another object may hold the project
            }
        } else {
            file = std::string(body);
        }
        if (!TCompoundFile::IsCompoundFile(file)) continue;
        if (found(std::move(file))) return true;
    }
    return false;
}

// Calls `read` with the project storage of the document, if it has one.
bool WithProjectStorage(std::string_view bytes, const std::function<void(const TCompoundStorage&)>& read) {
    if (TCompoundFile::IsCompoundFile(bytes)) {
        auto file = TCompoundFile::Open(std::string(bytes));
        TCompoundStorage root = file->Root();
        TCompoundStorage project = FindVBAProjectStorage(root);
        if (project.IsValid()) {
            read(project);
            return true;
        }
        if (!root.HasStream(u"PowerPoint Document")) return false;
        return ForEachPptVbaStorage(root.ReadStream(u"PowerPoint Document"), [&](std::string bin) {
            std::unique_ptr<TCompoundFile> inner;
            try {
                inner = TCompoundFile::Open(std::move(bin));
            } catch (const Exception&) {
                return false;
            }
            if (!inner->Root().HasStorage(u"VBA")) return false;
            read(inner->Root());
            return true;
        });
    }
    if (IsZipArchiveData(bytes)) {
        TZipArchive zip;
        zip.LoadFromBytes(std::string(bytes));
        int index = FindVbaPart(zip);
        if (index < 0) return false;
        auto file = TCompoundFile::Open(zip.GetUncompressed(index));
        TCompoundStorage project = FindVBAProjectStorage(file->Root());
        if (!project.IsValid()) return false;
        read(project);
        return true;
    }
    return false;
}

}  // namespace

bool ReadDocumentVBAProject(std::string_view bytes, TVBAProject& project) {
    project = TVBAProject();
    return WithProjectStorage(bytes, [&](const TCompoundStorage& s) { ReadVBAProject(s, project); });
}

bool HasVBAProject(std::string_view bytes) {
    try {
        return WithProjectStorage(bytes, [](const TCompoundStorage&) {});
    } catch (const Exception&) {
        return false;
    }
}

}  // namespace quillmark
