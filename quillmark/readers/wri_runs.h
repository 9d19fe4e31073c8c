// Walks the character or paragraph runs of a Write document in text order.
// Each run page says where its first run starts (fcFirst) and lists where
// each run ends; consecutive runs tile the text from position 128 to fcMac.
#pragma once

#include <cstdint>
#include <string_view>

#include "quillmark/readers/wri_records.h"

namespace quillmark {

inline constexpr const char* strFcFirstWrong = "fcFirst wrong";

class TWRIRunCursor {
public:
    // The run pages are pages [firstPage, endPage) of data, read no further
    // than the file's last whole page; runs are clipped to end at fcMac.
    TWRIRunCursor(std::string_view data, uint32_t firstPage, uint32_t endPage, uint32_t fcMac);

    // Moves to the next non-empty run; false once the runs reach fcMac.
    // Raises strFcFirstWrong when no run page covers the next position.
    bool Next();

    uint32_t Start() const { return start_; }
    uint32_t End() const { return end_; }
    // The property block of the current run (see WRIPropertyBlock).
    std::string_view Properties() const;

private:
    std::string_view PageBytes(uint32_t page) const;
    void LoadPageAt(uint32_t page);
    bool Covers(const TWRIRunPage& p) const;

    std::string_view data_;
    uint32_t endPage_;
    uint32_t fcMac_;
    uint32_t page_;
    bool loaded_ = false;
    TWRIRunPage current_;
    uint8_t index_ = 0;
    uint32_t expected_ = kWRIPageSize;  // where the next run starts
    uint32_t start_ = 0, end_ = 0;
    uint16_t bfprop_ = kWRINoProperties;
};

}  // namespace quillmark
