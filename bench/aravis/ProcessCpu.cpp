// ProcessCpu: getrusage for this process, /proc/PID/stat for the others.
#include "ProcessCpu.h"

#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

double ProcessCpu::self() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ProcessCpu::of(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(file, line)) {
    return 0;
  }
  // The command name (field 2) is in parentheses and may hold blanks: count fields after it.
  const size_t close = line.rfind(')');
  if (close == std::string::npos) {
    return 0;
  }
  std::istringstream fields(line.substr(close + 2));
  std::string field;
  unsigned long long utime = 0;
  unsigned long long stime = 0;
  // Fields 3 to 13, then utime (14) and stime (15).
  for (int i = 3; i <= 13 && fields >> field; ++i) {
  }
  fields >> utime >> stime;
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}
