#include "LogCapture.h"

#include <QStringList>

LogCapture* LogCapture::s_active = nullptr;

LogCapture::LogCapture() {
  s_active = this;
  m_previous = qInstallMessageHandler(&LogCapture::handle);
}

LogCapture::~LogCapture() {
  qInstallMessageHandler(m_previous);
  s_active = nullptr;
}

void LogCapture::handle(QtMsgType type, const QMessageLogContext& /*context*/, const QString& message) {
  if (s_active != nullptr) {
    s_active->record(type, message);
  }
}

void LogCapture::record(QtMsgType type, const QString& message) {
  const CapturedLine line{type, message};
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lines.push_back(line);
    if (m_retention > 0 && m_lines.size() > m_retention) {
      m_lines.pop_front();
      ++m_dropped;
    }
  }
  LogObserver* observer = m_observer.load();
  if (observer == nullptr) {
    return;
  }
  if (isFailedGrab(line)) {
    observer->onFailedGrab();
  } else if (const uint64_t skipped = skippedImages(line); skipped > 0) {
    observer->onSkippedImages(skipped);
  }
}

void LogCapture::setRetention(size_t lines) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_retention = lines;
  while (m_retention > 0 && m_lines.size() > m_retention) {
    m_lines.pop_front();
    ++m_dropped;
  }
}

size_t LogCapture::size() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_dropped + m_lines.size();
}

std::vector<CapturedLine> LogCapture::linesSince(size_t mark) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  const size_t first = mark > m_dropped ? mark - m_dropped : 0;
  if (first >= m_lines.size()) {
    return {};
  }
  return std::vector<CapturedLine>(m_lines.begin() + static_cast<std::ptrdiff_t>(first), m_lines.end());
}

QString LogCapture::problemsSince(size_t mark) const {
  QStringList texts;
  for (const CapturedLine& line : linesSince(mark)) {
    if (line.type != QtDebugMsg && line.type != QtInfoMsg) {
      texts << line.text.simplified();
    }
  }
  return texts.join(QStringLiteral("; "));
}

bool LogCapture::isFailedGrab(const CapturedLine& line) {
  return line.type == QtWarningMsg && line.text.startsWith(QLatin1String("Basler Camera image grab error:"));
}

uint64_t LogCapture::skippedImages(const CapturedLine& line) {
  // "Basler Camera( <model> ), skipped  <count>  images.  -  <tag>"
  if (line.type != QtDebugMsg || !line.text.startsWith(QLatin1String("Basler Camera("))) {
    return 0;
  }
  const QLatin1String marker("), skipped ");
  const int at = line.text.indexOf(marker);
  if (at < 0) {
    return 0;
  }
  const QStringList rest = line.text.mid(at + marker.size()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
  if (rest.size() < 2 || !rest.at(1).startsWith(QLatin1String("images."))) {
    return 0;
  }
  bool ok = false;
  const qulonglong count = rest.at(0).toULongLong(&ok);
  return ok ? count : 0;
}

const char* LogCapture::typeName(QtMsgType type) {
  switch (type) {
    case QtDebugMsg:
      return "debug";
    case QtInfoMsg:
      return "info";
    case QtWarningMsg:
      return "warning";
    case QtCriticalMsg:
      return "critical";
    case QtFatalMsg:
      return "fatal";
  }
  return "log";
}

size_t LogCapture::print(std::ostream& out, size_t mark, bool withDebug, const char* indent) const {
  size_t written = 0;
  for (const CapturedLine& line : linesSince(mark)) {
    if (withDebug || (line.type != QtDebugMsg && line.type != QtInfoMsg)) {
      out << indent << typeName(line.type) << ": " << line.text.toStdString() << '\n';
      ++written;
    }
  }
  return written;
}
