// The metadata of an OpenDocument file: the "office:meta" element of
// meta.xml (or of a flat single-XML document) into the summary record.
#pragma once

#include <string_view>

#include "quillmark/framework/summary_information.h"
#include "quillmark/package/xml_item.h"

namespace quillmark {

// Fills the record from an "office:meta" element parsed with text runs kept
// in place (TDTXMLEngine::SetKeepTextRuns). Properties the element lacks
// are left as they are.
void ReadOpenDocumentMeta(TDTXMLItem& officeMeta, TDTWordSummaryInformation& summary);

// An ISO 8601 duration ("PT2H3M24S", "P1DT30M") in whole minutes; 0 for
// anything that is not one.
int32_t OdfDurationMinutes(std::u16string_view duration);

}  // namespace quillmark
