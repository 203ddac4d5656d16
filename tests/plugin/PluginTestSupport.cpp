// Helpers of the module's unit tests.
#include "PluginTestSupport.h"

#include <algorithm>

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

LogLine debugLine(const QString& text) { return {QtDebugMsg, text}; }
LogLine warningLine(const QString& text) { return {QtWarningMsg, text}; }
LogLine criticalLine(const QString& text) { return {QtCriticalMsg, text}; }

LogLine frameLine(uint32_t number) {
  return debugLine(QString("\"Image Frame %1 grabbed.\"  _  CCameraBasler::OnImageGrabbed").arg(number));
}
