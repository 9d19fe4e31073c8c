#include "quillmark/framework/property_set.h"

#include <unordered_set>
#include <vector>

#include "quillmark/framework/byte_reader.h"
#include "quillmark/framework/exception.h"

namespace quillmark {

namespace {

// Property-set stream: a 28-byte header, then (format id, offset) pairs of
// the sections; the first section's offset is at byte 44. A section starts
// with its size and property count, then (id, offset) pairs, offsets being
// relative to the section's start; each value starts with a 32-bit type.
constexpr size_t kFirstSectionOffsetPos = 44;
constexpr uint32_t kCodePagePropId = 1;

}  // namespace

void ReadPropertySet(std::string_view stream, bool isDocSummary, TDTWordSummaryInformation& info) {
    ByteReader all(stream);
    if (!all.in_range(kFirstSectionOffsetPos, 4)) return;
    size_t start = all.at_u32le(kFirstSectionOffsetPos);
    if (!all.in_range(start, 8)) return;
    // Values may not leave the section (nor the stream, when the section's
    // declared size is larger than what is there).
    size_t sectionSize = all.at_u32le(start);
    if (sectionSize < 8 || sectionSize > stream.size() - start) sectionSize = stream.size() - start;
    ByteReader section = all.sub(start, sectionSize);
    uint32_t count = section.at_u32le(4);
    size_t maxEntries = (section.size() - 8) / 8;
    if (count > maxEntries) count = static_cast<uint32_t>(maxEntries);

    int codePage = CP_ACP;
    for (uint32_t k = 0; k < count; ++k) {
        if (section.at_u32le(8 + 8 * k) != kCodePagePropId) continue;
        size_t off = section.at_u32le(12 + 8 * k);
        if (section.in_range(off, 8) && section.at_u32le(off) == VT_I2) {
            // Read unsigned: 65001 does not fit an I2. Pages the code-page
            // layer lacks decode as the ANSI code page.
            codePage = section.at_u16le(off + 4);
        }
    }

    // A property id written more than once is read once, from its last
    // well-formed entry (the one that would have won anyway). Reading every
    // copy let a small stream whose entries all point at one long string
    // decode that string once per entry.
    struct TEntry {
        uint32_t id, type;
        std::string_view value;
    };
    std::vector<TEntry> entries;
    std::unordered_set<uint32_t> seen;
    for (uint32_t k = count; k-- > 0;) {
        uint32_t id = section.at_u32le(8 + 8 * k);
        if (seen.count(id)) continue;
        size_t off = section.at_u32le(12 + 8 * k);
        if (!section.in_range(off, 4)) continue;
        uint32_t type = section.at_u32le(off);
        size_t pos = off + 4;
        std::string_view value;
        if (type == VT_I4) {
            if (!section.in_range(pos, 4)) continue;
            value = section.data().substr(pos, 4);
        } else if (type == VT_FILETIME) {
            if (!section.in_range(pos, 8)) continue;
            value = section.data().substr(pos, 8);
        } else if (type == VT_LPSTR || type == VT_LPWSTR) {
            if (!section.in_range(pos, 4)) continue;
            uint64_t n = section.at_u32le(pos);
            if (type == VT_LPWSTR) n *= 2;  // the count is of UTF-16 units
            if (n > section.size() - pos - 4) continue;
            value = section.data().substr(pos + 4, static_cast<size_t>(n));
        } else {
            continue;
        }
        seen.insert(id);
        entries.push_back({id, type, value});
    }
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        info.ParseProperty(it->id, it->value, isDocSummary, static_cast<uint16_t>(it->type), codePage);
}

void ReadSummaryInformation(const TCompoundStorage& storage, TDTWordSummaryInformation& info) {
    for (const TStorageElement& e : storage.Elements()) {
        if (e.Type != TStorageElementType::Stream || e.Name.empty()) continue;
        std::u16string_view rest = std::u16string_view(e.Name).substr(1);
        bool isDoc = rest == u"DocumentSummaryInformation";
        if (!isDoc && rest != u"SummaryInformation") continue;
        std::string bytes;
        try {
            bytes = storage.ReadStream(e.Name);
        } catch (const Exception&) {
            continue;  // an unreadable stream only loses its metadata
        }
        ReadPropertySet(bytes, isDoc, info);
    }
}

}  // namespace quillmark
