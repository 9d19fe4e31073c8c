// Reading OLE property-set streams ("\005SummaryInformation",
// "\005DocumentSummaryInformation") into the metadata record.
#pragma once

#include <string_view>

#include "quillmark/framework/compound_file.h"
#include "quillmark/framework/summary_information.h"

namespace quillmark {

// Reads the first section of one property-set stream. Strings honour the
// section's code-page property (id 1); a section, value or count that points
// outside the stream skips that property (or the whole stream); properties
// already in the record and not in the stream keep their values.
void ReadPropertySet(std::string_view stream, bool isDocSummary, TDTWordSummaryInformation& info);

// Reads every stream of the storage whose name, without its first character
// (normally \005), is "SummaryInformation" or "DocumentSummaryInformation".
// Does not clear the record first. A stream that cannot be read is skipped;
// a damaged storage tree throws.
void ReadSummaryInformation(const TCompoundStorage& storage, TDTWordSummaryInformation& info);

}  // namespace quillmark
