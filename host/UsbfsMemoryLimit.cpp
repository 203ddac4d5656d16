#include "UsbfsMemoryLimit.h"

#include <QFile>
#include <QFileInfo>

namespace {

// The bytes as a quoted text with anything but printable ASCII escaped, so a file's content
// cannot bring control characters into the terminal.
QString quoted(const QByteArray& bytes) {
  QString text = QStringLiteral("\"");
  for (const char byte : bytes) {
    const auto value = static_cast<unsigned char>(byte);
    if (byte == '\n') {
      text += QStringLiteral("\\n");
    } else if (byte == '"' || byte == '\\') {
      text += QLatin1Char('\\');
      text += QLatin1Char(byte);
    } else if (value >= 0x20 && value < 0x7f) {
      text += QLatin1Char(byte);
    } else {
      text += QStringLiteral("\\x%1").arg(value, 2, 16, QLatin1Char('0'));
    }
  }
  return text + QLatin1Char('"');
}

}  // namespace

UsbfsMemoryLimit UsbfsMemoryLimit::parse(const QByteArray& content) {
  if (content.size() > kMaxFileBytes) {
    return invalid(QStringLiteral("holds more than %1 bytes").arg(kMaxFileBytes));
  }
  QByteArray digits = content;
  if (digits.endsWith('\n')) {
    digits.chop(1);
  }
  if (digits.isEmpty()) {
    return invalid(content.isEmpty() ? QStringLiteral("is empty")
                                     : QStringLiteral("holds %1, not a number of MiB").arg(quoted(content)));
  }
  uint64_t value = 0;
  for (const char digit : digits) {
    if (digit < '0' || digit > '9') {
      return invalid(QStringLiteral("holds %1, not a number of MiB").arg(quoted(content)));
    }
    // Checked before each step, so the value never wraps however many digits come.
    if (value > kMaxMiB / 10 || value * 10 + static_cast<uint64_t>(digit - '0') > kMaxMiB) {
      return invalid(QStringLiteral("holds a number above %1").arg(kMaxMiB));
    }
    value = value * 10 + static_cast<uint64_t>(digit - '0');
  }
  return value == 0 ? UsbfsMemoryLimit(State::Unlimited, 0, QString())
                    : UsbfsMemoryLimit(State::Limited, value, QString());
}

UsbfsMemoryLimit UsbfsMemoryLimit::read(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists()) {
    return {State::Missing, 0, QString()};
  }
  // A pipe or a device would block or never end.
  if (!info.isFile()) {
    return invalid(QStringLiteral("is not a regular file"));
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return invalid(QStringLiteral("cannot be read: %1").arg(file.errorString()));
  }
  // The kernel's attribute files say 4096 bytes whatever they hold, so the size is not asked.
  const QByteArray content = file.read(kMaxFileBytes + 1);
  if (file.error() != QFileDevice::NoError) {
    return invalid(QStringLiteral("cannot be read: %1").arg(file.errorString()));
  }
  return parse(content);
}

QString UsbfsMemoryLimit::path(const QProcessEnvironment& environment) {
  const QString named = environment.value(QLatin1String(kPathVariable));
  return named.isEmpty() ? QString::fromLatin1(kParameterPath) : named;
}

int UsbfsMemoryLimit::usb3VisionCandidates(const QProcessEnvironment& environment, int listed) {
  // The SDK layer's own reading of these settings: comma-separated names, blanks trimmed; any
  // address list, even an empty one, replaces the discovery and with it USB3 Vision.
  if (environment.contains(QStringLiteral("ZAZOD_SDK_ARAVIS_ADDRESSES"))) {
    return 0;
  }
  const QStringList transports =
      environment.value(QStringLiteral("ZAZOD_SDK_TRANSPORTS")).split(QLatin1Char(','));
  for (const QString& transport : transports) {
    if (transport.trimmed() == QLatin1String("aravis")) {
      return listed;
    }
  }
  return 0;
}

uint64_t UsbfsMemoryLimit::neededMiB(int cameras) {
  const uint64_t bytes = static_cast<uint64_t>(cameras > 0 ? cameras : 0) * kBuffersPerCamera * kFrameBytes;
  return (bytes + (1ULL << 20) - 1) >> 20;
}

QStringList UsbfsMemoryLimit::warning(int cameras, const QString& path) const {
  if (cameras <= 0) {
    return {};
  }
  const uint64_t needed = neededMiB(cameras);
  if (m_state == State::Invalid) {
    return {QStringLiteral("warning: cannot tell the usbfs memory limit: %1 %2").arg(path, m_problem)};
  }
  if (m_state != State::Limited || m_megabytes >= needed) {
    return {};
  }
  const uint64_t suggested = needed > kSuggestedMiB ? needed : kSuggestedMiB;
  const bool one = cameras == 1;
  return {
      QStringLiteral("warning: the usbfs memory limit is %1 MiB, below the %2 MiB that %3 listed %4 if %5 "
                     "USB3 Vision (%6 buffers of 2048x2048 Mono8 each); %7 frames may fail")
          .arg(m_megabytes)
          .arg(needed)
          .arg(cameras)
          .arg(one ? QStringLiteral("camera needs") : QStringLiteral("cameras need"),
               one ? QStringLiteral("it is") : QStringLiteral("they are"))
          .arg(kBuffersPerCamera)
          .arg(one ? QStringLiteral("its") : QStringLiteral("their")),
      QStringLiteral("raise it now: echo %1 | sudo tee %2").arg(suggested).arg(path),
      QStringLiteral("and at boot: add usbcore.usbfs_memory_mb=%1 to the kernel command line").arg(suggested),
  };
}
