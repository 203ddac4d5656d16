#include "ProgressBar.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {
constexpr int kWidth = 40;
}

ProgressBar::ProgressBar(uint64_t total)
    : m_total(std::max<uint64_t>(total, 1)), m_enabled(isatty(STDERR_FILENO) == 1) {}

ProgressBar::~ProgressBar() { finish(); }

void ProgressBar::update(uint64_t done) {
  if (!m_enabled || done == m_lastDone) {
    return;
  }
  const uint64_t shown = std::min(done, m_total);
  const int filled = static_cast<int>(shown * kWidth / m_total);
  m_lastDone = done;
  m_lastFilled = filled;
  const std::string bar =
      std::string(static_cast<size_t>(filled), '#') + std::string(static_cast<size_t>(kWidth - filled), '.');
  std::fprintf(stderr, "\r[%s] %llu/%llu frames", bar.c_str(), static_cast<unsigned long long>(done),
               static_cast<unsigned long long>(m_total));
  std::fflush(stderr);
}

void ProgressBar::finish() {
  if (m_enabled && m_lastFilled >= 0) {
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
  }
  m_enabled = false;
}
