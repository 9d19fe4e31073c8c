#include "support/child_process.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace quillmark::test {

ChildRun RunInChild(const std::function<int(std::string& message)>& work) {
    int fds[2];
    ChildRun run;
    if (pipe(fds) != 0) return run;
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        std::string message;
        int code = 98;
        try {
            code = work(message);
        } catch (...) {
        }
        for (size_t done = 0; done < message.size();) {
            ssize_t n = write(fds[1], message.data() + done, message.size() - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        close(fds[1]);
        _exit(code);
    }
    close(fds[1]);
    char buf[512];
    ssize_t n;
    while (pid > 0 && (n = read(fds[0], buf, sizeof buf)) > 0) run.message.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    struct rusage usage {};
    if (pid > 0 && wait4(pid, &status, 0, &usage) == pid) {
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.peakKiB = usage.ru_maxrss;
        run.seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return run;
}

}  // namespace quillmark::test
