#include "quillmark/framework/exception.h"

#include "quillmark/framework/code_pages.h"

namespace quillmark {

Exception::Exception(const std::string& utf8Message)
    : std::runtime_error(utf8Message), message16_(Utf8ToUtf16(utf8Message)) {}

Exception::Exception(const std::u16string& message)
    : std::runtime_error(Utf16ToUtf8(message)), message16_(message) {}

namespace {
template <typename S>
S Substitute(const S& pattern, const S& arg) {
    S out;
    out.reserve(pattern.size() + arg.size());
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's') {
            out += arg;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}
}  // namespace

std::string FormatMessage(const std::string& pattern, const std::string& arg) {
    return Substitute(pattern, arg);
}

std::u16string FormatMessage(const std::u16string& pattern, const std::u16string& arg) {
    return Substitute(pattern, arg);
}

}  // namespace quillmark
