// Messages shared by several readers. Each reader keeps its own format-specific
// messages next to its code; these are the ones the framework and both Word
// readers raise.
#pragma once

namespace quillmark {

inline constexpr const char* strFileNotFound = "File %s is not found.";
inline constexpr const char* strFileIsNotWord = "File %s is not valid MS Word document";
inline constexpr const char* strPieceOutOfRange = "Piece Bounds out of range";
inline constexpr const char* strWideStringsIndex = "WideStrings index out of bounds";
inline constexpr const char* strStreamRead = "Stream read error";
inline constexpr const char* strUnrecognisedFormat = "unrecognised document format";
inline constexpr const char* strNoTextReader = "the %s format has metadata but no text to extract";

}  // namespace quillmark
