// Recording of Qt messages for tests.
#include "LogCapture.h"

#include <QDebug>
#include <ostream>

namespace {
LogCapture* g_active = nullptr;  // the capture the handler writes to
}

std::ostream& operator<<(std::ostream& out, const LogLine& line) {
  static const char* const names[] = {"debug", "warning", "critical", "fatal", "info"};
  const int type = static_cast<int>(line.type);
  return out << (type >= 0 && type < 5 ? names[type] : "?") << " \"" << line.text.toStdString() << "\"";
}

LogCapture::LogCapture() {
  g_active = this;
  m_previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture() {
  qInstallMessageHandler(m_previous);
  g_active = nullptr;
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  LogCapture* capture = g_active;
  if (capture == nullptr) {
    return;
  }
  const LogLine line{type, message};
  std::function<void(const LogLine&)> observer;
  {
    std::lock_guard<std::mutex> lock(capture->m_mutex);
    capture->m_lines.push_back(line);
    if (context.file != nullptr || context.line != 0 || context.function != nullptr) {
      ++capture->m_withContext;
    }
    observer = capture->m_observer;
  }
  if (observer) {
    observer(line);
  }
  capture->m_changed.notify_all();
}

void LogCapture::setObserver(std::function<void(const LogLine&)> observer) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_observer = std::move(observer);
}

size_t LogCapture::linesWithContext() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_withContext;
}

std::vector<LogLine> LogCapture::lines() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_lines;
}

std::vector<LogLine> LogCapture::lines(QtMsgType type) const {
  std::vector<LogLine> result;
  for (const LogLine& line : lines()) {
    if (line.type == type) {
      result.push_back(line);
    }
  }
  return result;
}

std::vector<LogLine> LogCapture::linesWithoutFrames() const {
  std::vector<LogLine> result;
  for (const LogLine& line : lines()) {
    if (!line.text.startsWith(QStringLiteral("\"Image Frame "))) {
      result.push_back(line);
    }
  }
  return result;
}

void LogCapture::clear() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_lines.clear();
  m_withContext = 0;
}

bool LogCapture::waitForLines(size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, timeout, [&] { return m_lines.size() >= count; });
}

QString pointerText(const void* pointer) {
  QString text;
  QDebug(&text).nospace() << pointer;
  return text;
}
