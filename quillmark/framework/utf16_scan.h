// Fast scans over UTF-16 text, eight units at a time where the processor
// has SSE2 (every x86-64 one), one at a time elsewhere. The readers' text
// passes spend most of their time looking for the few characters that need
// work (controls, non-ASCII) between long runs that need none.
#pragma once

#include <cstddef>
#include <string_view>

namespace quillmark {

// The first position at or after from whose unit is below 0x20 (a control
// character), or text.size() when there is none.
size_t FindControl(std::u16string_view text, size_t from);

// The length of the run of ASCII units starting at from (units below 0x80,
// CR excepted when stopAtCr), at most text.size() - from.
size_t AsciiRunLength(std::u16string_view text, size_t from, bool stopAtCr);

// Narrows count ASCII units (as AsciiRunLength found them) to bytes at out.
void NarrowAscii(const char16_t* in, size_t count, char* out);

}  // namespace quillmark
