// LogCapture: the host's Qt message handler. Every line the module logs, from any thread, is kept
// with its type, and lines that report a failed grab or skipped images are passed to an observer
// as they come: those are the only traces of them the module leaves.
#pragma once

#include <QString>
#include <QtGlobal>
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <ostream>
#include <vector>

struct CapturedLine {
  QtMsgType type;
  QString text;
};

class LogObserver {
 public:
  virtual void onFailedGrab() = 0;
  virtual void onSkippedImages(uint64_t count) = 0;

 protected:
  ~LogObserver() = default;
};

class LogCapture {
 public:
  // Installs the handler; the previous one comes back when the capture goes.
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // Receives failed grabs and skipped images from now on; null for none.
  void setObserver(LogObserver* observer) { m_observer = observer; }

  // Keeps only the newest `lines` lines from now on (a long-running host); marks stay valid, and
  // linesSince() returns what is still kept. Unset, every line is kept.
  void setRetention(size_t lines);

  // Number of lines so far: a mark for linesSince().
  size_t size() const;
  std::vector<CapturedLine> linesSince(size_t mark) const;
  // Lines from `mark` on at warning level or above, joined by "; " (empty when there are none).
  QString problemsSince(size_t mark) const;

  // The failed-grab and skipped-images lines, as the camera module writes them.
  static bool isFailedGrab(const CapturedLine& line);
  // The number of skipped images a line reports, 0 for any other line.
  static uint64_t skippedImages(const CapturedLine& line);
  static const char* typeName(QtMsgType type);

  // Writes the lines from `mark` on, one per line as "<type>: <text>" with `indent` before it:
  // warnings and above, and the debug and info lines too when `withDebug` is set. Returns the
  // number of lines written.
  size_t print(std::ostream& out, size_t mark, bool withDebug, const char* indent) const;

 private:
  static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message);
  void record(QtMsgType type, const QString& message);

  static LogCapture* s_active;
  QtMessageHandler m_previous = nullptr;
  std::atomic<LogObserver*> m_observer{nullptr};
  mutable std::mutex m_mutex;
  std::deque<CapturedLine> m_lines;
  size_t m_dropped = 0;    // lines no longer kept, the oldest first
  size_t m_retention = 0;  // 0: all
};
