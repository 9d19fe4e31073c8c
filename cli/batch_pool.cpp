// The batch's worker pool: pre-forked processes, one file each at a time,
// fed over pipes. The parent never reads a document itself; it watches the
// answer pipes with poll(), enforces the time limit (first a cooperative
// stop through the worker's cancel flag, then SIGKILL) and replaces any
// worker that dies.
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "cli/batch.h"

namespace quillmark::cli {

namespace {

using Clock = std::chrono::steady_clock;

// How long a worker may go on after its cooperative stop before it is
// killed: a reader checks its flag between pages or parts, which can take a
// while on a large one.
double GraceSeconds(double timeout) { return timeout < 1 ? 1.0 : timeout < 5 ? timeout : 5.0; }

std::string DescribeExit(int status) {
    if (WIFSIGNALED(status)) {
        int sig = WTERMSIG(status);
        const char* name = sigabbrev_np(sig);
        return std::string("worker killed by SIG") + (name ? name : std::to_string(sig).c_str());
    }
    if (WIFEXITED(status)) return "worker exited with status " + std::to_string(WEXITSTATUS(status));
    return "worker stopped";
}

}  // namespace

struct BatchPool::Worker {
    pid_t pid = -1;
    int toFd = -1, fromFd = -1;
    bool busy = false;
    size_t job = 0;
    Clock::time_point started;
    bool cancelSent = false, killed = false;
    std::string buffer;  // the answer read so far
};

BatchPool::BatchPool(int workers, const BatchSettings& settings, std::vector<int> parentFds)
    : settings_(settings), parentFds_(std::move(parentFds)), workers_(static_cast<size_t>(workers)) {
    // A worker that dies leaves its request pipe without a reader; the
    // write must fail with EPIPE rather than kill the parent.
    std::signal(SIGPIPE, SIG_IGN);
    for (auto& w : workers_) Spawn(w);
}

BatchPool::~BatchPool() {
    for (auto& w : workers_) {
        if (w.pid <= 0) continue;
        ::close(w.toFd);  // an idle worker exits at the end of its requests
        if (w.busy) ::kill(w.pid, SIGKILL);
        ::close(w.fromFd);
        int status;
        while (waitpid(w.pid, &status, 0) < 0 && errno == EINTR) {}
    }
}

void BatchPool::Spawn(Worker& w) {
    int request[2], answer[2];
    if (pipe2(request, O_CLOEXEC) != 0 || pipe2(answer, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("cannot create a pipe: ") + std::strerror(errno));
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error(std::string("cannot start a worker: ") + std::strerror(errno));
    if (pid == 0) {
        // The worker keeps only its own two pipe ends: holding another
        // worker's would hide that worker's death from the parent.
        for (auto& other : workers_)
            if (other.pid > 0) {
                ::close(other.toFd);
                ::close(other.fromFd);
            }
        for (int fd : parentFds_) ::close(fd);
        ::close(request[1]);
        ::close(answer[0]);
        RunBatchWorker(request[0], answer[1], settings_);
    }
    ::close(request[0]);
    ::close(answer[1]);
    w = Worker();
    w.pid = pid;
    w.toFd = request[1];
    w.fromFd = answer[0];
    fcntl(w.fromFd, F_SETFL, fcntl(w.fromFd, F_GETFL) | O_NONBLOCK);
}

void BatchPool::Kill(Worker& w) {
    ::kill(w.pid, SIGKILL);
    ::close(w.toFd);
    ::close(w.fromFd);
    int status;
    while (waitpid(w.pid, &status, 0) < 0 && errno == EINTR) {}
    w.pid = -1;
}

void BatchPool::Run(const std::vector<BatchFile>& files, const std::atomic<bool>& stop,
                    const std::function<void(const BatchFile&, const BatchResult&)>& onResult,
                    const std::function<void()>& onTick) {
    size_t next = 0, busy = 0;
    const double timeout = settings_.timeout;
    auto lost = [&](Worker& w, BatchKind kind, const std::string& why) {
        const BatchFile& file = files[w.job];
        int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - w.started).count();
        w.busy = false;
        --busy;
        Kill(w);
        Spawn(w);
        onResult(file, {kind, FailureRecord(file, kind, why, ms)});
    };
    std::vector<pollfd> fds;
    std::vector<Worker*> polled;
    while (!stop.load()) {
        // Hand out work to every idle worker.
        for (auto& w : workers_) {
            if (w.busy || next >= files.size() || stop.load()) continue;
            const BatchFile& file = files[next];
            uint32_t length = static_cast<uint32_t>(file.path.size());
            w.job = next++;
            w.busy = true;
            ++busy;
            w.started = Clock::now();
            w.cancelSent = false;
            w.buffer.clear();
            if (!WriteFull(w.toFd, &length, sizeof length) || !WriteFull(w.toFd, file.path.data(), length) ||
                !WriteFull(w.toFd, &file.size, sizeof file.size))
                lost(w, BatchKind::Crash, "worker ended before the file was read");
        }
        if (busy == 0) break;

        // Wait for answers, at most until the next deadline or a tenth of
        // a second (the progress line).
        fds.clear();
        polled.clear();
        int wait = 100;
        auto now = Clock::now();
        for (auto& w : workers_) {
            if (!w.busy) continue;
            fds.push_back({w.fromFd, POLLIN, 0});
            polled.push_back(&w);
            if (timeout > 0) {
                double limit = w.cancelSent ? timeout + GraceSeconds(timeout) : timeout;
                double left = limit - std::chrono::duration<double>(now - w.started).count();
                wait = std::min(wait, std::max(0, static_cast<int>(left * 1000) + 1));
            }
        }
        int ready = ::poll(fds.data(), fds.size(), wait);
        if (ready < 0 && errno != EINTR) throw std::runtime_error(std::string("poll: ") + std::strerror(errno));
        for (size_t i = 0; ready > 0 && i < fds.size(); ++i) {
            if (!fds[i].revents) continue;
            Worker& w = *polled[i];
            char chunk[65536];
            for (;;) {
                ssize_t n = ::read(w.fromFd, chunk, sizeof chunk);
                if (n > 0) {
                    w.buffer.append(chunk, static_cast<size_t>(n));
                    continue;
                }
                if (n < 0 && (errno == EINTR)) continue;
                if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
                // End of the pipe: the worker died mid-file.
                int status = 0;
                ::close(w.toFd);
                ::close(w.fromFd);
                while (waitpid(w.pid, &status, 0) < 0 && errno == EINTR) {}
                w.pid = -1;
                const BatchFile& file = files[w.job];
                int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - w.started).count();
                w.busy = false;
                --busy;
                bool memory = settings_.maxMemory > 0 && WIFSIGNALED(status) &&
                              (WTERMSIG(status) == SIGSEGV || WTERMSIG(status) == SIGABRT);
                std::string why = DescribeExit(status);
                if (memory) why += " (possibly out of memory under --max-memory)";
                Spawn(w);
                onResult(file, {BatchKind::Crash, FailureRecord(file, BatchKind::Crash, why, ms)});
                break;
            }
            if (!w.busy) continue;
            // A whole answer: kind, length, record.
            if (w.buffer.size() >= 5) {
                uint32_t length;
                std::memcpy(&length, w.buffer.data() + 1, sizeof length);
                if (w.buffer.size() >= 5 + static_cast<size_t>(length)) {
                    auto kind = static_cast<BatchKind>(static_cast<uint8_t>(w.buffer[0]));
                    w.busy = false;
                    --busy;
                    onResult(files[w.job], {kind, w.buffer.substr(5, length)});
                    w.buffer.clear();
                }
            }
        }

        // Time limits: first ask, then kill.
        if (timeout > 0) {
            now = Clock::now();
            for (auto& w : workers_) {
                if (!w.busy) continue;
                double elapsed = std::chrono::duration<double>(now - w.started).count();
                if (!w.cancelSent && elapsed >= timeout) {
                    ::kill(w.pid, SIGUSR1);
                    w.cancelSent = true;
                } else if (w.cancelSent && elapsed >= timeout + GraceSeconds(timeout)) {
                    char why[96];
                    std::snprintf(why, sizeof why, "no result within the time limit of %g s; worker killed", timeout);
                    lost(w, BatchKind::Timeout, why);
                }
            }
        }
        onTick();
    }
}

}  // namespace quillmark::cli
