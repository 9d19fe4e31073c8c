// Transparent huge pages for the command's memory; see huge_pages.cpp.
#pragma once

namespace quillmark::cli {

// Called first thing in main: grows the heap ahead and marks it for huge
// pages. (Allocations from 1 MB up get huge pages without it.)
void UseHugePages();
// Back to growing the heap only as needed, the unused part given back: for a
// process under an address-space limit, where padding would count.
void UseDefaultHeapGrowth();

}  // namespace quillmark::cli
