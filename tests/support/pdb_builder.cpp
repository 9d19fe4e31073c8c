#include "support/pdb_builder.h"

namespace quillmark::test {

namespace {
void Put16(std::string& s, uint16_t v) {
    s.push_back(static_cast<char>(v >> 8));
    s.push_back(static_cast<char>(v & 0xFF));
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, static_cast<uint16_t>(v >> 16));
    Put16(s, static_cast<uint16_t>(v & 0xFFFF));
}
}  // namespace

std::string PdbBuilder::Build() const {
    std::string out(32, '\0');
    out.replace(0, 4, "test");
    out.append(28, '\0');  // attributes .. sort info
    out += (type + "    ").substr(0, 4);
    out += (creator + "    ").substr(0, 4);
    out.append(8, '\0');  // id seed, next record list
    Put16(out, static_cast<uint16_t>(declaredCount >= 0 ? declaredCount : static_cast<int>(records.size())));
    uint32_t pos = static_cast<uint32_t>(out.size() + 8 * records.size() + 2);
    for (size_t i = 0; i < records.size(); ++i) {
        Put32(out, i < offsets.size() ? offsets[i] : pos);
        Put32(out, static_cast<uint32_t>(i));
        pos += static_cast<uint32_t>(records[i].size());
    }
    out.append(2, '\0');  // the customary gap after the record list
    for (const auto& r : records) out += r;
    return out;
}

std::string DocRecord0(uint16_t version, uint32_t docSize, uint16_t numRecords, uint16_t recSize) {
    std::string s;
    Put16(s, version);
    Put16(s, 0);
    Put32(s, docSize);
    Put16(s, numRecords);
    Put16(s, recSize);
    Put32(s, 0);
    return s;
}

std::string PeanutRecord0(uint16_t version, uint16_t numRecords) {
    std::string s;
    Put16(s, version);
    s.append(6, '\0');
    Put16(s, numRecords);
    s.append(106, '\0');
    return s;
}

}  // namespace quillmark::test
