// Puts the whole process (the C library's setlocale and the C++ global locale)
// under a locale whose decimal separator is a comma, as a host application in
// Germany or France runs, and restores the previous locales on destruction.
// A comma locale installed on the system is used when there is one;
// otherwise de_DE is compiled with localedef into a temporary directory and
// found through LOCPATH.
#pragma once

#include <optional>
#include <string>

namespace quillmark::test {

class ScopedCommaLocale {
public:
    ScopedCommaLocale();
    ~ScopedCommaLocale();
    ScopedCommaLocale(const ScopedCommaLocale&) = delete;
    ScopedCommaLocale& operator=(const ScopedCommaLocale&) = delete;

    // The locale that was set, or empty when none could be found or built.
    const std::string& Name() const { return name_; }

private:
    std::string name_;
    std::string oldC_;
    std::string generatedDir_;
    std::optional<std::string> oldLocPath_;
};

}  // namespace quillmark::test
