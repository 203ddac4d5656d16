// Helpers of the module's unit tests.
#include "PluginTestSupport.h"

#include <algorithm>
#include <mutex>
#include <utility>

std::vector<std::string> nodeWrites(const std::vector<std::string>& journal) {
  std::vector<std::string> result;
  std::copy_if(journal.begin(), journal.end(), std::back_inserter(result),
               [](const std::string& entry) { return entry.find('=') != std::string::npos; });
  return result;
}

std::vector<std::string> operations(const std::vector<std::string>& journal,
                                    const std::vector<std::string>& names) {
  std::vector<std::string> result;
  std::copy_if(journal.begin(), journal.end(), std::back_inserter(result), [&](const std::string& entry) {
    return std::find(names.begin(), names.end(), entry) != names.end();
  });
  return result;
}

std::vector<std::string> timelineOf(LogCapture& log, emu::EmulatedCamera& device,
                                    const std::function<void()>& action) {
  device.ClearJournal();
  std::mutex mutex;
  std::vector<std::pair<size_t, std::string>> lines;  // journal length when the line came, text
  log.setObserver([&](const LogLine& line) {
    if (line.text.startsWith(QStringLiteral("\"Image Frame "))) {
      return;
    }
    const size_t position = device.Journal().size();
    std::lock_guard<std::mutex> lock(mutex);
    lines.emplace_back(position, "log: " + line.text.toStdString());
  });
  action();
  log.setObserver(nullptr);
  const std::vector<std::string> journal = device.Journal();
  std::vector<std::string> timeline;
  std::lock_guard<std::mutex> lock(mutex);
  auto line = lines.begin();
  for (size_t i = 0; i <= journal.size(); ++i) {
    for (; line != lines.end() && line->first <= i; ++line) {
      timeline.push_back(line->second);
    }
    if (i < journal.size()) {
      timeline.push_back(journal[i]);
    }
  }
  return timeline;
}

LogLine debugLine(const QString& text) { return {QtDebugMsg, text}; }
LogLine warningLine(const QString& text) { return {QtWarningMsg, text}; }
LogLine criticalLine(const QString& text) { return {QtCriticalMsg, text}; }

LogLine frameLine(uint32_t number) {
  return debugLine(QString("\"Image Frame %1 grabbed.\"  _  CCameraBasler::OnImageGrabbed").arg(number));
}
