// The batch's progress line on stderr, redrawn in place with a carriage
// return, at most ten times a second.
#include <cstdio>

#include "cli/batch.h"

namespace quillmark::cli {

BatchProgress::BatchProgress(bool enabled, size_t totalFiles, uint64_t totalBytes)
    : enabled_(enabled), total_(totalFiles), totalBytes_(totalBytes), start_(std::chrono::steady_clock::now()) {}

void BatchProgress::Add(uint64_t bytes, bool failed) {
    ++done_;
    doneBytes_ += bytes;
    if (failed) ++errors_;
}

void BatchProgress::Draw(bool force) {
    if (!enabled_) return;
    auto now = std::chrono::steady_clock::now();
    if (!force && drawn_ && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    drawn_ = true;
    double seconds = std::chrono::duration<double>(now - start_).count();
    double filesRate = seconds > 0 ? done_ / seconds : 0;
    double bytesRate = seconds > 0 ? doneBytes_ / seconds : 0;
    // The time left follows the bytes still to read when there are any:
    // one large file takes longer than many small ones.
    char eta[32] = "--:--";
    double left = -1;
    if (doneBytes_ > 0 && totalBytes_ > doneBytes_) left = (totalBytes_ - doneBytes_) / bytesRate;
    else if (filesRate > 0) left = (total_ - done_) / filesRate;
    if (left >= 0 && left < 1e7) {
        long s = static_cast<long>(left + 0.5);
        std::snprintf(eta, sizeof eta, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    }
    std::fprintf(stderr, "\r%zu/%zu files  %.1f files/s  %.2f MB/s  %zu errors  ETA %s\x1b[K", done_, total_,
                 filesRate, bytesRate / 1e6, errors_, eta);
    std::fflush(stderr);
}

void BatchProgress::Finish() {
    if (!enabled_ || !drawn_) return;
    Draw(true);
    std::fputc('\n', stderr);
}

}  // namespace quillmark::cli
