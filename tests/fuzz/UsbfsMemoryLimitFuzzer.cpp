// Fuzz target: the content of usbcore's usbfs_memory_mb file as zazod-host reads it. Any bytes are
// either taken as exactly the number they spell (1 to 10 digits, at most 4294967295, one newline
// at most) or refused with a problem, and no line printed about them carries a control character.
#include <QByteArray>
#include <QString>
#include <cstdlib>
#include <string>

#include "UsbfsMemoryLimit.h"

namespace {

void check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

bool printable(const QString& line) {
  for (const QChar character : line) {
    if (character.unicode() < 0x20 || character.unicode() >= 0x7f) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray content(reinterpret_cast<const char*>(data), static_cast<int>(size));
  const UsbfsMemoryLimit limit = UsbfsMemoryLimit::parse(content);

  // The same rule, spelled out on the bytes: digits with leading zeros dropped compare as text.
  std::string digits(content.constData(), static_cast<size_t>(content.size()));
  bool accepted = digits.size() <= UsbfsMemoryLimit::kMaxFileBytes;
  if (!digits.empty() && digits.back() == '\n') {
    digits.pop_back();
  }
  accepted = accepted && !digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos;
  const size_t first = digits.find_first_not_of('0');
  const std::string significant = first == std::string::npos ? std::string() : digits.substr(first);
  accepted =
      accepted && (significant.size() < 10 || (significant.size() == 10 && significant <= "4294967295"));

  if (accepted) {
    const unsigned long long value = significant.empty() ? 0 : std::stoull(significant);
    check(limit.megabytes() == value);
    check(limit.state() ==
          (value == 0 ? UsbfsMemoryLimit::State::Unlimited : UsbfsMemoryLimit::State::Limited));
    check(limit.problem().isEmpty());
  } else {
    check(limit.state() == UsbfsMemoryLimit::State::Invalid);
    check(!limit.problem().isEmpty() && printable(limit.problem()));
  }
  const int cameras = size > 0 ? data[0] % 40 : 1;
  for (const QString& line : limit.warning(cameras, QStringLiteral("/limit"))) {
    check(printable(line));
  }
  return 0;
}
