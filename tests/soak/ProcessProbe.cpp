#include "ProcessProbe.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>

size_t ProcessProbe::residentBytes() {
  FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) {
    return 0;
  }
  unsigned long size = 0;
  unsigned long resident = 0;
  const int read = std::fscanf(statm, "%lu %lu", &size, &resident);
  std::fclose(statm);
  return read == 2 ? resident * static_cast<size_t>(sysconf(_SC_PAGESIZE)) : 0;
}

size_t ProcessProbe::threads() {
  DIR* tasks = opendir("/proc/self/task");
  if (tasks == nullptr) {
    return 0;
  }
  size_t count = 0;
  while (const struct dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] != '.') {
      ++count;
    }
  }
  closedir(tasks);
  return count;
}
