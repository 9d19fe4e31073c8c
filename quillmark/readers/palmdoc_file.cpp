#include "quillmark/readers/palmdoc_file.h"

#include "quillmark/framework/byte_reader.h"
#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/readers/palmdoc_compression.h"

namespace quillmark {

namespace {

TPDBHeader ParseHeader(std::string_view data) {
    // A short header is not itself an error: missing bytes read as zero, and
    // the type check below then rejects the file.
    std::string padded(data.substr(0, kPDBHeaderSize));
    padded.resize(kPDBHeaderSize, '\0');
    ByteReader r(padded);
    TPDBHeader h;
    h.Name = std::string(r.bytes(32));
    h.Attributes = r.u16be();
    h.Version = r.u16be();
    h.CreateTime = r.u32be();
    h.ModifyTime = r.u32be();
    h.BackupTime = r.u32be();
    h.ModificationNumber = r.u32be();
    h.AppInfoIDc = r.u32be();
    h.SortInfoID = r.u32be();
    h.PDBType = std::string(r.bytes(4));
    h.Creator = std::string(r.bytes(4));
    h.IDSeed = r.u32be();
    h.NextRecordList = r.u32be();
    h.NumRecords = r.u16be();
    return h;
}

// The file offset of record i, or nothing when its list entry is missing.
bool RecordOffset(const ByteReader& r, size_t i, uint32_t& offset) {
    size_t entry = kPDBHeaderSize + kPDBRecordEntrySize * i;
    if (!r.in_range(entry, 4)) return false;
    offset = r.at_u32be(entry);
    return true;
}

}  // namespace

bool TPalmDocFile::IsPalmDocData(std::string_view bytes) {
    if (bytes.size() < kPDBHeaderSize) return false;
    std::string_view type = bytes.substr(60, 4), creator = bytes.substr(64, 4);
    return (type == "TEXt" && creator == "REAd") || (type == "PNRD" && creator == "PPRS");
}

bool TPalmDocFile::IsPeanutFile() const {
    return header_.PDBType == "PNRD" && header_.Creator == "PPRS";
}

void TPalmDocFile::LoadFromFile(const std::string& fileName) {
    TMSWBaseDocument::LoadFromFile(fileName);
    TFileStream stream(fileName, TFileMode::fmOpenRead);
    stream.SetPosition(0);
    LoadFromStream(stream);
}

void TPalmDocFile::LoadFromStream(TStream& stream) {
    TMSWBaseDocument::LoadFromStream(stream);
    header_ = TPDBHeader{};
    record0_ = TPDB_DocRecord0{};

    const std::string data = stream.ReadRest();
    header_ = ParseHeader(data);
    bool palmDoc = header_.PDBType == "TEXt" && header_.Creator == "REAd";
    if (!palmDoc && !IsPeanutFile()) throw Exception(strNotValidPalmDoc);

    const uint16_t pdbCount = header_.NumRecords;
    ByteReader r(data);
    // Records listed after record 0; a database that lists none is an empty book.
    uint16_t available = pdbCount > 0 ? static_cast<uint16_t>(pdbCount - 1) : 0;
    uint16_t textCount = available;

    uint32_t rec0 = 0;
    if (pdbCount > 0 && RecordOffset(r, 0, rec0) && rec0 < data.size()) {
        if (IsPeanutFile()) {
            ByteReader p(std::string_view(data).substr(rec0));
            TPDB_PeanutHeader peanut;
            peanut.Version = p.u16be_or_zero();
            p.skip(p.remaining() < 6 ? p.remaining() : 6);
            peanut.NumRecords = p.u16be_or_zero();
            record0_.Version = peanut.Version;
            record0_.RecSize = 4096;
            // The text records are 1 .. NumRecords-1.
            if (peanut.NumRecords >= 2 && peanut.NumRecords - 1 <= available)
                textCount = static_cast<uint16_t>(peanut.NumRecords - 1);
        } else {
            ByteReader p(std::string_view(data).substr(rec0));
            record0_.Version = p.u16be_or_zero();
            record0_.spare = p.u16be_or_zero();
            record0_.DocSize = p.u32be_or_zero();
            record0_.NumRecords = p.u16be_or_zero();
            record0_.RecSize = p.u16be_or_zero();
            record0_.Position = p.u32be_or_zero();
            // Record 0 counts the text records; bookmark, image and metadata
            // records that follow them are not text.
            if (record0_.NumRecords >= 1 && record0_.NumRecords <= available)
                textCount = record0_.NumRecords;
        }
    } else {
        textCount = 0;
    }
    header_.NumRecords = textCount;

    if (!ParseItems().Contains(wpiText)) return;
    WithFrame([&] { ReadText(data, pdbCount); });
}

void TPalmDocFile::ReadText(std::string_view data, uint16_t pdbCount) {
    // The records are consecutive slices of one text: a word (or a double-byte
    // character) may straddle two records, so their bytes are joined and
    // decoded as one piece rather than added as separate lines.
    ByteReader r(data);
    const bool peanut = IsPeanutFile();
    const size_t limit = MaxTextLength() > 0 ? static_cast<size_t>(MaxTextLength()) : 0;
    std::string text;
    uint32_t previousStart = 0;
    for (uint32_t i = 1; i <= header_.NumRecords; ++i) {
        if (limit > 0 && text.size() >= limit) break;  // enough for the length limit
        uint32_t start = 0, end = static_cast<uint32_t>(data.size());
        if (!RecordOffset(r, i, start)) break;
        // A record ends where the next listed record starts; only the last
        // record of the database runs to the end of the file.
        uint32_t next = 0;
        if (i + 1 < pdbCount && RecordOffset(r, i + 1, next) && next >= start && next <= data.size())
            end = next;
        // Offsets outside the file or running backwards give empty records.
        if (start < previousStart || start > data.size()) continue;
        previousStart = start;
        std::string bytes(data.substr(start, end - start));
        if (peanut)
            for (auto& c : bytes) c = static_cast<char>(c ^ kPeanutObfuscationKey);
        if (record0_.Version == kPalmDocCompressed) bytes = DecompressText(bytes, record0_.RecSize);
        text += bytes;
    }
    AddText(Escape(MultiByteToWide(text, CP_ACP)), *text_);
}

}  // namespace quillmark
