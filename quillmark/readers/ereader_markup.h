// eReader books keep their text as PML (Palm Markup Language): Windows-1252
// text with backslash commands. This turns it into plain lines: page and
// paragraph breaks become line ends, character codes become characters, and
// every formatting command, link target, image, rule and hidden text is
// dropped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillmark {

// The lines of the text, in order (an empty line where the source has one).
std::vector<std::u16string> PmlToLines(std::string_view pml);

}  // namespace quillmark
