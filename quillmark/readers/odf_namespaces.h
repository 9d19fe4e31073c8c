// OpenDocument elements are named by namespace, not by prefix: a writer may
// bind the office namespace to "daisy:" or make it the default namespace.
// The reader compares names with the usual prefixes ("office:", "text:",
// "table:" ...), so a tree whose known namespaces use other prefixes is
// renamed to the usual ones first.
#pragma once

#include "quillmark/package/xml_item.h"

namespace quillmark {

// Renames elements and attributes whose prefix is bound (by an xmlns
// declaration in scope) to a known OpenDocument namespace under another
// prefix. Trees that use the usual prefixes are left untouched; the walk is
// iterative and visits each node once.
void CanonicalizeOdfPrefixes(TDTXMLItem& root);

}  // namespace quillmark
