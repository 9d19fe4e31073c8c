// Inflation of raw deflate data (no zlib or gzip wrapper), as zip members
// store it, through zlib.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillmark {

// Inflates until `limit` bytes have come out or the deflate stream ends,
// whichever is first; the caller compares the length with what it expected.
// Corrupt data throws quillmark::Exception naming `what`.
std::string InflateRaw(std::string_view compressed, size_t limit, const std::string& what);

}  // namespace quillmark
