// ProgramOptions: takes a benchmark program's own "--name=value" options out of argv before Google
// Benchmark parses the rest.
#pragma once

#include <string>

namespace ProgramOptions {

// The value of "--name=value" (empty when absent); the option is removed from argv.
std::string take(int& argc, char** argv, const char* name);

}  // namespace ProgramOptions
