// LogCapture: installs a Qt message handler for the lifetime of a test and records every message's
// type and text, from any thread, so tests can assert log lines exactly.
#pragma once

#include <QString>
#include <QtGlobal>
#include <chrono>
#include <condition_variable>
#include <functional>
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
  // Called for every line as it is written, on the writing thread, after it has been recorded: a
  // test places the line among other events (for example the SDK calls a device saw until then).
  void setObserver(std::function<void(const LogLine&)> observer);
  // Lines that came with a file, line or function of the writing code.
  size_t linesWithContext() const;

 private:
  static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message);

  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  std::vector<LogLine> m_lines;
  size_t m_withContext = 0;
  std::function<void(const LogLine&)> m_observer;
  QtMessageHandler m_previous;
};

// The text Qt's debug stream prints for a pointer item.
QString pointerText(const void* pointer);
