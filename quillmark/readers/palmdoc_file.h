// TPalmDocFile: PalmDoc ("TEXt"/"REAd") and Peanut ("PNRD"/"PPRS") e-books.
#pragma once

#include <string_view>

#include "quillmark/framework/base_document.h"
#include "quillmark/readers/palmdoc_records.h"

namespace quillmark {

inline constexpr const char* strNotValidPalmDoc = "Not valid PalmDoc text file.";
inline constexpr const char* strEBookEncrypted = "The e-book is encrypted (DRM) and cannot be read";

class TPalmDocFile : public TMSWBaseDocument {
public:
    void LoadFromStream(TStream& stream) override;
    void LoadFromFile(const std::string& fileName) override;

    // The original Peanut books ("PNRD"/"PPRS"), their text XOR-ed.
    bool IsPeanutFile() const;
    // eReader books ("PNRd"/"PPrs"): PML text, PalmDoc- or zlib-compressed.
    bool IsEReaderFile() const;
    const TPDBHeader& Header() const { return header_; }
    const TPDB_DocRecord0& Record0() const { return record0_; }

    // True when the bytes start like a PalmDoc or Peanut database.
    static bool IsPalmDocData(std::string_view bytes);

private:
    void ReadText(std::string_view data, uint16_t pdbCount);
    void ReadEReader(std::string_view data, uint16_t pdbCount, uint32_t rec0);

    TPDBHeader header_;
    TPDB_DocRecord0 record0_;
};

}  // namespace quillmark
