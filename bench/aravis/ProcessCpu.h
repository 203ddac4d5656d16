// ProcessCpu: CPU time (user and system) used so far by this process or by another one (read from
// /proc/PID/stat), in seconds, for the CPU-per-frame figures of the Aravis benchmarks.
#pragma once

#include <sys/types.h>

class ProcessCpu {
 public:
  static double self();
  // 0 when the process is gone or unreadable.
  static double of(pid_t pid);
};
