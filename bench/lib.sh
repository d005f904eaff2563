# Shared by the benchmarks: source it from inside their server sessions.

# The median of the numbers on standard input, one a line.
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Nanoseconds on a CPU of every thread of process $1 so far (/proc/PID/task/*/schedstat).
threadsNs() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ ns += $1 } END { print ns + 0 }'; }
