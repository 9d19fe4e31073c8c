#include "cli/options.h"

#include <charconv>
#include <cstdio>

namespace quillmark::cli {

int UsageError(const char* command, const char* usage, const std::string& why) {
    std::fprintf(stderr, "quillmark %s: %s\n%s", command, why.c_str(), usage);
    return 2;
}

bool ParseCount(const std::string& text, long long max, long long& out) {
    long long v = 0;
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || p != end || v < 0 || v > max) return false;
    out = v;
    return true;
}

ParsedArgs ParseArgs(const Args& args, const std::vector<OptionSpec>& specs, const char* command,
                     const char* usage,
                     const std::function<std::string(const std::string&, const std::string&)>& onOption) {
    ParsedArgs parsed;
    auto fail = [&](const std::string& why) {
        parsed.exitStatus = UsageError(command, usage, why);
        return parsed;
    };
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a == "-" || a.empty() || a[0] != '-') {
            parsed.files.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        if (a == "--help" || a == "-h") {
            std::fputs(usage, stdout);
            parsed.exitStatus = 0;
            return parsed;
        }
        const OptionSpec* spec = nullptr;
        std::string value;
        bool inlineValue = false;
        if (a.compare(0, 2, "--") == 0) {
            std::string name = a.substr(2);
            size_t eq = name.find('=');
            if (eq != std::string::npos) {
                value = name.substr(eq + 1);
                name.resize(eq);
                inlineValue = true;
            }
            for (const auto& s : specs)
                if (name == s.longName) spec = &s;
        } else if (a.size() == 2) {
            for (const auto& s : specs)
                if (s.shortName && a[1] == s.shortName) spec = &s;
        }
        if (!spec) return fail("unknown option '" + a + "'");
        if (spec->takesValue && !inlineValue) {
            if (i + 1 >= args.size()) return fail("--" + std::string(spec->longName) + " needs a value");
            value = args[++i];
        } else if (!spec->takesValue && inlineValue) {
            return fail("--" + std::string(spec->longName) + " takes no value");
        }
        std::string why = onOption(spec->longName, value);
        if (!why.empty()) return fail(why);
    }
    return parsed;
}

}  // namespace quillmark::cli
