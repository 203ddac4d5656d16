// SnapPairing: which snap each answer of the camera (a delivered frame or a failed grab) belongs
// to. A camera answers triggers in the order they came, at most one answer each, and may ignore a
// trigger; an answer can belong only to a snap fired before it and no more than the timeout
// earlier. Of the pairings that answer the most snaps, this one takes the latest snaps: going back
// from the last answer, each answer takes the latest unanswered snap before it. One ignored
// trigger then costs that snap alone, and frames that take longer than the snap period are still
// paired with their own snaps.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

struct SnapPairing {
  using Clock = std::chrono::steady_clock;

  struct Answer {
    Clock::time_point when;
    bool delivered;  // a frame; false for a failed grab
  };

  // Snap-to-frame latencies in milliseconds of the delivered frames that answer a snap, in the
  // order of the frames.
  std::vector<double> latenciesMs;
  // Snaps no answer belongs to: those before the last answered snap (the camera went on, so it
  // ignored them) and those after it (nothing came for them at all).
  uint64_t ignored = 0;
  uint64_t unansweredAtEnd = 0;
  // Answers that belong to no snap (frames of the camera's own trigger).
  uint64_t unpairedAnswers = 0;

  uint64_t withoutFrame() const { return ignored + unansweredAtEnd; }

  // `snaps` and `answers` each in time order.
  static SnapPairing of(const std::vector<Clock::time_point>& snaps, const std::vector<Answer>& answers,
                        Clock::duration timeout);
};
