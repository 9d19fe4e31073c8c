// Builds small Palm database files for the PalmDoc tests: a header, the
// record list and the records, with every field under the test's control.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillmark::test {

struct PdbBuilder {
    std::string type = "TEXt";
    std::string creator = "REAd";
    std::vector<std::string> records;  // record 0 first
    // When set, replaces the record count written in the header.
    int declaredCount = -1;
    // When non-empty, replaces the computed record offsets.
    std::vector<uint32_t> offsets;

    std::string Build() const;
};

// PalmDoc record 0: compression version, text length, text record count, record size.
std::string DocRecord0(uint16_t version, uint32_t docSize, uint16_t numRecords, uint16_t recSize = 4096);
// Peanut record 0 (116 bytes): compression version and first non-text record.
std::string PeanutRecord0(uint16_t version, uint16_t numRecords);

}  // namespace quillmark::test
