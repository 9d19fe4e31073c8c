#!/usr/bin/env python3
"""CPU time of the whole process (user + system, from wait4), best of N runs,
for our command and a peer on the same file; output discarded. CPU time is
what a busy shared machine stretches least, so the ratio holds under load
better than wall time. (Peak memory is not taken here: a child's ru_maxrss
starts from the launching interpreter's; bench/lib.sh takes it with
/usr/bin/time.)

    bench/cpu_ratio.py [-n 7] FILE 'PEER COMMAND {}' [FILE 'PEER {}' ...]
    QUILLMARK=build/quillmark (default)
"""
import os
import shlex
import sys


def cpu(cmd, runs):
    best = None
    for _ in range(runs):
        null = os.open(os.devnull, os.O_WRONLY)
        try:
            pid = os.posix_spawnp(cmd[0], cmd, os.environ,
                                  file_actions=[(os.POSIX_SPAWN_DUP2, null, 1), (os.POSIX_SPAWN_DUP2, null, 2)])
        finally:
            os.close(null)
        _, status, ru = os.wait4(pid, 0)
        t = ru.ru_utime + ru.ru_stime
        if best is None or t < best[0]:
            best = (t, status)
    return best


def main(argv):
    runs = 7
    if argv[:1] == ["-n"]:
        runs, argv = int(argv[1]), argv[2:]
    ours = os.environ.get("QUILLMARK", "build/quillmark")
    print(f"{'file':28} {'peer':22} {'ours ms':>8} {'peer ms':>8} {'ratio':>6}")
    for file, peer in zip(argv[0::2], argv[1::2]):
        o = cpu([ours, "extract", file], runs)
        p = cpu([a.replace("{}", file) for a in shlex.split(peer)], runs)
        print(f"{os.path.basename(file):28} {shlex.split(peer)[0]:22} {o[0]*1000:8.1f} {p[0]*1000:8.1f} "
              f"{o[0]/p[0]:6.2f}")


if __name__ == "__main__":
    main(sys.argv[1:])
