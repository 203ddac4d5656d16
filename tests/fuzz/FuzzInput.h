// FuzzInput: reads small numbers, choices and strings off a fuzzer's input, giving zeros once the
// input is used up, so every input decodes to some valid sequence of choices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

  uint8_t byte() { return m_position < m_size ? m_data[m_position++] : 0; }
  // A number in 0 .. count-1.
  size_t choice(size_t count) { return count == 0 ? 0 : byte() % count; }
  bool flag() { return (byte() & 1U) != 0; }
  // Up to `maxLength` bytes as text.
  std::string text(size_t maxLength) {
    const size_t length = choice(maxLength + 1);
    std::string result;
    for (size_t i = 0; i < length; ++i) {
      result.push_back(static_cast<char>(byte()));
    }
    return result;
  }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_position = 0;
};
