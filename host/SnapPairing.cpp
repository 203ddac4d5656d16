#include "SnapPairing.h"

#include <algorithm>

SnapPairing SnapPairing::of(const std::vector<Clock::time_point>& snaps, const std::vector<Answer>& answers,
                            Clock::duration timeout) {
  SnapPairing pairing;
  // `free` is the number of snaps still open to the answers not looked at yet: an answer takes a
  // snap below it, and every earlier answer one below that.
  size_t free = snaps.size();
  bool anyPaired = false;
  std::vector<double> latencies;
  for (auto answer = answers.rbegin(); answer != answers.rend(); ++answer) {
    // The latest open snap fired no later than the answer.
    const auto after =
        std::upper_bound(snaps.begin(), snaps.begin() + static_cast<std::ptrdiff_t>(free), answer->when);
    const size_t candidates = static_cast<size_t>(after - snaps.begin());
    if (candidates == 0 || answer->when - snaps[candidates - 1] > timeout) {
      ++pairing.unpairedAnswers;
      continue;
    }
    const size_t taken = candidates - 1;
    if (!anyPaired) {
      pairing.unansweredAtEnd = snaps.size() - 1 - taken;
      anyPaired = true;
    } else {
      pairing.ignored += free - 1 - taken;
    }
    if (answer->delivered) {
      latencies.push_back(std::chrono::duration<double, std::milli>(answer->when - snaps[taken]).count());
    }
    free = taken;
  }
  if (!anyPaired) {
    pairing.unansweredAtEnd = snaps.size();
  } else {
    pairing.ignored += free;
  }
  pairing.latenciesMs.assign(latencies.rbegin(), latencies.rend());
  return pairing;
}
