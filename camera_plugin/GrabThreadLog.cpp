// The gate on Qt's default category, and the per-frame line built without Qt's debug stream: the
// stream allocates its buffer, its text stream and the substituted QString for every line, while
// this writes into a buffer that each grab thread keeps.
#include "GrabThreadLog.h"

#include <QLoggingCategory>
#include <QString>
#include <charconv>

namespace {

// The items as Qt's debug stream prints them: a QString in double quotes, each item followed by a
// blank, the last blank dropped. The number is the only part that changes.
constexpr char kHead[] = "\"Image Frame ";
constexpr char kTail[] = " grabbed.\"  _  CCameraBasler::OnImageGrabbed";
constexpr int kHeadLength = sizeof kHead - 1;
constexpr int kTailLength = sizeof kTail - 1;
constexpr int kLongest = kHeadLength + 10 + kTailLength;  // 10 digits: 4294967295

// What qDebug() hands to Qt when no file, line or function context is compiled in.
constexpr QMessageLogContext kContext(nullptr, 0, nullptr, "default");

// One buffer per grab thread. A message handler that keeps the message shares the buffer; the next
// frame then writes into a fresh one and the kept text stays as it was.
thread_local QString t_line;

// With QT_FATAL_WARNINGS or QT_FATAL_CRITICALS set, Qt counts and may abort on such a message even
// when its rules drop it, so those always go to Qt. Qt reads both once, and so does this.
bool fatalToQt(QtMsgType type) {
  static const bool fatalWarnings = !qEnvironmentVariableIsEmpty("QT_FATAL_WARNINGS");
  static const bool fatalCriticals = !qEnvironmentVariableIsEmpty("QT_FATAL_CRITICALS");
  return (type == QtWarningMsg && fatalWarnings) || (type == QtCriticalMsg && fatalCriticals);
}

}  // namespace

bool CGrabThreadLog::enabled(QtMsgType type) {
  if (fatalToQt(type)) {
    return true;
  }
  const QLoggingCategory* category = QLoggingCategory::defaultCategory();
  return category == nullptr || category->isEnabled(type);
}

void CGrabThreadLog::frameGrabbed(uint32_t imageNumber) {
  if (!enabled(QtDebugMsg)) {
    return;
  }
  QString& line = t_line;
  if (line.isDetached()) {
    line.truncate(0);
  } else {
    line = QString();
  }
  line.reserve(kLongest);
  char digits[10];
  const char* digitsEnd = std::to_chars(digits, digits + sizeof digits, imageNumber).ptr;
  line.append(QLatin1String(kHead, kHeadLength));
  line.append(QLatin1String(digits, static_cast<int>(digitsEnd - digits)));
  line.append(QLatin1String(kTail, kTailLength));
  qt_message_output(QtDebugMsg, kContext, line);
}
