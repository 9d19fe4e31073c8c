// TPalmDocFile: PalmDoc ("TEXt"/"REAd") and Peanut ("PNRD"/"PPRS") e-books.
#pragma once

#include <string_view>

#include "quillmark/framework/base_document.h"
#include "quillmark/readers/palmdoc_records.h"

namespace quillmark {

inline constexpr const char* strNotValidPalmDoc = "Not valid PalmDoc text file.";

class TPalmDocFile : public TMSWBaseDocument {
public:
    void LoadFromStream(TStream& stream) override;
    void LoadFromFile(const std::string& fileName) override;

    bool IsPeanutFile() const;
    const TPDBHeader& Header() const { return header_; }
    const TPDB_DocRecord0& Record0() const { return record0_; }

    // True when the bytes start like a PalmDoc or Peanut database.
    static bool IsPalmDocData(std::string_view bytes);

private:
    void ReadText(std::string_view data, uint16_t pdbCount);

    TPDBHeader header_;
    TPDB_DocRecord0 record0_;
};

}  // namespace quillmark
