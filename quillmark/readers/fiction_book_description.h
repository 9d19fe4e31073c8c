// A FictionBook's metadata: its "description" element (title-info,
// document-info, publish-info) read into a summary record.
#pragma once

#include <string>

#include "quillmark/framework/date_time.h"
#include "quillmark/framework/summary_information.h"
#include "quillmark/package/xml_item.h"

namespace quillmark {

// Fills the fields the description has; the others are left as they are.
void ReadFictionBookDescription(TDTXMLItem& description, TDTWordSummaryInformation& summary);

// The names of the authors listed directly in a title-info or document-info
// node, joined with ", ". One author's name is first, middle and last name
// joined with single blanks (empty parts left out), else the nickname.
std::u16string FictionBookAuthors(TDTXMLItem& info);

// A book date: "2018", "2018-05" or "2018-05-17" (the start of a longer ISO
// stamp); 0 for anything else or an invalid date.
TDateTime FictionBookDate(std::u16string_view text);

}  // namespace quillmark
