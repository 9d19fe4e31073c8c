#include "support/scoped_comma_locale.h"

#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <locale>

namespace quillmark::test {

namespace {

const char* const kCommaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8",
                                     "ru_RU.UTF-8", "es_ES.UTF-8", "it_IT.UTF-8", "nl_NL.UTF-8"};

// Sets name for LC_ALL if it exists and uses a decimal comma.
bool TrySet(const char* name) {
    if (!std::setlocale(LC_ALL, name)) return false;
    if (std::string(std::localeconv()->decimal_point) == ",") return true;
    std::setlocale(LC_ALL, "C");
    return false;
}

}  // namespace

ScopedCommaLocale::ScopedCommaLocale() {
    if (const char* old = std::setlocale(LC_ALL, nullptr)) oldC_ = old;
    for (const char* name : kCommaLocales)
        if (TrySet(name)) {
            name_ = name;
            break;
        }
    if (name_.empty()) {
        namespace fs = std::filesystem;
        fs::path dir = fs::temp_directory_path() / ("quillmark-locale-" + std::to_string(getpid()));
        fs::create_directories(dir);
        generatedDir_ = dir.string();
        std::string cmd = "localedef -i de_DE -f UTF-8 '" + (dir / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != -1) {
            if (const char* old = std::getenv("LOCPATH")) oldLocPath_ = old;
            setenv("LOCPATH", generatedDir_.c_str(), 1);
            if (TrySet("de_DE.UTF-8")) name_ = "de_DE.UTF-8";
        }
    }
    // The C++ global locale too: iostreams and std::locale users follow it.
    if (!name_.empty()) std::locale::global(std::locale(name_.c_str()));
}

ScopedCommaLocale::~ScopedCommaLocale() {
    std::locale::global(std::locale::classic());
    std::setlocale(LC_ALL, oldC_.empty() ? "C" : oldC_.c_str());
    if (!generatedDir_.empty()) {
        if (oldLocPath_) setenv("LOCPATH", oldLocPath_->c_str(), 1);
        else unsetenv("LOCPATH");
        std::error_code ec;
        std::filesystem::remove_all(generatedDir_, ec);
    }
}

}  // namespace quillmark::test
