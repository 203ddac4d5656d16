// ScopedEnvironment: sets (or, with a null value, removes) an environment variable for a scope and
// restores what it was at the end, so a test's settings of the SDK layer never leak into the next.
#pragma once

#include <cstdlib>
#include <string>

class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : m_name(name) {
    if (const char* old = std::getenv(name)) {
      m_old = old;
      m_hadOld = true;
    }
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    if (m_hadOld) {
      setenv(m_name, m_old.c_str(), 1);
    } else {
      unsetenv(m_name);
    }
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* m_name;
  std::string m_old;
  bool m_hadOld = false;
};
