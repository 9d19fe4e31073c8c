// Transparent huge pages for the command's memory; see huge_pages.cpp.
#pragma once

namespace quillmark::cli {

// Called first thing in main: grows the heap ahead and marks it for huge
// pages. (Allocations from 1 MB up get huge pages without it.)
void UseHugePages();

}  // namespace quillmark::cli
