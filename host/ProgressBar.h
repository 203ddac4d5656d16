// ProgressBar: one line on stderr that shows how many of the expected frames came, redrawn in
// place; drawn only when stderr is a terminal, so pipes and files get no control characters.
#pragma once

#include <cstdint>

class ProgressBar {
 public:
  explicit ProgressBar(uint64_t total);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void update(uint64_t done);
  // Clears the line; the bar draws nothing afterwards.
  void finish();

 private:
  const uint64_t m_total;
  bool m_enabled;
  int m_lastFilled = -1;
  uint64_t m_lastDone = UINT64_MAX;
};
