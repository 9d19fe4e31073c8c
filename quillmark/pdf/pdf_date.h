// Dates of the PDF document information dictionary ("D:YYYYMMDDHHmmSS").
#pragma once

#include <string_view>

#include "quillmark/framework/date_time.h"

namespace quillmark {

// "D:" dates read their fields by position (year at characters 3 to 6, then
// month, day, hour, minute, second; the time zone is ignored). A missing or
// non-numeric field or an impossible date gives 0. Other text is tried as
// "YYYY-MM-DD[ hh:mm[:ss]]" (or with "/" or "." between the date fields);
// anything else gives 0.
TDateTime PdfDateToDateTime(std::u16string_view text);

}  // namespace quillmark
