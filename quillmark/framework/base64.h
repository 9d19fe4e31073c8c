// Base64 text (RFC 4648 alphabet) to bytes, as the XML of encrypted
// packages carries keys, salts and checksums. Blanks and line breaks are
// skipped; anything else outside the alphabet, data after the padding or a
// dangling last character makes the text invalid.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillmark {

std::optional<std::string> Base64Decode(std::string_view text);

}  // namespace quillmark
