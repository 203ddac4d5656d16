#include "TablesCommand.h"

#include <VocabularyTables.h>

#include <cstdio>

#include "HostError.h"

namespace {

void printTable(const char* title, const QMap<int, QString>& table) {
  std::printf("%s\n", title);
  for (auto it = table.constBegin(); it != table.constEnd(); ++it) {
    std::printf("  %4d  %s\n", it.key(), it.value().toUtf8().constData());
  }
}

}  // namespace

int TablesCommand::run() {
  printTable("camera families", g_cameraFamilyNames);
  std::printf("\n");
  printTable("camera states", g_cameraStateNames);
  std::printf("\n");
  printTable("port types", g_portTypeNames);
  std::printf("\n");
  printTable("image formats", g_imageFormatNames);
  return static_cast<int>(ExitCode::Success);
}
