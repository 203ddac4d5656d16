// GenICam::gcstring: the SDK's 8-bit string type, used for node names, values and device texts.
#pragma once

#include <cstddef>
#include <string>

#include "gcbase/Export.h"

namespace GenICam {

class ZAZOD_SDK_API gcstring {
 public:
  gcstring() = default;
  gcstring(const char* text) : m_text(text != nullptr ? text : "") {}  // NOLINT: implicit by design
  gcstring(const char* text, size_t length) : m_text(text, length) {}
  gcstring(std::string text) : m_text(std::move(text)) {}  // NOLINT: implicit by design

  const char* c_str() const { return m_text.c_str(); }
  size_t size() const { return m_text.size(); }
  size_t length() const { return m_text.size(); }
  bool empty() const { return m_text.empty(); }
  const std::string& str() const { return m_text; }
  operator const char*() const { return m_text.c_str(); }  // NOLINT: implicit by design

  gcstring& operator+=(const gcstring& other) {
    m_text += other.m_text;
    return *this;
  }

  friend bool operator==(const gcstring& a, const gcstring& b) { return a.m_text == b.m_text; }
  friend bool operator!=(const gcstring& a, const gcstring& b) { return !(a == b); }
  friend bool operator==(const gcstring& a, const char* b) { return a.m_text == (b ? b : ""); }
  friend bool operator!=(const gcstring& a, const char* b) { return !(a == b); }
  friend bool operator<(const gcstring& a, const gcstring& b) { return a.m_text < b.m_text; }

 private:
  std::string m_text;
};

}  // namespace GenICam
