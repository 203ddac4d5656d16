// ProcessProbe: this process's resident memory and number of threads, read from /proc.
#pragma once

#include <cstddef>

struct ProcessProbe {
  // Resident set size in bytes; 0 when /proc cannot be read.
  static size_t residentBytes();
  // Threads of this process; 0 when /proc cannot be read.
  static size_t threads();
};
