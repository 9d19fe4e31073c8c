#include "cli/output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/commands.h"
#include "quillmark/framework/exception.h"

namespace quillmark::cli {

namespace {
int writeErrno = 0;
}

int ExitStatusFor(const std::exception& e) {
    if (dynamic_cast<const EPasswordError*>(&e)) return kExitPassword;
    return kExitReadError;
}

int ReportFailure(const std::string& file, const std::exception& e) {
    std::fflush(stdout);
    ReportError(file, e.what());
    return ExitStatusFor(e);
}

int WorseStatus(int a, int b) {
    auto rank = [](int s) { return s == kExitPassword ? 3 : s == kExitReadError ? 2 : s == kExitUsage ? 4 : 0; };
    return rank(a) >= rank(b) ? a : b;
}

void WriteOut(std::string_view bytes) {
    if (writeErrno || bytes.empty()) return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) writeErrno = errno ? errno : EIO;
}

bool FinishOutput() {
    if (!writeErrno && std::fflush(stdout) != 0) writeErrno = errno ? errno : EIO;
    if (!writeErrno && std::ferror(stdout)) writeErrno = EIO;
    if (!writeErrno) return true;
    std::fprintf(stderr, "quillmark: write error: %s\n", std::strerror(writeErrno));
    return false;
}

}  // namespace quillmark::cli
