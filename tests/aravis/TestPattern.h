// TestPattern: the picture Aravis's fake GigE Vision camera draws into a Mono8 frame, learnt from a
// frame it sent whole rather than written down here. The camera draws a diagonal ramp: the pixel
// at (x, y) depends only on (x + y + frame id) modulo 255. learn() takes the 255 ramp values from a
// reference frame (and refuses a frame that is not of that form); phaseOf() finds the shift of the
// ramp at which a frame equals the pattern in every pixel, so a frame that lost, moved or mixed up
// any pixel matches at no shift, and consecutive frames of one camera advance by their id
// difference.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class TestPattern {
 public:
  static constexpr int kPeriod = 255;

  // Learns the ramp from a reference frame; false when the frame is too small to show every ramp
  // value or two pixels of one diagonal class differ.
  bool learn(const uint8_t* pixels, uint32_t width, uint32_t height);
  bool learned() const { return m_learned; }
  // The shift (0 to 254, against the reference frame) at which the frame is exactly the pattern,
  // or -1 when there is none.
  int phaseOf(const uint8_t* pixels, uint32_t width, uint32_t height) const;
  // How far `phase` lies ahead of `previous` (0 to 254).
  static int advance(int previous, int phase) { return ((phase - previous) % kPeriod + kPeriod) % kPeriod; }

 private:
  bool matches(const uint8_t* pixels, uint32_t width, uint32_t height, int shift) const;

  std::array<uint8_t, kPeriod> m_ramp{};
  bool m_learned = false;
};
