// LogCapture: installs a Qt message handler for the lifetime of a test and records every message's
// type and text, from any thread, so tests can assert log lines exactly.
#pragma once

#include <QString>
#include <QtGlobal>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

struct LogLine {
  QtMsgType type;
  QString text;
  bool operator==(const LogLine& other) const { return type == other.type && text == other.text; }
};

// Printable form for test failure messages.
std::ostream& operator<<(std::ostream& out, const LogLine& line);

class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<LogLine> lines() const;
  // The lines of one type.
  std::vector<LogLine> lines(QtMsgType type) const;
  // Lines other than the per-frame debug lines.
  std::vector<LogLine> linesWithoutFrames() const;
  void clear();
  // Waits until at least `count` lines have been recorded.
  bool waitForLines(size_t count, std::chrono::milliseconds timeout) const;

 private:
  static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message);

  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  std::vector<LogLine> m_lines;
  QtMessageHandler m_previous;
};

// The text Qt's debug stream prints for a pointer item.
QString pointerText(const void* pointer);
