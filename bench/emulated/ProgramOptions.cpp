// Removal of a program's own options from argv.
#include "ProgramOptions.h"

#include <cstring>

namespace ProgramOptions {

std::string take(int& argc, char** argv, const char* name) {
  const size_t length = std::strlen(name);
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], name, length) == 0 && argv[i][length] == '=') {
      std::string value(argv[i] + length + 1);
      for (int j = i; j + 1 < argc; ++j) {
        argv[j] = argv[j + 1];
      }
      --argc;
      return value;
    }
  }
  return std::string();
}

}  // namespace ProgramOptions
