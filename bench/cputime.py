#!/usr/bin/env python3
"""Runs a command and writes the CPU it used, to the microsecond, with its peak memory.

    cputime.py OUT [--int-after SECONDS] COMMAND [ARGS...]

OUT receives one line, "cpu_seconds user_seconds system_seconds peak_rss_kib", taken from
wait4's resource usage: the command and every descendant it waited for. The kernel keeps
user+system exact (nanoseconds on a CPU), unlike the 10 ms ticks /usr/bin/time prints.
OUT.pid receives the command's process id as soon as it runs, so a caller can follow its
threads. With --int-after the command gets SIGINT after SECONDS (parecord stops cleanly
on it). The exit code is the command's.
"""
import os
import signal
import sys


def main():
    args = sys.argv[1:]
    if len(args) < 2:
        sys.exit(__doc__)
    out = args.pop(0)
    int_after = None
    if args[0] == "--int-after":
        int_after = float(args[1])
        args = args[2:]
    pid = os.fork()
    if pid == 0:
        os.execvp(args[0], args)
    with open(out + ".pid", "w") as f:
        f.write("%d\n" % pid)
    if int_after is not None:
        signal.signal(signal.SIGALRM, lambda *_: os.kill(pid, signal.SIGINT))
        signal.setitimer(signal.ITIMER_REAL, int_after)
    _, status, usage = os.wait4(pid, 0)  # retried by Python when the alarm interrupts it
    signal.setitimer(signal.ITIMER_REAL, 0)
    with open(out, "w") as f:
        f.write("%.6f %.6f %.6f %d\n" % (usage.ru_utime + usage.ru_stime, usage.ru_utime,
                                         usage.ru_stime, usage.ru_maxrss))
    sys.exit(os.waitstatus_to_exitcode(status))


if __name__ == "__main__":
    main()
