// The metadata of a Word 2007 package: the core properties part
// (docProps/core.xml: title, author, dates ...) and the application
// properties part (docProps/app.xml: counts, template, company ...).
#pragma once

#include "quillmark/framework/summary_information.h"
#include "quillmark/package/xml_engine.h"

namespace quillmark {

// Reads whichever of the two property sets the parsed part holds into the
// record. Every field of a set that is present is written: a missing element
// stores an empty text, 0 for counts and dates; a count that is not a
// decimal integer stores 0.
void ReadWordXmlProperties(TDTXMLEngine& engine, TDTWordSummaryInformation& summary);

}  // namespace quillmark
