// The metadata record as a list of named values, for hosts that print or
// convert every property the same way (the command's JSON, the Python
// binding's dict). Names are the record's own property names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "quillmark/framework/date_time.h"
#include "quillmark/framework/summary_information.h"

namespace quillmark {

struct TSummaryProperty {
    enum Kind : uint8_t { Text, Number, Date };
    const char* Name;
    Kind Type;
    std::u16string TextValue;  // Text
    int32_t NumberValue = 0;   // Number
    TDateTime DateValue = 0;   // Date; 0 when not set
};

// All 28 properties in a fixed order.
std::vector<TSummaryProperty> SummaryProperties(const TDTWordSummaryInformation& s);

}  // namespace quillmark
