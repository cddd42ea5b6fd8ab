// What the process's other threads did: the context switches of every thread but the calling
// one, read from /proc/self/task. A thread that sleeps in a wait and is never woken makes none,
// so over an idle stretch the count shows any polling or timer, wherever it hides.
#pragma once

#include <cstdint>

namespace korvi::bench {

// Voluntary and involuntary context switches so far, summed over the other threads. Throws
// std::runtime_error when /proc cannot be read.
std::int64_t OtherThreadsContextSwitches();

// User and system CPU time of the whole process so far, in seconds (getrusage).
double ProcessCpuSeconds();

// The process's peak resident set so far, in KiB (getrusage).
long PeakResidentKibibytes();

}  // namespace korvi::bench
