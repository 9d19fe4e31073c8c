// The code-page layer: the process-wide "active ANSI code page", 8-bit text
// to UTF-16 and back, UTF-8 both ways, and case-insensitive comparison.
//
// Built in: the Windows single-byte pages 874 and 1250-1258 (byte for byte as
// Windows decodes them, undefined bytes included), UTF-8 (65001) and UTF-16
// (1200 little-endian, 1201 big-endian). Through the C library's iconv: the
// double-byte pages 932, 936, 949 and 950 and other common pages (KOI8-R
// 20866, ISO 8859 28591-28605, OEM pages such as 437, 850, 866, Mac Roman
// 10000). Malformed or unmappable input becomes U+FFFD; conversion never throws.
#pragma once

#include <string>
#include <string_view>

namespace quillmark {

inline constexpr int CP_ACP = 0;
inline constexpr int CP_UTF8 = 65001;
inline constexpr int CP_UTF16LE = 1200;
inline constexpr int CP_UTF16BE = 1201;

// The active ANSI code page (default 1252). Setting it affects every reader.
int GetACP();
void SetActiveAnsiCodePage(int codePage);

// True when MultiByteToWide can decode the code page.
bool IsCodePageSupported(int codePage);

// 8-bit text to UTF-16. Code page 0 is the active ANSI code page. An
// unsupported code page decodes as the active ANSI code page.
std::u16string MultiByteToWide(std::string_view bytes, int codePage = CP_ACP);

// UTF-16 to 8-bit text; characters the code page cannot hold become '?'.
std::string WideToMultiByte(std::u16string_view text, int codePage = CP_ACP);

std::string Utf16ToUtf8(std::u16string_view text);
// The length in bytes of text as UTF-8 (lone surrogates count as U+FFFD),
// less one for every CR directly followed by LF when dropCrOfCrLf.
size_t Utf8Length(std::u16string_view text, bool dropCrOfCrLf = false);
// Writes text as UTF-8 at out, which has room for Utf8Length(text,
// dropCrOfCrLf) bytes, and returns the end of what it wrote. With
// dropCrOfCrLf a CR directly followed by LF is left out (LF line ends).
char* WriteUtf8(char* out, std::u16string_view text, bool dropCrOfCrLf = false);
std::u16string Utf8ToUtf16(std::string_view text);
// ASCII (or Latin-1) bytes widened one to one; for literals and markup.
std::u16string Latin1ToUtf16(std::string_view text);
// Appends one code point as UTF-16 (a surrogate pair above U+FFFF).
void AppendCodePoint(std::u16string& out, char32_t cp);

// Case-insensitive comparison of two UTF-16 strings by their upper-cased code
// points (Unicode simple case mapping); -1, 0 or 1.
int WideCompareText(std::u16string_view s1, std::u16string_view s2);
char16_t WideUpperCase(char16_t c);

}  // namespace quillmark
